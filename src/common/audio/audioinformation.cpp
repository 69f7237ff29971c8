#include "common/audio/audioinformation.h"

#include "common/audio/ffmpegptr.h"
#include "common/audio/localinput.h"
#include "common/localfile.h"
#include "common/nativepath.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <array>
#include <cstring>
#include <limits>

namespace tunevale {

namespace {

constexpr int kMaxGenre = 191;
constexpr int kMaxTrack = 32767;

QString displayPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// TagLib takes wide names on Windows.
#ifdef Q_OS_WIN
using TagPath = QString;
TagPath tagPath(const QString& path)
{
    return path;
}
TagLib::FileName tagFileName(const TagPath& path)
{
    return reinterpret_cast<const wchar_t*>(path.utf16());
}
#else
using TagPath = QByteArray;
TagPath tagPath(const QString& path)
{
    return nativePath(path);
}
TagLib::FileName tagFileName(const TagPath& path)
{
    return path.constData();
}
#endif

QString fromTagString(const TagLib::String& text)
{
    return QString::fromUtf8(text.toCString(true)).trimmed();
}

TagLib::String toTagString(const QString& text)
{
    return TagLib::String(text.toUtf8().toStdString(), TagLib::String::UTF8);
}

// RIFF INFO text is read by most programs as Latin-1; TagLib's default is UTF-8.
class Latin1InfoStringHandler final : public TagLib::RIFF::Info::StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override
    {
        // Accept INFO chunks other programs wrote in UTF-8 as well.
        const QByteArrayView bytes(data.data(), qsizetype(data.size()));
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8.decode(bytes);
        const QString text = utf8.hasError() ? QString::fromLatin1(bytes) : decoded;
        return toTagString(text.section(QChar(u'\0'), 0, 0));
    }

    TagLib::ByteVector render(const TagLib::String& text) const override
    {
        TagLib::ByteVector bytes;
        for (const wchar_t character : text.toWString())
            bytes.append(character < 256 ? char(character) : '?');
        return bytes;
    }
};

void installInfoStringHandler()
{
    static const bool installed = [] {
        static const Latin1InfoStringHandler handler;
        TagLib::RIFF::Info::Tag::setStringHandler(&handler);
        return true;
    }();
    Q_UNUSED(installed);
}

// ID3v1 genre index of a genre text: a name, "17" or "(17)"; -1 when none or unknown.
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
    // Several genres joined by TagLib: the first known one counts.
    const QStringList parts = text.split(QStringLiteral(" / "), Qt::SkipEmptyParts);
    if (parts.size() > 1)
        return genreIndexOf(parts.first().trimmed());
    return -1;
}

enum class TagFormat { Unknown, Mpeg, Asf, OggVorbis, Wav };

// Picks the tag format from the first bytes, so a misnamed file is still handled correctly.
TagFormat sniffTagFormat(const QString& path)
{
    QFile file;
    if (!openForReading(file, path))
        return TagFormat::Unknown;
    const QByteArray head = file.read(16);
    static constexpr std::array<unsigned char, 16> kAsfHeaderGuid = {
        0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
        0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    if (head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE")
        return TagFormat::Wav;
    if (head.startsWith("OggS"))
        return TagFormat::OggVorbis;
    if (head.size() == 16 && std::memcmp(head.constData(), kAsfHeaderGuid.data(), 16) == 0)
        return TagFormat::Asf;
    if (head.startsWith("ID3"))
        return TagFormat::Mpeg;
    if (head.size() >= 2 && quint8(head[0]) == 0xFF && (quint8(head[1]) & 0xE0) == 0xE0)
        return TagFormat::Mpeg;
    return TagFormat::Unknown;
}

// A TagLib file for path; the FileRef owns it. Null when TagLib cannot handle the file.
TagLib::FileRef openTagFile(const TagPath& path, TagFormat format, bool readProperties)
{
    installInfoStringHandler();
    const TagLib::FileName name = tagFileName(path);
    switch (format) {
    case TagFormat::Mpeg:
        return TagLib::FileRef(new TagLib::MPEG::File(name, readProperties));
    case TagFormat::Asf:
        return TagLib::FileRef(new TagLib::ASF::File(name, readProperties));
    case TagFormat::OggVorbis:
        return TagLib::FileRef(new TagLib::Ogg::Vorbis::File(name, readProperties));
    case TagFormat::Wav:
        return TagLib::FileRef(new TagLib::RIFF::WAV::File(name, readProperties));
    case TagFormat::Unknown:
        break;
    }
    // Headers we do not know (an MP3 behind junk, say): let TagLib go by the extension.
    return TagLib::FileRef(name, readProperties);
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

AudioTags readTags(const QString& path)
{
    const TagPath name = tagPath(path);
    const TagLib::FileRef file = openTagFile(name, sniffTagFormat(path), false);
    if (file.isNull() || !file.file()->isValid())
        return {};
    // A WAV file's tag() is only its "ID3 " chunk; many programs write just RIFF INFO.
    if (const auto* wav = dynamic_cast<const TagLib::RIFF::WAV::File*>(file.file()))
        return mergeTags(tagsOf(wav->ID3v2Tag()), tagsOf(wav->InfoTag()));
    return file.tag() ? tagsOf(file.tag()) : AudioTags();
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

void applyAsfTags(TagLib::ASF::Tag* tag, const AudioTags& tags)
{
    applyTags(tag, tags);
    // ASF keeps these as attributes that TagLib would store as empty or zero values.
    if (tags.album.isEmpty())
        tag->removeItem("WM/AlbumTitle");
    if (tags.genre < 0)
        tag->removeItem("WM/Genre");
    if (tags.year == 0)
        tag->removeItem("WM/Year");
    if (tags.track == 0)
        tag->removeItem("WM/TrackNumber");
}

QString describeChannels(int channels)
{
    if (channels == 1)
        return QStringLiteral("Mono");
    if (channels == 2)
        return QStringLiteral("Stereo");
    return QStringLiteral("%1 channels").arg(channels);
}

QString codecName(AVCodecID codecId)
{
    QString name;
    if (const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codecId)) {
        name = QString::fromUtf8(descriptor->long_name ? descriptor->long_name : descriptor->name);
    }
    if (name.isEmpty())
        name = QString::fromUtf8(avcodec_get_name(codecId));
    // The file list splits its columns on commas and the description on semicolons.
    name.replace(QChar(u','), QChar(u' ')).replace(QChar(u';'), QChar(u' '));
    return name.simplified();
}

qint64 durationOf(const AVFormatContext* context, const AVStream* stream)
{
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
        return av_rescale(context->duration, 1000, AV_TIME_BASE);
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
    return 0;
}

} // namespace

Status AudioInformation::open(const QString& path)
{
    m_description.clear();
    m_durationMs = 0;
    m_tags = AudioTags();
    quietFfmpegLogging();

    InputFormatContextPtr context;
    int result = openLocalInput(path, context);
    // Demuxers answer a malformed header with EINVAL, which reads as the caller's fault.
    if (result == AVERROR(EINVAL))
        result = AVERROR_INVALIDDATA;
    if (result == AVERROR_EOF) {
        return Status::error(
            QStringLiteral("Cannot read %1: the file is cut short").arg(displayPath(path)));
    }
    if (result < 0) {
        return Status::error(
            QStringLiteral("Cannot read %1: %2").arg(displayPath(path), ffmpegErrorString(result)));
    }
    result = avformat_find_stream_info(context.get(), nullptr);
    if (result < 0) {
        return Status::error(
            QStringLiteral("Cannot read %1: %2").arg(displayPath(path), ffmpegErrorString(result)));
    }
    const int streamIndex =
        av_find_best_stream(context.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (streamIndex < 0)
        return Status::error(QStringLiteral("%1 holds no audio").arg(displayPath(path)));
    const AVStream* stream = context->streams[streamIndex];
    const AVCodecParameters* parameters = stream->codecpar;
    const int channels = parameters->ch_layout.nb_channels;
    // A probe of junk can name an audio codec without finding one valid frame.
    if (parameters->sample_rate <= 0 || channels <= 0)
        return Status::error(QStringLiteral("%1 holds no readable audio").arg(displayPath(path)));

    const qint64 durationMs = durationOf(context.get(), stream);
    qint64 bitRate = parameters->bit_rate;
    if (bitRate <= 0)
        bitRate = context->bit_rate;
    if (bitRate <= 0 && durationMs > 0)
        bitRate = LocalFileInfo::of(path).size * 8 * 1000 / durationMs;

    QStringList parts{codecName(parameters->codec_id),
                      QStringLiteral("%1 Hz").arg(parameters->sample_rate)};
    if (bitRate > 0)
        parts << QStringLiteral("%1 Kbps").arg(qRound64(double(bitRate) / 1000.0));
    parts << describeChannels(channels);
    m_description = parts.join(QStringLiteral("; "));
    m_durationMs = durationMs;
    m_tags = readTags(path);
    return {};
}

Status AudioInformation::setGenre(int genre)
{
    if (genre < -1 || genre > kMaxGenre) {
        return Status::error(
            QStringLiteral("Genre %1 is out of range (-1 to %2)").arg(genre).arg(kMaxGenre));
    }
    m_tags.genre = genre;
    return {};
}

Status AudioInformation::setYear(int year)
{
    if (year < 0)
        return Status::error(QStringLiteral("Year %1 is out of range (0 or more)").arg(year));
    m_tags.year = year;
    return {};
}

Status AudioInformation::setTrack(int track)
{
    if (track < 0 || track > kMaxTrack) {
        return Status::error(
            QStringLiteral("Track %1 is out of range (0 to %2)").arg(track).arg(kMaxTrack));
    }
    m_tags.track = track;
    return {};
}

Status AudioInformation::writeTags(const QString& path) const
{
    const QString shown = displayPath(path);
    const auto failure = [&shown](const QString& reason) {
        return Status::error(QStringLiteral("Cannot write tags to %1: %2").arg(shown, reason));
    };
    // setTags() takes values unchecked.
    if (m_tags.genre < -1 || m_tags.genre > kMaxGenre)
        return failure(QStringLiteral("genre %1 is out of range").arg(m_tags.genre));
    if (m_tags.year < 0)
        return failure(QStringLiteral("year %1 is out of range").arg(m_tags.year));
    if (m_tags.track < 0 || m_tags.track > kMaxTrack)
        return failure(QStringLiteral("track %1 is out of range").arg(m_tags.track));

    const LocalFileInfo info = LocalFileInfo::of(path);
    if (!info.exists)
        return failure(QStringLiteral("No such file or directory"));
    if (!info.isFile)
        return failure(QStringLiteral("Not a file"));
    if (!isAccessible(path, true))
        return failure(QStringLiteral("Permission denied"));

    const TagPath name = tagPath(path);
    TagLib::FileRef file = openTagFile(name, sniffTagFormat(path), true);
    const auto* properties = file.isNull() ? nullptr : file.audioProperties();
    if (file.isNull() || !file.file()->isValid() || !properties || properties->sampleRate() <= 0)
        return failure(QStringLiteral("not an MP3, WMA, OGG Vorbis or WAV audio file"));
    if (file.file()->readOnly())
        return failure(QStringLiteral("Permission denied"));

    bool saved = false;
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file.file())) {
        // ID3v2 only: an ID3v1 copy would hold mangled Latin-1 text and a second comment.
        // ID3v2.3 is the version most players read.
        applyTags(mpeg->ID3v2Tag(true), m_tags);
        saved = mpeg->save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                           TagLib::File::DoNotDuplicate);
    } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file.file())) {
        // Readers differ in which chunk they look at, so both carry the same values.
        applyTags(wav->ID3v2Tag(), m_tags);
        applyTags(wav->InfoTag(), m_tags);
        saved = wav->save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers,
                          TagLib::ID3v2::v3);
    } else if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file.file())) {
        applyAsfTags(asf->tag(), m_tags);
        saved = asf->save();
    } else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file.file())) {
        applyTags(vorbis->tag(), m_tags);
        saved = vorbis->save();
    } else {
        return failure(QStringLiteral("not an MP3, WMA, OGG Vorbis or WAV audio file"));
    }
    if (!saved)
        return failure(QStringLiteral("the file could not be rewritten"));
    return {};
}

} // namespace tunevale
