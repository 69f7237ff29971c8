#include "common/tags/tagfile.h"

#include "common/tags/id3v2tagfile.h"
#include "common/tags/otherfields.h"
#include "common/tags/tagstream.h"
#include "common/tags/wholetagvalues.h"

#include <QMimeDatabase>
#include <QRegularExpression>
#include <QStringDecoder>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace tunevale {

// Whole values: a C string would end at the first NUL that some formats keep inside one.
// Blanks at the ends are part of the value.
QString fromTagString(const TagLib::String& text)
{
    return QString::fromStdString(text.to8Bit(true));
}

namespace {

constexpr int kMaxGenre = 191;
constexpr int kMaxTrack = 32767;

TagLib::String toTagString(const QString& text)
{
    return TagLib::String(text.toUtf8().toStdString(), TagLib::String::UTF8);
}

TagLib::ByteVector toByteVector(const QByteArray& bytes)
{
    return TagLib::ByteVector(bytes.constData(), unsigned(bytes.size()));
}

QByteArray fromByteVector(const TagLib::ByteVector& bytes)
{
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

// RIFF INFO text: FFmpeg's reader and TagLib's own take it as UTF-8, so it is written so (a
// Latin-1 "ä" shows there as "\uFFFD"). Chunks other programs wrote in Latin-1 are still read.
class InfoStringHandler final : public TagLib::RIFF::Info::StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override
    {
        // INFO texts end at a NUL.
        const QByteArrayView bytes(data.data(), qsizetype(data.size()));
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8.decode(bytes);
        const QString text = utf8.hasError() ? QString::fromLatin1(bytes) : decoded;
        return toTagString(text.section(QChar(u'\0'), 0, 0));
    }

    TagLib::ByteVector render(const TagLib::String& text) const override
    {
        return text.data(TagLib::String::UTF8);
    }
};

void installInfoStringHandler()
{
    static const bool installed = [] {
        static const InfoStringHandler handler;
        TagLib::RIFF::Info::Tag::setStringHandler(&handler);
        return true;
    }();
    Q_UNUSED(installed);
}

// The content of one of the output formats, from the file's first bytes.
AudioContent sniffOutputContent(TagLib::IOStream& stream)
{
    stream.seek(0);
    // Long enough for an Ogg stream's first packet to name its codec.
    const TagLib::ByteVector bytes = stream.readBlock(36);
    stream.seek(0);
    const QByteArray head = fromByteVector(bytes);
    static constexpr std::array<unsigned char, 16> kAsfHeaderGuid = {
        0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
        0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    if (head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE")
        return AudioContent::Wav;
    if (head.startsWith("OggS"))
        return head.mid(28, 8) == "OpusHead" ? AudioContent::Opus : AudioContent::OggVorbis;
    if (head.size() >= 16 && std::memcmp(head.constData(), kAsfHeaderGuid.data(), 16) == 0)
        return AudioContent::Wma;
    if (head.startsWith("fLaC"))
        return AudioContent::Flac;
    if (head.mid(4, 4) == "ftyp")
        return AudioContent::Mp4Aac;
    if (head.startsWith("ID3"))
        return AudioContent::Mp3;
    if (head.size() >= 2 && quint8(head[0]) == 0xFF && (quint8(head[1]) & 0xE0) == 0xE0)
        return AudioContent::Mp3;
    return AudioContent::Unknown;
}

// A TagLib file for the content, reading stream (which must outlive it); the FileRef owns
// the file. Null when TagLib does not know the content.
TagLib::FileRef openTagFile(TagLib::IOStream& stream, AudioContent content, bool readProperties)
{
    installInfoStringHandler();
    TagLib::IOStream* const in = &stream;
    const auto id3Frames = TagLib::ID3v2::FrameFactory::instance();
    switch (content) {
    case AudioContent::Mp3:
        return TagLib::FileRef(new TagLib::MPEG::File(in, id3Frames, readProperties));
    case AudioContent::Wma:
        return TagLib::FileRef(new TagLib::ASF::File(in, readProperties));
    case AudioContent::OggVorbis:
        return TagLib::FileRef(new TagLib::Ogg::Vorbis::File(in, readProperties));
    case AudioContent::Wav:
        return TagLib::FileRef(new TagLib::RIFF::WAV::File(in, readProperties));
    case AudioContent::Opus:
        return TagLib::FileRef(new TagLib::Ogg::Opus::File(in, readProperties));
    case AudioContent::OggFlac:
        return TagLib::FileRef(new TagLib::Ogg::FLAC::File(in, readProperties));
    case AudioContent::Flac:
        return TagLib::FileRef(new TagLib::FLAC::File(in, id3Frames, readProperties));
    case AudioContent::Mp4Aac:
    case AudioContent::Alac:
        return TagLib::FileRef(new TagLib::MP4::File(in, readProperties));
    case AudioContent::Aiff:
        return TagLib::FileRef(new TagLib::RIFF::AIFF::File(in, readProperties));
    case AudioContent::WavPack:
        return TagLib::FileRef(new TagLib::WavPack::File(in, readProperties));
    case AudioContent::Ape:
        return TagLib::FileRef(new TagLib::APE::File(in, readProperties));
    case AudioContent::Dsf:
        return TagLib::FileRef(Id3v2TagFile::ofDsf(in).release());
    case AudioContent::Aac:
    case AudioContent::WebM:
    case AudioContent::Matroska:
    case AudioContent::Caf:
        return {};
    case AudioContent::Unknown:
        break;
    }
    // Headers we do not know (an MP3 behind junk, say): let TagLib go by the extension.
    return TagLib::FileRef(in, readProperties);
}

AudioTags tagsOf(const TagLib::Tag* tag)
{
    AudioTags tags;
    tags.title = fromTagString(tag->title());
    tags.artist = fromTagString(tag->artist());
    tags.album = fromTagString(tag->album());
    tags.comment = fromTagString(tag->comment());
    tags.genre = genreIndexOf(fromTagString(tag->genre()));
    tags.year = tag->year() <= unsigned(std::numeric_limits<int>::max()) ? int(tag->year()) : 0;
    tags.track = tag->track() <= unsigned(kMaxTrack) ? int(tag->track()) : 0;
    return tags;
}

// Fills what primary lacks from secondary.
AudioTags mergeTags(AudioTags primary, const AudioTags& secondary)
{
    for (auto text :
         {&AudioTags::title, &AudioTags::artist, &AudioTags::album, &AudioTags::comment}) {
        if ((primary.*text).isEmpty())
            primary.*text = secondary.*text;
    }
    if (primary.genre < 0)
        primary.genre = secondary.genre;
    if (primary.year == 0)
        primary.year = secondary.year;
    if (primary.track == 0)
        primary.track = secondary.track;
    return primary;
}

RichTags mergeRich(RichTags primary, const RichTags& secondary)
{
    for (auto text : {&RichTags::albumArtist, &RichTags::composer, &RichTags::date,
                      &RichTags::genre, &RichTags::lyrics}) {
        if ((primary.*text).isEmpty())
            primary.*text = secondary.*text;
    }
    for (auto number : {&RichTags::trackTotal, &RichTags::discNumber, &RichTags::discTotal}) {
        if (primary.*number == 0)
            primary.*number = secondary.*number;
    }
    if (primary.cover.isEmpty())
        primary.cover = secondary.cover;
    return primary;
}

QString firstValue(const TagLib::PropertyMap& map, const char* key)
{
    const auto found = map.find(key);
    if (found == map.end() || found->second.isEmpty())
        return {};
    return fromTagString(found->second.front());
}

// A value under key, or under the first key that begins with key and a colon (ID3v2 keeps a
// description there, as in "LYRICS:eng").
QString firstValueLike(const TagLib::PropertyMap& map, const char* key)
{
    if (QString value = firstValue(map, key); !value.isEmpty())
        return value;
    const TagLib::String prefix = TagLib::String(key) + ":";
    for (const auto& [name, values] : map) {
        if (name.startsWith(prefix) && !values.isEmpty())
            return fromTagString(values.front());
    }
    return {};
}

int positiveNumber(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value > 0 ? value : 0;
}

RichTags richOf(const TagLib::PropertyMap& map)
{
    RichTags rich;
    rich.albumArtist = firstValue(map, "ALBUMARTIST");
    if (rich.albumArtist.isEmpty())
        rich.albumArtist = firstValue(map, "ALBUM ARTIST");
    rich.composer = firstValue(map, "COMPOSER");
    rich.date = firstValue(map, "DATE");
    rich.genre = firstValue(map, "GENRE");
    // A number stored as the genre names a genre of the list.
    if (const int index = genreIndexOf(rich.genre); index >= 0)
        rich.genre = fromTagString(TagLib::ID3v1::genre(index));
    rich.lyrics = firstValueLike(map, "LYRICS");
    if (rich.lyrics.isEmpty())
        rich.lyrics = firstValue(map, "UNSYNCEDLYRICS");
    const QString track = firstValue(map, "TRACKNUMBER");
    rich.trackTotal = numberAndTotal(track).second;
    // A number written with leading zeros ("02") keeps them where the target holds text.
    static const QRegularExpression paddedNumber(QStringLiteral("^(0\\d+)(/|$)"));
    if (const auto match = paddedNumber.match(track); match.hasMatch())
        rich.trackDigits = int(match.capturedLength(1));
    for (const char* key : {"TRACKTOTAL", "TOTALTRACKS"}) {
        if (rich.trackTotal == 0)
            rich.trackTotal = positiveNumber(firstValue(map, key));
    }
    std::tie(rich.discNumber, rich.discTotal) = numberAndTotal(firstValue(map, "DISCNUMBER"));
    for (const char* key : {"DISCTOTAL", "TOTALDISCS"}) {
        if (rich.discTotal == 0)
            rich.discTotal = positiveNumber(firstValue(map, key));
    }
    return rich;
}

template <typename Picture> CoverPicture coverOf(const Picture& picture)
{
    return {fromByteVector(picture.data()), fromTagString(picture.mimeType()),
            fromTagString(picture.description()), int(picture.type())};
}

// The front cover becomes the cover (the first picture when none is marked front), the others
// follow it in the file's order.
void takePictures(QList<CoverPicture> pictures, RichTags& rich)
{
    pictures.removeIf([](const CoverPicture& picture) { return picture.isEmpty(); });
    if (pictures.isEmpty())
        return;
    const auto front = std::find_if(pictures.begin(), pictures.end(), [](const auto& picture) {
        return picture.type == CoverPicture::kFrontCover;
    });
    rich.cover =
        front == pictures.end() ? pictures.takeFirst() : pictures.takeAt(front - pictures.begin());
    rich.morePictures = std::move(pictures);
}

QList<CoverPicture> id3Pictures(const TagLib::ID3v2::Tag* tag)
{
    QList<CoverPicture> pictures;
    if (!tag)
        return pictures;
    for (const TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
        if (const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame))
            pictures.append({fromByteVector(picture->picture()), fromTagString(picture->mimeType()),
                             fromTagString(picture->description()), int(picture->type())});
    }
    return pictures;
}

// The picture types as APE item names give them ("Cover Art (Back)"), in ID3v2's numbering.
constexpr std::array<const char*, 21> kApePictureNames = {"Other",
                                                          "Icon",
                                                          "Other Icon",
                                                          "Front",
                                                          "Back",
                                                          "Leaflet",
                                                          "Media",
                                                          "Lead Artist",
                                                          "Artist",
                                                          "Conductor",
                                                          "Band",
                                                          "Composer",
                                                          "Lyricist",
                                                          "Recording Location",
                                                          "During Recording",
                                                          "During Performance",
                                                          "Video Capture",
                                                          "Fish",
                                                          "Illustration",
                                                          "Band Logotype",
                                                          "Publisher Logotype"};

// APE keeps a picture as a binary item "Cover Art (Front)" (or another "Cover Art (...)"):
// a description (often the image's file name), a NUL, then the image bytes. The MIME type
// comes from the bytes, else the name. A type APE does not name counts as "other".
QList<CoverPicture> apePictures(const TagLib::APE::Tag* tag)
{
    QList<CoverPicture> pictures;
    if (!tag)
        return pictures;
    for (const auto& [key, item] : tag->itemListMap()) {
        const QString name = fromTagString(key);
        static const QRegularExpression coverItem(QStringLiteral("^COVER ART \\((.*)\\)$"),
                                                  QRegularExpression::CaseInsensitiveOption);
        const auto match = coverItem.match(name);
        if (!match.hasMatch() || item.type() != TagLib::APE::Item::Binary)
            continue;
        const QByteArray value = fromByteVector(item.binaryData());
        const qsizetype nul = value.indexOf('\0');
        if (nul < 0 || nul + 1 == value.size())
            continue;
        const QString description = QString::fromUtf8(value.left(nul));
        const QByteArray data = value.mid(nul + 1);
        QString mimeType = QMimeDatabase().mimeTypeForFileNameAndData(description, data).name();
        if (!mimeType.startsWith(u"image/"))
            mimeType.clear();
        const auto named = std::find_if(
            kApePictureNames.begin(), kApePictureNames.end(), [&match](const char* typeName) {
                return match.captured(1).compare(QLatin1String(typeName), Qt::CaseInsensitive) == 0;
            });
        const int type =
            named == kApePictureNames.end() ? 0 : int(named - kApePictureNames.begin());
        pictures.append({data, mimeType, description, type});
    }
    return pictures;
}

QList<CoverPicture> flacPictures(const TagLib::List<TagLib::FLAC::Picture*>& list)
{
    QList<CoverPicture> pictures;
    for (const TagLib::FLAC::Picture* picture : list)
        pictures.append(coverOf(*picture));
    return pictures;
}

QList<CoverPicture> asfPictures(const TagLib::ASF::Tag* tag)
{
    QList<CoverPicture> pictures;
    const auto& attributes = tag->attributeListMap();
    const auto found = attributes.find("WM/Picture");
    if (found == attributes.end())
        return pictures;
    for (const TagLib::ASF::Attribute& attribute : found->second) {
        const TagLib::ASF::Picture picture = attribute.toPicture();
        if (picture.isValid())
            pictures.append({fromByteVector(picture.picture()), fromTagString(picture.mimeType()),
                             fromTagString(picture.description()), int(picture.type())});
    }
    return pictures;
}

// covr has no type: the first picture counts as the front cover, the others as "other".
QList<CoverPicture> mp4Pictures(const TagLib::MP4::Tag* tag)
{
    QList<CoverPicture> pictures;
    if (!tag->contains("covr"))
        return pictures;
    for (const TagLib::MP4::CoverArt& cover : tag->item("covr").toCoverArtList()) {
        QString mimeType;
        switch (cover.format()) {
        case TagLib::MP4::CoverArt::JPEG:
            mimeType = QStringLiteral("image/jpeg");
            break;
        case TagLib::MP4::CoverArt::PNG:
            mimeType = QStringLiteral("image/png");
            break;
        case TagLib::MP4::CoverArt::BMP:
            mimeType = QStringLiteral("image/bmp");
            break;
        case TagLib::MP4::CoverArt::GIF:
            mimeType = QStringLiteral("image/gif");
            break;
        default:
            break;
        }
        pictures.append({fromByteVector(cover.data()), mimeType, QString(),
                         pictures.isEmpty() ? CoverPicture::kFrontCover : 0});
    }
    return pictures;
}

QString asfAttributeText(const TagLib::ASF::Tag* tag, const char* name)
{
    const auto& attributes = tag->attributeListMap();
    const auto found = attributes.find(name);
    if (found == attributes.end() || found->second.isEmpty())
        return {};
    return fromTagString(found->second.front().toString());
}

// The leading year of a date text ("2001-05-06" gives 2001); 0 when it has none.
int yearOfDate(const QString& date)
{
    static const QRegularExpression leadingYear(QStringLiteral("^\\s*(\\d{1,9})"));
    const auto match = leadingYear.match(date);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// The fields among the seven and the rich texts that formats let hold several values.
constexpr std::array<const char*, 6> kSeveralValueFields = {"TITLE",       "ARTIST",   "ALBUM",
                                                            "ALBUMARTIST", "COMPOSER", "GENRE"};

// Several values of one of those fields stay apart in otherFields, under the field's property
// name; the text read holds them joined with "; " (TagLib joins them with a blank, which
// would make "piman" and "jzig" one artist "piman jzig").
void keepSeveralValues(const TagLib::PropertyMap& map, FileTags& result)
{
    for (const char* key : kSeveralValueFields) {
        const auto found = map.find(key);
        if (found == map.end() || found->second.size() < 2)
            continue;
        QStringList values;
        for (const TagLib::String& value : found->second)
            values.append(fromTagString(value));
        const QString joined = values.join(QStringLiteral("; "));
        const QString name = QString::fromLatin1(key);
        if (name == u"TITLE")
            result.tags.title = joined;
        else if (name == u"ARTIST")
            result.tags.artist = joined;
        else if (name == u"ALBUM")
            result.tags.album = joined;
        else if (name == u"ALBUMARTIST")
            result.rich.albumArtist = joined;
        else if (name == u"COMPOSER")
            result.rich.composer = joined;
        else
            result.rich.genre = joined;
        if (name == u"GENRE")
            result.tags.genre = genreIndexOf(joined);
        result.rich.otherFields.insert(name, values);
    }
}

FileTags readFile(TagLib::File* file)
{
    FileTags result;
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file)) {
        // The "ID3 " chunk holds what RIFF INFO cannot (non-Latin-1 text, pictures), and many
        // programs write just INFO: the ID3 chunk comes first, INFO fills the gaps.
        result.tags = mergeTags(tagsOf(wav->ID3v2Tag()), tagsOf(wav->InfoTag()));
        RichTags info = richOf(wav->InfoTag()->properties());
        info.date = fromTagString(wav->InfoTag()->fieldText("ICRD"));
        result.rich = mergeRich(richOf(wav->ID3v2Tag()->properties()), info);
        takePictures(id3Pictures(wav->ID3v2Tag()), result.rich);
        keepSeveralValues(wav->ID3v2Tag()->properties(), result);
        return result;
    }
    if (file->tag())
        result.tags = tagsOf(file->tag());
    const TagLib::PropertyMap properties = propertiesOf(*file);
    result.rich = richOf(properties);
    keepSeveralValues(properties, result);
    // FFmpeg's ID3v2 muxer keeps the comment in a TXXX frame named "comment".
    if (result.tags.comment.isEmpty())
        result.tags.comment = firstValue(properties, "COMMENT");
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
        takePictures(id3Pictures(mpeg->ID3v2Tag()), result.rich);
        if (result.rich.cover.isEmpty())
            takePictures(apePictures(mpeg->APETag()), result.rich);
    } else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file)) {
        takePictures(id3Pictures(aiff->tag()), result.rich);
    } else if (auto* dsf = dynamic_cast<Id3v2TagFile*>(file)) {
        takePictures(id3Pictures(dsf->ID3v2Tag()), result.rich);
    } else if (auto* wavPack = dynamic_cast<TagLib::WavPack::File*>(file)) {
        takePictures(apePictures(wavPack->APETag()), result.rich);
    } else if (auto* ape = dynamic_cast<TagLib::APE::File*>(file)) {
        takePictures(apePictures(ape->APETag()), result.rich);
    } else if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file)) {
        // FFmpeg's muxer stores the year as "date" and the comment as "Description".
        if (result.rich.date.isEmpty())
            result.rich.date = asfAttributeText(asf->tag(), "date");
        if (result.tags.comment.isEmpty())
            result.tags.comment = asfAttributeText(asf->tag(), "Description");
        takePictures(asfPictures(asf->tag()), result.rich);
    } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        QList<CoverPicture> pictures = flacPictures(flac->pictureList());
        if (flac->xiphComment())
            pictures += flacPictures(flac->xiphComment()->pictureList());
        takePictures(pictures, result.rich);
    } else if (auto* xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(file->tag())) {
        takePictures(flacPictures(xiph->pictureList()), result.rich);
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file); mp4 && mp4->tag()) {
        takePictures(mp4Pictures(mp4->tag()), result.rich);
    }
    return result;
}

// Empty texts, genre -1, year 0 and track 0 remove the field in every TagLib tag type we
// write, except the ASF attributes handled by the caller.
void applyTags(TagLib::Tag* tag, const AudioTags& tags)
{
    tag->setTitle(toTagString(tags.title));
    tag->setArtist(toTagString(tags.artist));
    tag->setAlbum(toTagString(tags.album));
    tag->setComment(toTagString(tags.comment));
    tag->setGenre(tags.genre >= 0 ? TagLib::ID3v1::genre(tags.genre) : TagLib::String());
    tag->setYear(unsigned(tags.year));
    tag->setTrack(unsigned(tags.track));
}

// ASF keeps these as attributes that TagLib would store as empty or zero values.
void removeEmptyAsfAttributes(TagLib::ASF::Tag* tag, const AudioTags& tags, const RichTags& rich)
{
    if (tags.album.isEmpty())
        tag->removeItem("WM/AlbumTitle");
    if (tags.genre < 0 && rich.genre.isEmpty())
        tag->removeItem("WM/Genre");
    if (tags.year == 0)
        tag->removeItem("WM/Year");
    if (tags.track == 0)
        tag->removeItem("WM/TrackNumber");
}

void setProperty(TagLib::PropertyMap& map, const char* key, const QString& value)
{
    if (value.isEmpty())
        map.erase(key);
    else
        map.replace(key, TagLib::StringList(toTagString(value)));
}

// Where a format keeps the number of tracks or discs: "3/12" in the number field, a field
// of its own, or nowhere.
enum class Totals { InNumber, Separate, None };

// The richer values as property keys that TagLib maps onto each format's own fields
// (ID3v2 TPE2/TCOM/TDRC/TPOS/USLT, ASF WM/AlbumArtist/WM/PartOfSet, Vorbis comments).
// A value the seven disagree with (set apart from the rich one) gives way to the seven.
// properties() and setProperties() are not virtual in TagLib 1: call them on the real type.
// Returns the other fields the tag type has no place for under their property names.
template <typename TagType>
TagLib::PropertyMap applyRich(TagType* tag, const AudioTags& tags, const RichTags& rich,
                              Totals trackTotal, Totals discTotal)
{
    TagLib::PropertyMap map = tag->properties();
    setProperty(map, "ALBUMARTIST", rich.albumArtist);
    setProperty(map, "COMPOSER", rich.composer);
    setProperty(map, "LYRICS", rich.lyrics);
    if (!rich.date.isEmpty() && yearOfDate(rich.date) == tags.year)
        setProperty(map, "DATE", rich.date);
    if (!rich.genre.isEmpty() && genreIndexOf(rich.genre) == tags.genre)
        setProperty(map, "GENRE", rich.genre);
    const auto numberText = [](int number, int total, Totals totals) {
        return totals == Totals::InNumber && total > 0
                   ? QStringLiteral("%1/%2").arg(number).arg(total)
                   : QString::number(number);
    };
    if (tags.track > 0) {
        QString track = numberText(tags.track, rich.trackTotal, trackTotal);
        const qsizetype digits = track.indexOf(u'/') < 0 ? track.size() : track.indexOf(u'/');
        if (rich.trackDigits > digits)
            track.prepend(QString(rich.trackDigits - digits, u'0'));
        setProperty(map, "TRACKNUMBER", track);
    }
    setProperty(map, "DISCNUMBER",
                rich.discNumber > 0 ? numberText(rich.discNumber, rich.discTotal, discTotal)
                                    : QString());
    if (trackTotal == Totals::Separate) {
        setProperty(map, "TRACKTOTAL",
                    tags.track > 0 && rich.trackTotal > 0 ? QString::number(rich.trackTotal)
                                                          : QString());
    }
    if (discTotal == Totals::Separate) {
        setProperty(map, "DISCTOTAL",
                    rich.discNumber > 0 && rich.discTotal > 0 ? QString::number(rich.discTotal)
                                                              : QString());
    }
    for (const auto& [name, values] : rich.otherFields.asKeyValueRange()) {
        TagLib::StringList texts;
        for (const QString& value : values)
            texts.append(toTagString(value));
        const TagLib::String key = toTagString(name);
        // Several values of a field the tags hold as one text replace that text only while
        // it is still their join (a value changed since is written as it now reads).
        const auto isNamed = [&fieldName = name](const char* field) {
            return fieldName == QLatin1String(field);
        };
        if (std::any_of(kSeveralValueFields.begin(), kSeveralValueFields.end(), isNamed)) {
            const auto found = map.find(key);
            if (found == map.end() || found->second.size() != 1 ||
                fromTagString(found->second.front()) != values.join(QStringLiteral("; ")))
                continue;
        }
        map.replace(key, texts);
    }
    return tag->setProperties(map);
}

// The cover first, then the other pictures, each with its type and description.
QList<CoverPicture> picturesOf(const RichTags& rich)
{
    QList<CoverPicture> pictures;
    if (!rich.cover.isEmpty())
        pictures.append(rich.cover);
    for (const CoverPicture& picture : rich.morePictures) {
        if (!picture.isEmpty())
            pictures.append(picture);
    }
    return pictures;
}

void applyId3Pictures(TagLib::ID3v2::Tag* tag, const RichTags& rich)
{
    tag->removeFrames("APIC");
    for (const CoverPicture& picture : picturesOf(rich)) {
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::Type(picture.type));
        frame->setMimeType(toTagString(picture.mimeType));
        frame->setDescription(toTagString(picture.description));
        frame->setPicture(toByteVector(picture.data));
        tag->addFrame(frame); // the tag owns it
    }
}

// A FLAC picture block of picture; the caller takes ownership.
TagLib::FLAC::Picture* newFlacPicture(const CoverPicture& picture)
{
    auto* block = new TagLib::FLAC::Picture;
    block->setType(TagLib::FLAC::Picture::Type(picture.type));
    block->setMimeType(toTagString(picture.mimeType));
    block->setDescription(toTagString(picture.description));
    block->setData(toByteVector(picture.data));
    return block;
}

void applyXiphPictures(TagLib::Ogg::XiphComment* comment, const RichTags& rich)
{
    comment->removeAllPictures();
    for (const CoverPicture& picture : picturesOf(rich))
        comment->addPicture(newFlacPicture(picture)); // the comment owns it
}

void applyAsfPictures(TagLib::ASF::Tag* tag, const RichTags& rich)
{
    tag->removeItem("WM/Picture");
    for (const CoverPicture& picture : picturesOf(rich)) {
        TagLib::ASF::Picture attribute;
        attribute.setType(TagLib::ASF::Picture::Type(picture.type));
        attribute.setMimeType(toTagString(picture.mimeType));
        attribute.setDescription(toTagString(picture.description));
        attribute.setPicture(toByteVector(picture.data));
        tag->addAttribute("WM/Picture", TagLib::ASF::Attribute(attribute));
    }
}

// TagLib 1 names the TXXX frames it maps in capitals ("MUSICBRAINZ ALBUM ID"); other taggers
// write, and some read only, the mixed case.
void useCommonTxxxNames(TagLib::ID3v2::Tag* tag)
{
    static const std::array<const char*, 13> kNames = {"MusicBrainz Album Id",
                                                       "MusicBrainz Artist Id",
                                                       "MusicBrainz Album Artist Id",
                                                       "MusicBrainz Release Group Id",
                                                       "MusicBrainz Release Track Id",
                                                       "MusicBrainz Work Id",
                                                       "MusicBrainz Disc Id",
                                                       "MusicBrainz Album Status",
                                                       "MusicBrainz Album Type",
                                                       "MusicBrainz Album Release Country",
                                                       "Acoustid Id",
                                                       "Acoustid Fingerprint",
                                                       "MusicIP PUID"};
    for (TagLib::ID3v2::Frame* frame : tag->frameList("TXXX")) {
        auto* text = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
        if (!text)
            continue;
        for (const char* name : kNames) {
            if (text->description() != name && text->description() == TagLib::String(name).upper())
                text->setDescription(name);
        }
    }
}

void applyId3(TagLib::ID3v2::Tag* tag, const AudioTags& tags, RichTags rich)
{
    applyTags(tag, tags);
    // ID3v2 times follow a "T" ("2001-05-06T12:34"); TagLib keeps the time in ID3v2.3's TIME
    // only then. Some writers put a blank there.
    static const QRegularExpression blankBeforeTime(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d) (\\d\\d:)"));
    rich.date.replace(blankBeforeTime, QStringLiteral("\\1T\\2"));
    applyRich(tag, tags, rich, Totals::InNumber, Totals::InNumber);
    useCommonTxxxNames(tag);
    applyId3Pictures(tag, rich);
}

// FLAC: a Vorbis comment, and the cover in a PICTURE block of the stream's own.
bool saveFlacTags(TagLib::FLAC::File* flac, const AudioTags& tags, const RichTags& rich)
{
    TagLib::Ogg::XiphComment* comment = flac->xiphComment(true);
    applyTags(comment, tags);
    applyRich(comment, tags, rich, Totals::Separate, Totals::Separate);
    comment->removeAllPictures();
    flac->removePictures();
    for (const CoverPicture& picture : picturesOf(rich))
        flac->addPicture(newFlacPicture(picture)); // the file owns it
    return flac->save();
}

// Opus: a Vorbis comment with the cover as METADATA_BLOCK_PICTURE.
bool saveOpusTags(TagLib::Ogg::Opus::File* opus, const AudioTags& tags, const RichTags& rich)
{
    applyTags(opus->tag(), tags);
    applyRich(opus->tag(), tags, rich, Totals::Separate, Totals::Separate);
    applyXiphPictures(opus->tag(), rich);
    return opus->save();
}

TagLib::MP4::CoverArt::Format mp4CoverFormat(const QString& mimeType)
{
    if (mimeType == u"image/jpeg" || mimeType == u"image/jpg")
        return TagLib::MP4::CoverArt::JPEG;
    if (mimeType == u"image/png")
        return TagLib::MP4::CoverArt::PNG;
    if (mimeType == u"image/bmp")
        return TagLib::MP4::CoverArt::BMP;
    if (mimeType == u"image/gif")
        return TagLib::MP4::CoverArt::GIF;
    return TagLib::MP4::CoverArt::Unknown;
}

// M4A: iTunes atoms (the totals inside trkn and disk; covr has no room for a description).
// Items the properties do not name, such as the encoder's iTunSMPB, are left as they are.
bool saveMp4Tags(TagLib::MP4::File* mp4, const AudioTags& tags, const RichTags& rich)
{
    TagLib::MP4::Tag* tag = mp4->tag();
    applyTags(tag, tags);
    const TagLib::PropertyMap custom =
        applyRich(tag, tags, rich, Totals::InNumber, Totals::InNumber);
    // Fields with no atom of their own go to free-form atoms, as other taggers write them.
    for (const auto& [name, values] : custom)
        tag->setItem("----:com.apple.iTunes:" + name, TagLib::MP4::Item(values));
    tag->removeItem("covr");
    TagLib::MP4::CoverArtList covers;
    for (const CoverPicture& picture : picturesOf(rich))
        covers.append(
            TagLib::MP4::CoverArt(mp4CoverFormat(picture.mimeType), toByteVector(picture.data)));
    if (!covers.isEmpty())
        tag->setItem("covr", covers);
    return mp4->save();
}

// Some programs put an ID3v2 tag in front of a Monkey's Audio file, which the file's own
// reader skips. Its values fill what the APE tag lacks.
void fillFromLeadingId3(FileTags& result, TagLib::IOStream& stream)
{
    Id3v2TagFile leading(&stream, 0);
    if (!leading.hasTag())
        return;
    FileTags id3 = readFile(&leading);
    if (id3.tags.year == 0)
        id3.tags.year = yearOfDate(id3.rich.date);
    readOtherTagLibFields(leading, id3);
    const bool hadPictures = !result.rich.cover.isEmpty();
    fillGaps(result, id3);
    if (!hadPictures)
        result.rich.morePictures = id3.rich.morePictures;
    for (const auto& [name, values] : id3.rich.otherFields.asKeyValueRange()) {
        if (!result.rich.otherFields.contains(name))
            result.rich.otherFields.insert(name, values);
    }
    for (const QString& name : std::as_const(id3.otherFields)) {
        if (!result.otherFields.contains(name))
            result.otherFields.append(name);
    }
}

} // namespace

int genreIndexOf(const QString& text)
{
    if (text.isEmpty())
        return -1;
    static const QRegularExpression numeric(QStringLiteral("^\\(?(\\d{1,3})\\)?$"));
    if (const auto match = numeric.match(text); match.hasMatch()) {
        const int index = match.captured(1).toInt();
        return index <= kMaxGenre ? index : -1;
    }
    // genreIndex() is case-sensitive and gives 255 for names it does not know.
    const int index = TagLib::ID3v1::genreIndex(toTagString(text));
    if (index >= 0 && index <= kMaxGenre)
        return index;
    const TagLib::StringList names = TagLib::ID3v1::genreList();
    int position = 0;
    for (const TagLib::String& name : names) {
        if (fromTagString(name).compare(text, Qt::CaseInsensitive) == 0)
            return position <= kMaxGenre ? position : -1;
        ++position;
    }
    // Several genres, joined by TagLib or by us: the first known one counts.
    static const QRegularExpression separator(QStringLiteral(" / |; "));
    const QStringList parts = text.split(separator, Qt::SkipEmptyParts);
    if (parts.size() > 1)
        return genreIndexOf(parts.first().trimmed());
    return -1;
}

void fillGaps(FileTags& tags, const FileTags& other)
{
    tags.tags = mergeTags(tags.tags, other.tags);
    tags.rich = mergeRich(tags.rich, other.rich);
    const QString copyright = QStringLiteral("COPYRIGHT");
    if (!tags.rich.otherFields.contains(copyright) && other.rich.otherFields.contains(copyright))
        tags.rich.otherFields.insert(copyright, other.rich.otherFields.value(copyright));
}

std::pair<int, int> numberAndTotal(const QString& text)
{
    const qsizetype slash = text.indexOf(u'/');
    if (slash < 0)
        return {positiveNumber(text), 0};
    return {positiveNumber(text.left(slash)), positiveNumber(text.mid(slash + 1))};
}

FileTags readTagLibTags(const QString& path, AudioContent content)
{
    TagStream stream(path, OpenFor::Reading);
    if (!stream.isOpen())
        return {};
    const TagLib::FileRef file = openTagFile(stream, content, false);
    if (file.isNull() || !file.file()->isValid())
        return {};
    FileTags result = readFile(file.file());
    restoreValuesCutAtNul(result, stream, content);
    if (result.tags.year == 0)
        result.tags.year = yearOfDate(result.rich.date);
    readOtherTagLibFields(*file.file(), result);
    if (content == AudioContent::Ape)
        fillFromLeadingId3(result, stream);
    return result;
}

Status writeTagLibTags(const QString& path, const AudioTags& tags, const RichTags& rich)
{
    const auto notAudio = [] {
        return Status::error(
            QStringLiteral("not an MP3, WMA, OGG Vorbis, WAV, FLAC, Opus or M4A audio file"));
    };
    TagStream stream(path, OpenFor::Writing);
    if (!stream.isOpen())
        return Status::error(stream.openFailure());
    TagLib::FileRef file = openTagFile(stream, sniffOutputContent(stream), true);
    const auto* properties = file.isNull() ? nullptr : file.audioProperties();
    // An M4A above 65535 Hz keeps no rate in its 16-bit field: its channels show it is audio.
    if (file.isNull() || !file.file()->isValid() || !properties ||
        (properties->sampleRate() <= 0 && properties->channels() <= 0))
        return notAudio();

    bool saved = false;
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file.file())) {
        // ID3v2 only: an ID3v1 copy would hold mangled Latin-1 text and a second comment.
        // ID3v2.3 is the version most players read.
        applyId3(mpeg->ID3v2Tag(true), tags, rich);
        saved = mpeg->save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                           TagLib::File::DoNotDuplicate);
    } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file.file())) {
        // Readers differ in which chunk they look at, so both carry the seven; the ID3 chunk
        // also keeps what INFO cannot hold (the richer values, several values, the pictures).
        applyId3(wav->ID3v2Tag(), tags, rich);
        applyTags(wav->InfoTag(), tags);
        if (!rich.date.isEmpty() && yearOfDate(rich.date) == tags.year)
            wav->InfoTag()->setFieldText("ICRD", toTagString(rich.date));
        saved = wav->save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers,
                          TagLib::ID3v2::v3);
    } else if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file.file())) {
        applyTags(asf->tag(), tags);
        // ASF has no common field for the number of tracks.
        // Its title and author are one text each: several stay joined.
        RichTags asfRich = rich;
        asfRich.otherFields.remove(QStringLiteral("TITLE"));
        asfRich.otherFields.remove(QStringLiteral("ARTIST"));
        const TagLib::PropertyMap custom =
            applyRich(asf->tag(), tags, asfRich, Totals::None, Totals::InNumber);
        // Fields with no WM/ attribute keep their own name, one attribute for each value.
        for (const auto& [name, values] : custom) {
            asf->tag()->removeItem(name);
            for (const TagLib::String& value : values)
                asf->tag()->addAttribute(name, TagLib::ASF::Attribute(value));
        }
        removeEmptyAsfAttributes(asf->tag(), tags, rich);
        applyAsfPictures(asf->tag(), rich);
        saved = asf->save();
    } else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file.file())) {
        applyTags(vorbis->tag(), tags);
        applyRich(vorbis->tag(), tags, rich, Totals::Separate, Totals::Separate);
        applyXiphPictures(vorbis->tag(), rich);
        saved = vorbis->save();
    } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file.file())) {
        saved = saveFlacTags(flac, tags, rich);
    } else if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file.file())) {
        saved = saveOpusTags(opus, tags, rich);
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file.file()); mp4 && mp4->tag()) {
        saved = saveMp4Tags(mp4, tags, rich);
    } else {
        return notAudio();
    }
    // TagLib reports no failed or short write: a file cut short here would lose its end.
    if (Status written = stream.writeResult(); !written)
        return written;
    if (!saved)
        return Status::error(QStringLiteral("the file could not be rewritten"));
    return {};
}

} // namespace tunevale
