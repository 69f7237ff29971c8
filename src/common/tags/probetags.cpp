#include "common/tags/probetags.h"

#include "common/audio/ffmpegptr.h"
#include "common/tags/otherfields.h"

#include <QRegularExpression>

#include <initializer_list>

namespace tunevale {

namespace {

// The first value under any of keys (matched without regard to case), file level first.
// Blanks at the ends are part of the value.
QString valueOf(const AVFormatContext& context, const AVStream& audio,
                std::initializer_list<const char*> keys)
{
    for (const AVDictionary* dictionary : {context.metadata, audio.metadata}) {
        for (const char* key : keys) {
            if (const AVDictionaryEntry* entry = av_dict_get(dictionary, key, nullptr, 0))
                return QString::fromUtf8(entry->value);
        }
    }
    return {};
}

CoverPicture attachedPicture(const AVFormatContext& context)
{
    for (unsigned index = 0; index < context.nb_streams; ++index) {
        const AVStream* stream = context.streams[index];
        if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) || stream->attached_pic.size <= 0)
            continue;
        CoverPicture cover;
        cover.data = QByteArray(reinterpret_cast<const char*>(stream->attached_pic.data),
                                stream->attached_pic.size);
        if (const AVDictionaryEntry* type = av_dict_get(stream->metadata, "mimetype", nullptr, 0))
            cover.mimeType = QString::fromUtf8(type->value);
        else if (stream->codecpar->codec_id == AV_CODEC_ID_PNG)
            cover.mimeType = QStringLiteral("image/png");
        else if (stream->codecpar->codec_id == AV_CODEC_ID_MJPEG)
            cover.mimeType = QStringLiteral("image/jpeg");
        if (const AVDictionaryEntry* title = av_dict_get(stream->metadata, "title", nullptr, 0))
            cover.description = QString::fromUtf8(title->value);
        return cover;
    }
    return {};
}

} // namespace

FileTags tagsFromProbe(const AVFormatContext& context, int audioStream)
{
    FileTags result;
    if (audioStream < 0 || unsigned(audioStream) >= context.nb_streams)
        return result;
    const AVStream& audio = *context.streams[audioStream];
    const auto value = [&](std::initializer_list<const char*> keys) {
        return valueOf(context, audio, keys);
    };
    AudioTags& tags = result.tags;
    RichTags& rich = result.rich;
    tags.title = value({"title"});
    tags.artist = value({"artist", "author"});
    tags.album = value({"album"});
    // CAF's info chunk names its fields in words ("track number", "recorded date").
    tags.comment = value({"comment", "description", "comments"});
    rich.genre = value({"genre"});
    tags.genre = genreIndexOf(rich.genre.trimmed());
    rich.date = value({"date", "date_released", "recorded date", "year"});
    const QString trackText = value({"track", "tracknumber", "part_number", "track number"});
    const auto [track, trackTotal] = numberAndTotal(trackText);
    tags.track = track <= 32767 ? track : 0;
    // A number written with leading zeros ("02") keeps them where the target holds text.
    static const QRegularExpression paddedNumber(QStringLiteral("^(0\\d+)(/|$)"));
    if (const auto match = paddedNumber.match(trackText); match.hasMatch())
        rich.trackDigits = int(match.capturedLength(1));
    rich.trackTotal = trackTotal ? trackTotal : numberAndTotal(value({"tracktotal"})).first;
    std::tie(rich.discNumber, rich.discTotal) = numberAndTotal(value({"disc", "discnumber"}));
    if (rich.discTotal == 0)
        rich.discTotal = numberAndTotal(value({"disctotal"})).first;
    rich.albumArtist = value({"album_artist", "albumartist", "album artist"});
    rich.composer = value({"composer"});
    rich.lyrics = value({"lyrics", "unsyncedlyrics"});
    tags.year = numberAndTotal(rich.date.trimmed().left(4)).first;
    rich.cover = attachedPicture(context);
    readOtherProbeFields(context.metadata, audio.metadata, result);
    return result;
}

} // namespace tunevale
