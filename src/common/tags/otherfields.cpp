#include "common/tags/otherfields.h"

#include "common/audio/ffmpegptr.h"
#include "common/tags/id3v2tagfile.h"

#include <QRegularExpression>

#include <map>
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
        QStringLiteral("TITLE"),          QStringLiteral("ARTIST"),
        QStringLiteral("AUTHOR"),         QStringLiteral("ALBUM"),
        QStringLiteral("COMMENT"),        QStringLiteral("DESCRIPTION"),
        QStringLiteral("GENRE"),          QStringLiteral("DATE"),
        QStringLiteral("YEAR"),           QStringLiteral("DATE_RELEASED"),
        QStringLiteral("TRACKNUMBER"),    QStringLiteral("TRACK"),
        QStringLiteral("PART_NUMBER"),    QStringLiteral("TRACKTOTAL"),
        QStringLiteral("TOTALTRACKS"),    QStringLiteral("DISCNUMBER"),
        QStringLiteral("DISC"),           QStringLiteral("DISCTOTAL"),
        QStringLiteral("TOTALDISCS"),     QStringLiteral("ALBUMARTIST"),
        QStringLiteral("ALBUM ARTIST"),   QStringLiteral("ALBUM_ARTIST"),
        QStringLiteral("COMPOSER"),       QStringLiteral("LYRICS"),
        QStringLiteral("UNSYNCEDLYRICS"), QStringLiteral("TRACK NUMBER"),
        QStringLiteral("COMMENTS"),       QStringLiteral("RECORDED DATE")};
    return kCarried.contains(name);
}

// Fields that describe how the source was encoded or muxed. Every conversion writes its own,
// so losing the source's is no loss: encoder name, settings and time, length, the gapless
// and volume data of one encoder, the media class, private application data.
bool isRewritten(const QString& name)
{
    static const std::set<QString> kRewritten{QStringLiteral("ENCODER"),
                                              QStringLiteral("ENCODING"),
                                              QStringLiteral("ENCODING APPLICATION"),
                                              QStringLiteral("SOURCE ENCODER"),
                                              QStringLiteral("NOMINAL BIT RATE"),
                                              QStringLiteral("CHANNEL LAYOUT"),
                                              QStringLiteral("APPROXIMATE DURATION IN SECONDS"),
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

// "Encoded by" is most often a person or a ripping group, which the output can hold; some
// encoders put their own name there, which would now be false.
bool isEncoderStamp(const QString& text)
{
    static const QRegularExpression encoderName(
        QStringLiteral("^\\s*(lame|lavf|lavc|libav|itunes|xiph\\.org|libvorbis|reference libflac|"
                       "libflac|flac \\d|libopus|opusenc|fdkaac|qaac|nero aac)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return encoderName.match(text).hasMatch();
}

// Where pictures are listed among the names TagLib cannot map; they are counted apart.
bool isPicture(const QString& name)
{
    return name == u"APIC" || name == u"COVR" || name == u"WM/PICTURE" ||
           name.startsWith(u"COVER ART");
}

class OtherFields {
public:
    explicit OtherFields(FileTags& read)
        : m_read(read)
    {}

    // Property names with their values, and the names TagLib could not map (ID3v2 frame IDs,
    // ASF attributes, MP4 atoms); textOf gives the texts of such a name when it holds texts.
    template <typename TextOf> void addMap(const TagLib::PropertyMap& map, TextOf textOf)
    {
        for (const auto& [key, values] : map) {
            const QString name = fromTagString(key);
            if (!isCarriedVariant(name, values))
                addTexts(name, textsOf(values));
        }
        for (const TagLib::String& entry : map.unsupportedData()) {
            QString name = fromTagString(entry);
            const QStringList texts = textOf(entry);
            // MP4's free-form atoms read "----:com.apple.iTunes:NAME".
            if (name.startsWith(u"----:"))
                name = name.section(u':', -1);
            if (texts.isEmpty() && !isFoldedIntoDate(name))
                addName(name);
            else
                addTexts(name, texts);
        }
    }

    void addTexts(const QString& name, const QStringList& texts)
    {
        if (isLeftOut(name) || texts.isEmpty())
            return;
        const bool encodedBy = name.compare(u"ENCODEDBY", Qt::CaseInsensitive) == 0;
        if (encodedBy && m_encodedByIsTool)
            return;
        QStringList kept;
        for (const QString& text : texts) {
            if (!kept.contains(text) && !(encodedBy && isEncoderStamp(text)))
                kept.append(text);
        }
        if (kept.isEmpty())
            return;
        QStringList& values = m_read.rich.otherFields[name];
        for (const QString& text : std::as_const(kept)) {
            if (!values.contains(text))
                values.append(text);
        }
    }

    // MP4's encoding tool (\u00a9too) reads as "encoded by": always the encoder's own name.
    void leaveOutEncodedBy() { m_encodedByIsTool = true; }

    void addName(const QString& name)
    {
        if (isLeftOut(name) || m_read.otherFields.contains(name))
            return;
        m_read.otherFields.append(name);
    }

private:
    static QStringList textsOf(const TagLib::StringList& values)
    {
        QStringList texts;
        for (const TagLib::String& value : values)
            texts.append(fromTagString(value));
        return texts;
    }

    static bool isLeftOut(const QString& name)
    {
        const QString key = name.toUpper();
        return name.isEmpty() || isCarried(key) || isRewritten(key) || isPicture(key);
    }

    // ID3v2.3 keeps a date's day and month in TDAT and its time in TIME; the tag library
    // reads them into the date, yet lists the frames as ones it does not know.
    bool isFoldedIntoDate(const QString& name) const
    {
        return (name == u"UNKNOWN/TDAT" || name == u"UNKNOWN/TIME") && m_read.rich.date.size() > 4;
    }

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

    FileTags& m_read;
    bool m_encodedByIsTool = false;
};

// The texts of an ASF attribute or an MP4 free-form atom TagLib has no property name for;
// nothing for binary data.
QStringList unmappedTexts(TagLib::File& file, const TagLib::String& name)
{
    QStringList texts;
    if (auto* asf = dynamic_cast<TagLib::ASF::File*>(&file)) {
        const auto& attributes = asf->tag()->attributeListMap();
        const auto found = attributes.find(name);
        if (found == attributes.end())
            return {};
        for (const TagLib::ASF::Attribute& attribute : found->second) {
            if (attribute.type() != TagLib::ASF::Attribute::UnicodeType)
                return {};
            texts.append(fromTagString(attribute.toString()));
        }
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&file)) {
        if (!name.startsWith("----:") || !mp4->tag() || !mp4->tag()->contains(name))
            return {};
        const TagLib::MP4::Item item = mp4->tag()->item(name);
        if (item.atomDataType() != TagLib::MP4::TypeUTF8)
            return {};
        for (const TagLib::String& value : item.toStringList())
            texts.append(fromTagString(value));
    }
    return texts;
}

void addDictionary(OtherFields& fields, const AVDictionary* metadata)
{
    // Properties of the container and the stream rather than of the recording.
    static const std::set<QString> kContainer{
        QStringLiteral("LANGUAGE"),      QStringLiteral("HANDLER_NAME"),
        QStringLiteral("VENDOR_ID"),     QStringLiteral("MAJOR_BRAND"),
        QStringLiteral("MINOR_VERSION"), QStringLiteral("COMPATIBLE_BRANDS"),
        QStringLiteral("CREATION_TIME"), QStringLiteral("TIME_REFERENCE"),
        QStringLiteral("UMID")};
    // Keys other containers spell their own way (CAF's info chunk, FFmpeg's "encoded_by"),
    // under the names the tag writers map onto each format's own field.
    static const std::map<QString, QString> kCommonNames{
        {QStringLiteral("TEMPO"), QStringLiteral("BPM")},
        {QStringLiteral("KEY SIGNATURE"), QStringLiteral("INITIALKEY")},
        {QStringLiteral("ENCODED_BY"), QStringLiteral("ENCODEDBY")}};
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        // FFmpeg's keys are lower case where TagLib's property names are capitals.
        QString name = QString::fromUtf8(entry->key).toUpper();
        if (const auto common = kCommonNames.find(name); common != kCommonNames.end())
            name = common->second;
        if (!kContainer.contains(name))
            fields.addTexts(name, {QString::fromUtf8(entry->value)});
    }
}

} // namespace

void readOtherTagLibFields(TagLib::File& file, FileTags& read)
{
    OtherFields fields(read);
    if (dynamic_cast<TagLib::MP4::File*>(&file))
        fields.leaveOutEncodedBy();
    const auto textOf = [&file](const TagLib::String& name) {
        return unmappedTexts(file, name);
    };
    // A WAV keeps two tags; properties() would give just one of them.
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file)) {
        fields.addMap(wav->ID3v2Tag()->properties(), textOf);
        fields.addMap(wav->InfoTag()->properties(), textOf);
    } else {
        fields.addMap(propertiesOf(file), textOf);
    }
}

void readOtherProbeFields(const AVDictionary* fileMetadata, const AVDictionary* streamMetadata,
                          FileTags& read)
{
    OtherFields fields(read);
    addDictionary(fields, fileMetadata);
    addDictionary(fields, streamMetadata);
}

} // namespace tunevale
