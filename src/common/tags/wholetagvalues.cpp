#include "common/tags/wholetagvalues.h"

#include "common/tags/asftexts.h"
#include "common/tags/vorbiscomments.h"

#include <initializer_list>

namespace tunevale {

namespace {

// Takes whole in place of value when value is whole's start up to its first NUL (trimmed,
// as values are). A NUL at the end, a terminator some writers add, carries nothing.
bool restoreFrom(QString& value, const QString* whole)
{
    if (!whole)
        return false;
    QString text = *whole;
    while (text.endsWith(QChar(u'\0')))
        text.chop(1);
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul < 0 || text.first(nul).trimmed() != value)
        return false;
    value = text.trimmed();
    return true;
}

// The candidates in the order the tag reading prefers them.
void restoreFirst(QString& value, std::initializer_list<const QString*> candidates)
{
    for (const QString* whole : candidates) {
        if (restoreFrom(value, whole))
            return;
    }
}

const QString* valueOf(const std::map<QString, QString>& values, const char* name)
{
    const auto found = values.find(QString::fromLatin1(name));
    return found == values.end() ? nullptr : &found->second;
}

void restoreFromVorbis(FileTags& result, const VorbisComments& comments)
{
    const auto field = [&comments](const char* name) {
        return valueOf(comments, name);
    };
    AudioTags& tags = result.tags;
    RichTags& rich = result.rich;
    restoreFirst(tags.title, {field("TITLE")});
    restoreFirst(tags.artist, {field("ARTIST")});
    restoreFirst(tags.album, {field("ALBUM")});
    restoreFirst(tags.comment, {field("DESCRIPTION"), field("COMMENT")});
    restoreFirst(rich.albumArtist, {field("ALBUMARTIST"), field("ALBUM ARTIST")});
    restoreFirst(rich.composer, {field("COMPOSER")});
    restoreFirst(rich.date, {field("DATE")});
    restoreFirst(rich.genre, {field("GENRE")});
    restoreFirst(rich.lyrics, {field("LYRICS"), field("UNSYNCEDLYRICS")});
}

void restoreFromAsf(FileTags& result, const AsfTexts& texts)
{
    const auto attribute = [&texts](const char* name) {
        return valueOf(texts.attributes, name);
    };
    AudioTags& tags = result.tags;
    RichTags& rich = result.rich;
    restoreFirst(tags.title, {&texts.title});
    restoreFirst(tags.artist, {&texts.author});
    restoreFirst(tags.album, {attribute("WM/AlbumTitle")});
    restoreFirst(tags.comment, {&texts.description, attribute("Description")});
    restoreFirst(rich.albumArtist, {attribute("WM/AlbumArtist")});
    restoreFirst(rich.composer, {attribute("WM/Composer")});
    restoreFirst(rich.date, {attribute("WM/Year"), attribute("date")});
    restoreFirst(rich.genre, {attribute("WM/Genre")});
    restoreFirst(rich.lyrics, {attribute("WM/Lyrics")});
}

} // namespace

void restoreValuesCutAtNul(FileTags& tags, TagLib::IOStream& stream, AudioContent content)
{
    const bool isOgg = content == AudioContent::OggVorbis || content == AudioContent::Opus ||
                       content == AudioContent::OggFlac;
    if (!isOgg && content != AudioContent::Flac && content != AudioContent::Wma)
        return;
    if (content == AudioContent::Wma) {
        if (const auto texts = readAsfTexts(stream))
            restoreFromAsf(tags, *texts);
        return;
    }
    if (const auto comments = isOgg ? readOggComments(stream) : readFlacComments(stream))
        restoreFromVorbis(tags, *comments);
}

} // namespace tunevale
