#include "filelist/rowtexts.h"

#include "common/audio/audioinformation.h"
#include "common/formatduration.h"
#include "common/localfile.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
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

constexpr std::array<const char16_t*, 14> kOtherExtensions{
    u"flac", u"opus", u"oga", u"m4a", u"aac", u"aif",  u"aiff",
    u"aifc", u"caf",  u"wv",  u"ape", u"dsf", u"webm", u"mka"};

// The Type text and, when the name claims something else, a tooltip saying what it claims.
std::pair<QString, QString> typeTexts(const QString& path, AudioContent content)
{
    const QString fromName = path.right(3).toUpper();
    const QString fromContent = contentTypeText(content);
    if (fromContent.isEmpty())
        return {fromName, {}};
    const AudioContent claimed = contentOfExtension(path);
    if (claimed == AudioContent::Unknown || extensionFits(path, content))
        return {fromContent, {}};
    return {fromContent, QStringLiteral("The name says %1, but the file holds %2")
                             .arg(contentTypeText(claimed), fromContent)};
}

} // namespace

bool IsSupportedFile(const QString& path)
{
    const QString type = path.right(3).toLower();
    if (type == u"mp3" || type == u"wma" || type == u"wav" || type == u"ogg")
        return true;
    const QString extension = QFileInfo(path).suffix().toLower();
    return std::any_of(kOtherExtensions.begin(), kOtherExtensions.end(),
                       [&extension](const char16_t* other) { return extension == other; });
}

QStringList otherAudioPatterns()
{
    QStringList patterns;
    for (const char16_t* extension : kOtherExtensions)
        patterns.append(QStringLiteral("*.") + QString::fromUtf16(extension));
    return patterns;
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
    return probeFile(path, info, locale).row;
}

ProbedFile probeFile(const QString& path, AudioInformation& info, const QLocale& locale)
{
    // Only regular files are read: a pipe or a device named like audio would block the probe,
    // or feed it without end.
    const LocalFileInfo file = LocalFileInfo::of(path);
    if (!file.isFile || !isAccessible(path, false))
        return {std::nullopt, QStringLiteral("unreadable")};
    if (!info.open(path) || info.formatDescription().isEmpty())
        return {std::nullopt, QStringLiteral("not audio")};
    if (!info.decodable())
        return {std::nullopt, QStringLiteral("unsupported encoding")};
    FileRow row;
    row.path = path;
    std::tie(row.type, row.typeToolTip) = typeTexts(path, info.content());
    row.size = fileSizeText(file.size, locale);
    row.format = cleanedFormatDescription(info.formatDescription());
    row.length = FormatDuration(static_cast<double>(info.durationMs()) / 1000.0);
    row.modified = modifiedTimeText(file.lastModified, locale);
    return {std::move(row), {}};
}

} // namespace tunevale
