#pragma once

#include "common/audio/audiocontent.h"
#include "common/audio/status.h"
#include "common/tags/richtags.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tunevale {

// The seven descriptive tags the program reads and writes.
struct AudioTags {
    QString title;
    QString artist;
    QString album;
    int genre = -1; // index into the ID3v1 genre list (0 to 191); -1 for none
    int year = 0;   // 0 for none
    int track = 0;  // 0 for none
    QString comment;

    friend bool operator==(const AudioTags&, const AudioTags&) = default;
};

// The audio information component: probes a file's format and length, reads its tags (the
// seven and the richer ones beside them), holds tag values and writes them into any MP3,
// WMA, OGG Vorbis or WAV file.
class AudioInformation {
public:
    // Analyses path: format, duration and tags. On failure the description is empty
    // and the tags are cleared.
    Status open(const QString& path);

    // One line: codec; rate; bitrate; channels. Empty when the last file was not audio.
    const QString& formatDescription() const { return m_description; }
    qint64 durationMs() const { return m_durationMs; }
    // What the last file holds, by its bytes; Unknown when it was not audio.
    AudioContent content() const { return m_content; }
    // False when the last file's audio is in an encoding this build cannot decode.
    bool decodable() const { return m_decodable; }

    const AudioTags& tags() const { return m_tags; }
    QString title() const { return m_tags.title; }
    void setTitle(const QString& title) { m_tags.title = title; }
    QString artist() const { return m_tags.artist; }
    void setArtist(const QString& artist) { m_tags.artist = artist; }
    QString album() const { return m_tags.album; }
    void setAlbum(const QString& album) { m_tags.album = album; }
    QString comment() const { return m_tags.comment; }
    void setComment(const QString& comment) { m_tags.comment = comment; }
    int genre() const { return m_tags.genre; }
    Status setGenre(int genre); // -1 to 191
    int year() const { return m_tags.year; }
    Status setYear(int year); // 0 or more
    int track() const { return m_tags.track; }
    Status setTrack(int track); // 0 to 32767
    void setTags(const AudioTags& tags) { m_tags = tags; }
    // Album artist, composer, full date, genre name, lyrics, totals, disc and cover. Where
    // the date or genre disagrees with the seven, the write keeps the seven's value.
    const RichTags& richTags() const { return m_rich; }
    void setRichTags(const RichTags& rich) { m_rich = rich; }
    // The names of the fields the last file holds beyond the seven and the richer ones,
    // which no output keeps ("ISRC", "BPM"); what encoders rewrite is left out.
    const QStringList& otherFields() const { return m_otherFields; }

    // Writes the held tag values into the file at path (its format by its content). A failure
    // names shownPath when given (the name a file written under another will have).
    Status writeTags(const QString& path, const QString& shownPath = QString()) const;

private:
    QString m_description;
    qint64 m_durationMs = 0;
    AudioTags m_tags;
    RichTags m_rich;
    QStringList m_otherFields;
    AudioContent m_content = AudioContent::Unknown;
    bool m_decodable = false;
};

} // namespace tunevale
