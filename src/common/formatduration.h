#pragma once

#include <QString>

namespace tunevale {

// Seconds as "hh:mm:ss", each field at least two digits; nothing positive gives "00:00:00".
QString FormatDuration(double seconds);

} // namespace tunevale
