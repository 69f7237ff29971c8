#pragma once

#include <QString>

namespace tunevale {

// A folder with exactly one trailing separator ("/" or the platform's), ready to be joined
// with a file name; one that has it already is returned as it is. Empty text, the current
// folder, stays empty rather than turning into the root.
QString withTrailingSeparator(const QString& folder);

// A folder without its trailing separator, except a root ("/", "C:\"), which keeps it.
QString withoutTrailingSeparator(const QString& folder);

} // namespace tunevale
