#pragma once

#include <QString>

#include <optional>

namespace tunevale {

// Typed or listed text as a whole number: blanks around it are allowed, the user's locale or
// the C locale may write it, and a fraction is rounded, halves to the even neighbour.
// Nothing when it is no number or lies outside [low, high].
std::optional<int> wholeNumber(const QString& text, int low, int high);

} // namespace tunevale
