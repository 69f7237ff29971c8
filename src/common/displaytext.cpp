#include "common/displaytext.h"

namespace tunevale {

namespace {

// Where common/nativepath.h keeps the bytes of names that are not UTF-8.
constexpr char16_t kByteBase = 0xDC00;

bool isControl(char16_t unit)
{
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
}

// Characters that reorder or break the text around them on a terminal or in a log view.
bool isLayoutControl(char16_t unit)
{
    return unit == 0x2028 || unit == 0x2029 || (unit >= 0x202A && unit <= 0x202E) ||
           (unit >= 0x2066 && unit <= 0x2069);
}

QString hex(unsigned value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QChar(u'0'));
}

} // namespace

QString displayText(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        if (unit == u'\t')
            shown += QStringLiteral("\\t");
        else if (unit == u'\n')
            shown += QStringLiteral("\\n");
        else if (unit == u'\r')
            shown += QStringLiteral("\\r");
        else if (isControl(unit))
            shown += QStringLiteral("\\x") + hex(unit, 2);
        else if (unit >= kByteBase + 0x80 && unit <= kByteBase + 0x9F)
            shown += QStringLiteral("\\x") + hex(unit - kByteBase, 2);
        else if (isLayoutControl(unit))
            shown += QStringLiteral("\\u") + hex(unit, 4);
        else
            shown += character;
    }
    return shown;
}

} // namespace tunevale
