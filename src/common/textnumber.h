#pragma once

#include <QString>

#include <optional>

namespace tunevale {

// Typed or listed text as a whole number: blanks around it are allowed, the user's locale or
// the C locale may write it, and a fraction is rounded, halves to the even neighbour.
// Nothing when it is no number or lies outside [low, high].
std::optional<int> wholeNumber(const QString& text, int low, int high);

// An option's value as a whole number: decimal digits with an optional sign and blanks
// around, nothing else. A script's "2.5" or "1e3" is a mistake to report, not to round.
// Nothing when it is no such number or lies outside [low, high].
std::optional<int> exactWholeNumber(const QString& text, int low, int high);

} // namespace tunevale
