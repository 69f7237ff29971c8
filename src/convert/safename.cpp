#include "convert/safename.h"

#include <QStringList>

namespace tunevale {

namespace {

bool isRefusedAnywhere(char32_t character)
{
    return character == U'/' || character == U'\\' || character < 0x20 ||
           (character >= 0x7f && character < 0xa0) || character == 0x2028 || character == 0x2029;
}

bool isRefusedPortably(char32_t character)
{
    return QStringView(u":*?\"<>|").contains(QChar(char16_t(character)));
}

// Windows refuses these names whatever the extension after them.
bool isDeviceName(const QString& component)
{
    static const QStringList devices{
        QStringLiteral("CON"),  QStringLiteral("PRN"),  QStringLiteral("AUX"),
        QStringLiteral("NUL"),  QStringLiteral("COM1"), QStringLiteral("COM2"),
        QStringLiteral("COM3"), QStringLiteral("COM4"), QStringLiteral("COM5"),
        QStringLiteral("COM6"), QStringLiteral("COM7"), QStringLiteral("COM8"),
        QStringLiteral("COM9"), QStringLiteral("LPT1"), QStringLiteral("LPT2"),
        QStringLiteral("LPT3"), QStringLiteral("LPT4"), QStringLiteral("LPT5"),
        QStringLiteral("LPT6"), QStringLiteral("LPT7"), QStringLiteral("LPT8"),
        QStringLiteral("LPT9")};
    const QString stem = component.section(u'.', 0, 0).trimmed();
    return devices.contains(stem, Qt::CaseInsensitive);
}

qsizetype utf8Size(char32_t character)
{
    return character < 0x80 ? 1 : character < 0x800 ? 2 : character < 0x10000 ? 3 : 4;
}

// The longest start of text that fits in maxBytes of UTF-8, whole characters only.
QString fittingStart(const QString& text, qsizetype maxBytes)
{
    qsizetype bytes = 0;
    qsizetype end = 0;
    for (const char32_t character : text.toUcs4()) {
        bytes += utf8Size(character);
        if (bytes > maxBytes)
            break;
        end += QChar::requiresSurrogates(character) ? 2 : 1;
    }
    return text.left(end);
}

} // namespace

QString safeComponent(const QString& text, bool portable)
{
    QString safe;
    for (const char32_t character : text.toUcs4()) {
        if (isRefusedAnywhere(character) || (portable && isRefusedPortably(character)))
            safe += u'_';
        else
            safe += QString::fromUcs4(&character, 1);
    }
    qsizetype start = 0;
    while (start < safe.size() && (safe[start] == u'.' || safe[start].isSpace()))
        ++start;
    safe = safe.mid(start);
    while (!safe.isEmpty() && (safe.back().isSpace() || (portable && safe.back() == u'.')))
        safe.chop(1);
    if (safe.isEmpty())
        return QStringLiteral("_");
    if (portable && isDeviceName(safe)) {
        const qsizetype dot = safe.indexOf(u'.');
        safe.insert(dot < 0 ? safe.size() : dot, u'_');
    }
    return safe;
}

QString cutToBytes(const QString& name, int maxBytes)
{
    if (name.toUtf8().size() <= maxBytes)
        return name;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    const qsizetype extensionBytes = extension.toUtf8().size();
    if (extensionBytes >= maxBytes)
        return fittingStart(name, maxBytes);
    return fittingStart(name.left(name.size() - extension.size()), maxBytes - extensionBytes) +
           extension;
}

} // namespace tunevale
