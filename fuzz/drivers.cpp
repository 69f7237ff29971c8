#include "fuzz/drivers.h"

#include "common/audio/audioinformation.h"
#include "common/audio/audioreader.h"

#include <vector>

namespace tunevale::fuzz {

namespace {

// Enough to pass any seed's end; a header that claims hours of audio must not time out.
constexpr qint64 kMaxDecodedElements = qint64{1} << 22;

void readSome(AudioReader& reader, qint64 limit)
{
    std::vector<qint16> samples;
    qint64 total = 0;
    while (total < limit && reader.read(4096, samples) && !samples.empty())
        total += qint64(samples.size());
}

} // namespace

void exerciseReader(const QString& path)
{
    AudioReader reader;
    if (!reader.open(path))
        return;
    readSome(reader, kMaxDecodedElements);
    qint64 reached = 0;
    if (reader.seek(reader.totalFrames() / 2, reached))
        readSome(reader, 1 << 16);
    if (reader.seek(1, reached))
        readSome(reader, 1 << 12);
}

void exerciseInformation(const QString& path)
{
    AudioInformation information;
    if (!information.open(path))
        return;
    // Every value is used, not just stored, so a bad string or number shows.
    const AudioTags& tags = information.tags();
    volatile qsizetype length = information.formatDescription().size() + tags.title.size() +
                                tags.artist.size() + tags.album.size() + tags.comment.size() +
                                tags.genre + tags.year + tags.track + information.durationMs();
    (void)length;
}

} // namespace tunevale::fuzz
