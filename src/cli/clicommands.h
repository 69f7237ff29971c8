#pragma once

#include <QStringList>
#include <QTextStream>

namespace tunevale {

// The commands of tunevale-cli. Each takes its own arguments (after the command name),
// writes results to out and problems to err, and returns the process exit status.
int runInfoCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);
int runTranscodeCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace tunevale
