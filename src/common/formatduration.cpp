#include "common/formatduration.h"

#include <cmath>

namespace tunevale {

QString FormatDuration(double seconds)
{
    if (!(seconds > 0.0))
        return QStringLiteral("00:00:00");
    const auto total = static_cast<long long>(std::llround(seconds));
    const auto field = [](long long value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    return field(total / 3600) + u':' + field(total / 60 % 60) + u':' + field(total % 60);
}

} // namespace tunevale
