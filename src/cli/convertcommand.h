#pragma once

#include "cli/clistream.h"

#include <QStringList>

namespace tunevale {

// tunevale-cli convert: the batch run of the conversion dialog, its log on out, problems with
// the arguments on err. Returns 0, 1 when a file failed, or 2 for a usage error.
int runConvertCommand(const QStringList& arguments, CliStream& out, CliStream& err);

} // namespace tunevale
