#pragma once

#include <QString>
#include <QStringList>

namespace tunevale {

struct AudioTags;
struct RichTags;

// What a name pattern can put into an output's name, taken from a source. Texts are as
// stored; numbers are 0 for none.
struct NameFields {
    QString artist;
    QString albumArtist;
    QString album;
    QString title;
    QString genre;
    QString name;      // the source's own name less its extension
    QString extension; // the source's own extension, without the dot
    int track = 0;
    int trackTotal = 0;
    int disc = 0;
    int year = 0;

    static NameFields of(const QString& source, const AudioTags& tags, const RichTags& rich);
};

// An output name pattern such as "{artist}/{album}/{track} - {title}": fields in braces,
// "/" between folders. A field may give its own text for a missing value,
// "{artist|Unknown Artist}"; otherwise a readable one stands in ("Unknown Album").
// {track} has at least two digits (more when the track total has more).
class NamePattern {
public:
    explicit NamePattern(QString pattern);

    // Empty when the pattern is usable; otherwise what is wrong, as in
    // "unknown field {artst} in the name pattern".
    QString problem() const;

    // The output's path below the output folder, without extension: components joined by
    // "/", each one safe (see safeComponent) and cut to fit a file system, so no value can
    // leave the output folder. extensionBytes is kept free in the last component.
    QStringList expand(const NameFields& fields, bool portable, int extensionBytes) const;

    static QStringList fieldNames();

private:
    QString valueOf(const QString& field, const NameFields& fields) const;

    QString m_pattern;
};

} // namespace tunevale
