#include "common/tags/otherfields.h"

#include "common/audio/ffmpegptr.h"

#include <set>

#include <taglib/aifffile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace tunevale {

namespace {

// Ordered sets, not QSet: Qt 6.4's string hashing leaves the AVX registers' upper halves dirty
// in the converting thread, which slows the encoder set-up that follows.

// Every spelling, in capitals, that the tag readers take one of the carried values from:
// property names, ASF attribute names TagLib leaves untranslated, FFmpeg's metadata keys.
bool isCarried(const QString& name)
{
    static const std::set<QString> kCarried{
        QStringLiteral("TITLE"),         QStringLiteral("ARTIST"),
        QStringLiteral("AUTHOR"),        QStringLiteral("ALBUM"),
        QStringLiteral("COMMENT"),       QStringLiteral("DESCRIPTION"),
        QStringLiteral("GENRE"),         QStringLiteral("DATE"),
        QStringLiteral("YEAR"),          QStringLiteral("DATE_RELEASED"),
        QStringLiteral("TRACKNUMBER"),   QStringLiteral("TRACK"),
        QStringLiteral("PART_NUMBER"),   QStringLiteral("TRACKTOTAL"),
        QStringLiteral("TOTALTRACKS"),   QStringLiteral("DISCNUMBER"),
        QStringLiteral("DISC"),          QStringLiteral("DISCTOTAL"),
        QStringLiteral("TOTALDISCS"),    QStringLiteral("ALBUMARTIST"),
        QStringLiteral("ALBUM ARTIST"),  QStringLiteral("ALBUM_ARTIST"),
        QStringLiteral("COMPOSER"),      QStringLiteral("LYRICS"),
        QStringLiteral("UNSYNCEDLYRICS")};
    return kCarried.contains(name);
}

// Fields that describe how the source was encoded or muxed. Every conversion writes its own,
// so losing the source's is no loss: encoder name, settings and time, length, the gapless
// and volume data of one encoder, the media class, private application data.
bool isRewritten(const QString& name)
{
    static const std::set<QString> kRewritten{QStringLiteral("ENCODER"),
                                              QStringLiteral("ENCODING"),
                                              QStringLiteral("ENCODEDBY"),
                                              QStringLiteral("ENCODER_OPTIONS"),
                                              QStringLiteral("ENCODERSETTINGS"),
                                              QStringLiteral("ENCODINGTIME"),
                                              QStringLiteral("LENGTH"),
                                              QStringLiteral("DURATION"),
                                              QStringLiteral("ITUNSMPB"),
                                              QStringLiteral("ITUNNORM"),
                                              QStringLiteral("ITUNPGAP"),
                                              QStringLiteral("PGAP"),
                                              QStringLiteral("PRIV"),
                                              QStringLiteral("WM/ENCODINGSETTINGS"),
                                              QStringLiteral("WM/TOOLNAME"),
                                              QStringLiteral("WM/TOOLVERSION"),
                                              QStringLiteral("WM/MEDIAPRIMARYCLASSID"),
                                              QStringLiteral("WMFSDKVERSION"),
                                              QStringLiteral("WMFSDKNEEDED"),
                                              QStringLiteral("ISVBR"),
                                              QStringLiteral("DEVICECONFORMANCETEMPLATE")};
    return kRewritten.contains(name);
}

// Where pictures are listed among the names TagLib cannot map; they are counted apart.
bool isPicture(const QString& name)
{
    return name == u"APIC" || name == u"COVR" || name == u"WM/PICTURE" ||
           name.startsWith(u"COVER ART");
}

class OtherFields {
public:
    explicit OtherFields(const FileTags& read)
        : m_read(read)
    {}

    // Property names and the names TagLib could not map (ID3v2 frame IDs, ASF attributes,
    // MP4 atoms).
    void addMap(const TagLib::PropertyMap& map)
    {
        for (const auto& [key, values] : map) {
            const QString name = fromTagString(key);
            if (!isCarriedVariant(name, values))
                add(name);
        }
        for (const TagLib::String& entry : map.unsupportedData()) {
            QString name = fromTagString(entry);
            // MP4's free-form atoms read "----:com.apple.iTunes:NAME".
            if (name.startsWith(u"----:"))
                name = name.section(u':', -1);
            add(name);
        }
    }

    void add(const QString& name)
    {
        const QString key = name.toUpper();
        if (name.isEmpty() || isCarried(key) || isRewritten(key) || isPicture(key) ||
            m_names.contains(name))
            return;
        m_names.append(name);
    }

    QStringList take(int pictures)
    {
        // The output keeps one picture: the front cover.
        if (pictures > 1)
            m_names.append(QStringLiteral("other pictures"));
        return std::move(m_names);
    }

private:
    // A described comment or lyrics ("COMMENT:Other") is carried when it is the one read;
    // one encoder's data kept as a comment ("COMMENT:iTunNORM") is rewritten.
    bool isCarriedVariant(const QString& name, const TagLib::StringList& values) const
    {
        const qsizetype colon = name.indexOf(u':');
        if (colon < 0)
            return false;
        const QString kind = name.left(colon).toUpper();
        if (kind != u"COMMENT" && kind != u"LYRICS")
            return false;
        if (isRewritten(name.mid(colon + 1).toUpper()))
            return true;
        const QString& carried = kind == u"COMMENT" ? m_read.tags.comment : m_read.rich.lyrics;
        for (const TagLib::String& value : values) {
            if (!carried.isEmpty() && fromTagString(value) == carried)
                return true;
        }
        return false;
    }

    const FileTags& m_read;
    QStringList m_names;
};

int id3Pictures(const TagLib::ID3v2::Tag* tag)
{
    return tag ? int(tag->frameList("APIC").size()) : 0;
}

int apePictures(const TagLib::APE::Tag* tag)
{
    if (!tag)
        return 0;
    int count = 0;
    for (const auto& [key, item] : tag->itemListMap()) {
        if (key.upper().startsWith("COVER ART"))
            ++count;
    }
    return count;
}

int pictureCount(TagLib::File& file)
{
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file))
        return id3Pictures(mpeg->ID3v2Tag()) + apePictures(mpeg->APETag());
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file))
        return id3Pictures(wav->ID3v2Tag());
    if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(&file))
        return id3Pictures(aiff->tag());
    if (auto* asf = dynamic_cast<TagLib::ASF::File*>(&file)) {
        const auto& attributes = asf->tag()->attributeListMap();
        const auto found = attributes.find("WM/Picture");
        return found == attributes.end() ? 0 : int(found->second.size());
    }
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&file)) {
        return int(flac->pictureList().size()) +
               (flac->xiphComment() ? int(flac->xiphComment()->pictureList().size()) : 0);
    }
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&file)) {
        return mp4->tag() && mp4->tag()->contains("covr")
                   ? int(mp4->tag()->item("covr").toCoverArtList().size())
                   : 0;
    }
    if (auto* xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(file.tag()))
        return int(xiph->pictureList().size());
    return 0;
}

void addDictionary(OtherFields& fields, const AVDictionary* metadata)
{
    // Properties of the container and the stream rather than of the recording.
    static const std::set<QString> kContainer{
        QStringLiteral("LANGUAGE"),      QStringLiteral("HANDLER_NAME"),
        QStringLiteral("VENDOR_ID"),     QStringLiteral("MAJOR_BRAND"),
        QStringLiteral("MINOR_VERSION"), QStringLiteral("COMPATIBLE_BRANDS"),
        QStringLiteral("CREATION_TIME")};
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        const QString name = QString::fromUtf8(entry->key);
        if (!kContainer.contains(name.toUpper()))
            fields.add(name);
    }
}

} // namespace

QStringList otherTagLibFields(TagLib::File& file, const FileTags& read)
{
    OtherFields fields(read);
    // A WAV keeps two tags; properties() would give just one of them.
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file)) {
        fields.addMap(wav->ID3v2Tag()->properties());
        fields.addMap(wav->InfoTag()->properties());
    } else {
        fields.addMap(file.properties());
    }
    return fields.take(pictureCount(file));
}

QStringList otherProbeFields(const AVDictionary* fileMetadata, const AVDictionary* streamMetadata)
{
    const FileTags none;
    OtherFields fields(none);
    addDictionary(fields, fileMetadata);
    addDictionary(fields, streamMetadata);
    return fields.take(0);
}

} // namespace tunevale
