#include "filelist/rowtexts.h"

#include "common/audio/audioinformation.h"
#include "common/formatduration.h"
#include "common/localfile.h"

#include <cmath>

namespace tunevale {

namespace {

// The first character of a locale's format that is no field letter: its separator.
QChar separatorIn(const QString& format, QChar fallback)
{
    for (const QChar character : format) {
        if (!character.isLetter() && character != u' ' && character != u'\'')
            return character;
    }
    return fallback;
}

} // namespace

bool IsSupportedFile(const QString& path)
{
    const QString type = path.right(3).toLower();
    return type == u"mp3" || type == u"wma" || type == u"wav" || type == u"ogg";
}

QString fileSizeText(qint64 bytes, const QLocale& locale)
{
    const auto kilobytes = static_cast<qint64>(std::llround(static_cast<double>(bytes) / 1024.0));
    return groupedNumber(kilobytes, locale) + QStringLiteral(" KB");
}

QString groupedNumber(qint64 value, const QLocale& locale)
{
    // The C locale omits grouping by default; these numbers are always grouped.
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(value);
}

QString cleanedFormatDescription(QString description)
{
    description.remove(u',');
    if (description.endsWith(u';'))
        description.chop(1);
    return description;
}

QString modifiedTimeText(const QDateTime& time, const QLocale& locale)
{
    const QChar dateSeparator = separatorIn(locale.dateFormat(QLocale::ShortFormat), u'/');
    const QChar timeSeparator = separatorIn(locale.timeFormat(QLocale::ShortFormat), u':');
    const QString pattern =
        QStringLiteral("yyyy%1MM%1dd hh%2mm%2ss").arg(dateSeparator, timeSeparator);
    return time.toString(pattern);
}

std::optional<FileRow> buildFileRow(const QString& path, AudioInformation& info,
                                    const QLocale& locale)
{
    const LocalFileInfo file = LocalFileInfo::of(path);
    if (!file.exists)
        return std::nullopt;
    if (!info.open(path) || info.formatDescription().isEmpty())
        return std::nullopt;
    FileRow row;
    row.path = path;
    row.type = path.right(3).toUpper();
    row.size = fileSizeText(file.size, locale);
    row.format = cleanedFormatDescription(info.formatDescription());
    row.length = FormatDuration(static_cast<double>(info.durationMs()) / 1000.0);
    row.modified = modifiedTimeText(file.lastModified, locale);
    return row;
}

} // namespace tunevale
