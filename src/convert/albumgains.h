#pragma once

#include "common/codecs/outputformat.h"
#include "common/tags/replaygaintags.h"
#include "convert/loudness.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace tunevale {

// Collects the measured tracks of one run by album, then writes each album's gain into its
// finished tracks. The album's loudness is that of its tracks taken as one stream.
class AlbumGains {
public:
    // Which album a source belongs to: its album and album artist tags, or its folder when
    // it has neither.
    static QString albumKey(const QString& album, const QString& albumArtist,
                            const QString& source);

    // Adds a finished output of kind, measured by meters (the transcoder's). Safe to call
    // from several threads.
    void add(const QString& albumKey, const QString& output, OutputKind kind,
             std::vector<LoudnessMeter> meters);

    // Writes REPLAYGAIN_ALBUM_* (R128_ALBUM_GAIN for Opus) into every output added. Each
    // output is tagged as a copy that replaces it only once written whole, so a failure leaves
    // the track as it was. Returns one message per output that failed, its path first.
    // betweenFiles runs after each output: copying a library's files takes a while, and a
    // window's event loop wants its turns meanwhile.
    QStringList writeAll(const std::function<void()>& betweenFiles = {});

    // Tracks added so far.
    size_t size() const;

private:
    struct Track {
        QString output;
        OutputKind kind;
        std::vector<LoudnessMeter> meters;
    };
    mutable std::mutex m_mutex;
    std::map<QString, std::vector<Track>> m_albums;
};

// Writes the tags of scope into a copy of path that then replaces it, so that path is never
// seen half written; on failure path is left untouched.
Status replaceWithGainTags(const QString& path, OutputKind kind, GainScope scope,
                           const Loudness& loudness);

} // namespace tunevale
