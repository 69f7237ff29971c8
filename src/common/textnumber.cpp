#include "common/textnumber.h"

#include <QLocale>

#include <cmath>

namespace tunevale {

std::optional<int> wholeNumber(const QString& text, int low, int high)
{
    bool ok = false;
    double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok)
        value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // the default rounding mode: half to even
    if (rounded < low || rounded > high)
        return std::nullopt;
    return static_cast<int>(rounded);
}

std::optional<int> exactWholeNumber(const QString& text, int low, int high)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok); // C locale, blanks around allowed
    if (!ok || value < low || value > high)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace tunevale
