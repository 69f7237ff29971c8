#pragma once

#include "cli/clistream.h"

#include <QStringList>

namespace tunevale {

// The commands of tunevale-cli. Each takes its own arguments (after the command name),
// writes results to out and problems to err, and returns the process exit status.
int runInfoCommand(const QStringList& arguments, CliStream& out, CliStream& err);
int runTranscodeCommand(const QStringList& arguments, CliStream& out, CliStream& err);

} // namespace tunevale
