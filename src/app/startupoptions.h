#pragma once

#include <QStringList>
#include <QTextStream>

#include <optional>

namespace tunevale {

// The command line of `tunevale [--help] [--version] [--lang LOCALE] [FILE...]`.

// Answers --help and --version (on out) from the raw arguments, before Qt looks for a
// display, so both work from any terminal. Returns the exit status when one was asked for.
std::optional<int> answerInformationOptions(const QStringList& arguments, QTextStream& out);

// Reads the program's arguments (argv[0] first), Qt's own options (-platform, -style ...) and
// their values left out, and puts the files to list, as absolute paths, in files, and the
// value of --lang (empty when not given) in language when asked. An unknown
// option gives one line on err and exit status 2. Needs no application object, so a mistyped
// option is reported even where no display can be reached.
std::optional<int> readStartupFiles(const QStringList& arguments, QStringList& files,
                                    QTextStream& err, QString* language = nullptr);

} // namespace tunevale
