#include "convert/tagtransfer.h"

#include "common/audio/audioinformation.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tunevale {

namespace {

bool isAsciiDigit(QChar character)
{
    return character >= u'0' && character <= u'9';
}

// A Vorbis comment's field name is printable ASCII without "=".
bool isVorbisFieldName(const QString& name)
{
    return std::all_of(name.begin(), name.end(), [](QChar character) {
        return character >= u' ' && character <= u'}' && character != u'=';
    });
}

// What ID3v2.3 cannot hold of a date: its year frame takes four digits, its date frame a day
// and month, its time frame hours and minutes. The writer moves a date into those frames
// and an original date into the year-only TORY; the rest of each is named here.
QStringList id3v23DateLosses(const RichTags& rich)
{
    QStringList lost;
    static const QRegularExpression withSeconds(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d[T ]\\d\\d:\\d\\d:\\d\\d"));
    static const QRegularExpression monthWithoutDay(QStringLiteral("^\\d{4}-\\d\\d(?!-\\d\\d)"));
    if (withSeconds.match(rich.date).hasMatch())
        lost.append(QStringLiteral("seconds of date"));
    else if (monthWithoutDay.match(rich.date).hasMatch())
        lost.append(QStringLiteral("month of date"));
    const QStringList originalDates = rich.otherFields.value(QStringLiteral("ORIGINALDATE"));
    if (!originalDates.isEmpty() && originalDates.first().trimmed().size() > 4)
        lost.append(QStringLiteral("original date beyond its year"));
    return lost;
}

} // namespace

std::optional<int> numericValue(const QString& text, IntegerWidth width)
{
    qsizetype position = 0;
    while (position < text.size() && (text[position] == u' ' || text[position] == u'\t'))
        ++position;
    const qsizetype start = position;
    if (position < text.size() && (text[position] == u'+' || text[position] == u'-'))
        ++position;
    const qsizetype digitsStart = position;
    while (position < text.size() && isAsciiDigit(text[position]))
        ++position;
    bool hasDigits = position > digitsStart;
    if (position < text.size() && text[position] == u'.') {
        const qsizetype fractionStart = position + 1;
        qsizetype end = fractionStart;
        while (end < text.size() && isAsciiDigit(text[end]))
            ++end;
        if (end > fractionStart || hasDigits) {
            hasDigits = hasDigits || end > fractionStart;
            position = end;
        }
    }

    double value = 0;
    if (hasDigits) {
        bool ok = false;
        value = text.mid(start, position - start).toDouble(&ok);
        if (!ok)
            return std::nullopt;
    }
    // The default floating-point rounding mode rounds halves to the even neighbour.
    value = std::nearbyint(value);
    const double low = width == IntegerWidth::Bits16 ? std::numeric_limits<qint16>::min()
                                                     : std::numeric_limits<qint32>::min();
    const double high = width == IntegerWidth::Bits16 ? std::numeric_limits<qint16>::max()
                                                      : std::numeric_limits<qint32>::max();
    if (!(value >= low && value <= high))
        return std::nullopt;
    return int(value);
}

void ReadSourceTags(AudioInformation& information, const QString& source, TagBuffer& buffer)
{
    buffer = TagBuffer();
    if (!information.open(source))
        return;
    buffer.TagTitle = information.title();
    buffer.TagArtist = information.artist();
    buffer.TagAlbum = information.album();
    buffer.TagGenre = QString::number(information.genre());
    buffer.TagYear = QString::number(information.year());
    buffer.TagTrack = QString::number(information.track());
    buffer.TagComment = information.comment();
    buffer.TagRich = information.richTags();
    buffer.TagOtherFields = information.otherFields();
}

Status WriteTags(AudioInformation& information, const TagBuffer& buffer, const QString& output,
                 const QString& shownPath)
{
    information.setTitle(buffer.TagTitle);
    information.setArtist(buffer.TagArtist);
    information.setAlbum(buffer.TagAlbum);
    // An empty genre means the source's tags could not be read. Its numeric value 0 would
    // be the genre "Blues", so it is taken as "no genre" instead.
    const std::optional<int> genre = buffer.TagGenre.isEmpty()
                                         ? std::optional<int>(-1)
                                         : numericValue(buffer.TagGenre, IntegerWidth::Bits16);
    // A value the component refuses leaves that tag as it was; the others still go through.
    if (genre)
        (void)information.setGenre(*genre);
    information.setComment(buffer.TagComment);
    if (const auto year = numericValue(buffer.TagYear, IntegerWidth::Bits32))
        (void)information.setYear(*year);
    if (const auto track = numericValue(buffer.TagTrack, IntegerWidth::Bits16))
        (void)information.setTrack(*track);
    information.setRichTags(buffer.TagRich);
    return information.writeTags(output, shownPath);
}

QStringList FieldsNotKept(const TagBuffer& buffer, OutputKind target)
{
    const RichTags& rich = buffer.TagRich;
    const int track = numericValue(buffer.TagTrack, IntegerWidth::Bits16).value_or(0);
    QStringList lost;
    // Totals are written beside their numbers only; ASF has no common field for the number
    // of tracks.
    if (rich.trackTotal > 0 && (track <= 0 || outputFormat(target).tags == TagFamily::Asf))
        lost.append(QStringLiteral("track total"));
    if (rich.discTotal > 0 && rich.discNumber <= 0)
        lost.append(QStringLiteral("disc total"));
    // An M4A cover (covr) has no description and no type: the first counts as the front
    // cover, the others as "other".
    if (outputFormat(target).tags == TagFamily::Mp4) {
        QList<CoverPicture> pictures = rich.morePictures;
        if (!rich.cover.isEmpty())
            pictures.prepend(rich.cover);
        const auto described = [](const CoverPicture& picture) {
            return !picture.description.isEmpty();
        };
        if (std::any_of(pictures.begin(), pictures.end(), described))
            lost.append(QStringLiteral("cover description"));
        for (qsizetype index = 0; index < pictures.size(); ++index) {
            if (pictures[index].type != (index == 0 ? CoverPicture::kFrontCover : 0)) {
                lost.append(QStringLiteral("picture type"));
                break;
            }
        }
    }
    // A full date whose year is not the year read gives way to that year.
    if (!rich.date.isEmpty() && numericValue(rich.date, IntegerWidth::Bits32) !=
                                    numericValue(buffer.TagYear, IntegerWidth::Bits32))
        lost.append(QStringLiteral("date"));
    const TagFamily family = outputFormat(target).tags;
    if (family == TagFamily::Id3v2 || family == TagFamily::RiffInfoAndId3)
        lost += id3v23DateLosses(rich);
    // ASF's title and author hold one text: several values arrive joined.
    if (family == TagFamily::Asf) {
        for (const char* field : {"TITLE", "ARTIST"}) {
            if (rich.otherFields.contains(QLatin1String(field)))
                lost.append(QStringLiteral("several values of %1")
                                .arg(QLatin1String(field).toString().toLower()));
        }
    }
    if (family == TagFamily::VorbisComment || family == TagFamily::FlacMetadata) {
        for (const QString& name : rich.otherFields.keys()) {
            if (!isVorbisFieldName(name))
                lost.append(name);
        }
    }
    return lost + buffer.TagOtherFields;
}

} // namespace tunevale
