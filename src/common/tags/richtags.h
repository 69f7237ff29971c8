#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace tunevale {

// An embedded picture as stored: the image bytes untouched.
struct CoverPicture {
    QByteArray data; // empty: no picture
    QString mimeType;
    QString description;
    int type = kFrontCover; // as ID3v2 and FLAC number them: 3 front cover, 4 back cover, 0 other

    static constexpr int kFrontCover = 3;

    bool isEmpty() const { return data.isEmpty(); }
    friend bool operator==(const CoverPicture&, const CoverPicture&) = default;
};

// The tags beyond the seven, carried alongside them so an output keeps what its format can
// hold. Texts are as stored; numbers are 0 for none.
struct RichTags {
    QString albumArtist;
    QString composer;
    QString date;  // as stored, "2001-05-06" or "2001"
    QString genre; // the genre's name, also one the numbered list lacks ("Synthwave")
    QString lyrics;
    int trackTotal = 0;
    int trackDigits = 0; // the digits the track number was written with: 2 for "02", else 0
    int discNumber = 0;
    int discTotal = 0;
    CoverPicture cover; // the front cover, or the first picture when none is marked front
    QList<CoverPicture> morePictures; // the file's other pictures, in its order
    // Every other field, under the name TagLib gives it across formats ("ISRC", "BPM",
    // "MUSICBRAINZ_ALBUMID", "REPLAYGAIN_TRACK_GAIN") or as the file names it (a custom
    // "MOOD"), with all its values in order.
    QMap<QString, QStringList> otherFields;

    friend bool operator==(const RichTags&, const RichTags&) = default;
};

} // namespace tunevale
