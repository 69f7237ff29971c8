#include "common/audio/audioinformation.h"

#include "common/audio/ffmpegptr.h"
#include "common/io/localinput.h"
#include "common/localfile.h"
#include "common/tags/probetags.h"
#include "common/tags/tagfile.h"

#include <QDir>

namespace tunevale {

namespace {

constexpr int kMaxGenre = 191;
constexpr int kMaxTrack = 32767;

FileTags readTags(const QString& path, AudioContent content, const AVFormatContext& context,
                  int audioStream)
{
    switch (content) {
    case AudioContent::Aac:
    case AudioContent::WebM:
    case AudioContent::Matroska:
    case AudioContent::Caf: // its info chunk
        return tagsFromProbe(context, audioStream);
    case AudioContent::Aiff:
    case AudioContent::Wav: {
        // FFmpeg also reads the chunks TagLib skips: AIFF's own text chunks (NAME, AUTH,
        // "(c) ", ANNO) and a WAV's broadcast extension (bext) description and date.
        FileTags read = readTagLibTags(path, content);
        fillGaps(read, tagsFromProbe(context, audioStream));
        return read;
    }
    default:
        return readTagLibTags(path, content);
    }
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
    m_rich = RichTags();
    m_otherFields.clear();
    m_content = AudioContent::Unknown;
    m_decodable = false;
    quietFfmpegLogging();

    InputFormatContextPtr context;
    int result = openLocalInput(path, context);
    // Demuxers answer a malformed header with EINVAL, which reads as the caller's fault.
    if (result == AVERROR(EINVAL))
        result = AVERROR_INVALIDDATA;
    if (result == AVERROR_EOF) {
        return Status::error(QStringLiteral("Cannot read %1: the file is cut short")
                                 .arg(QDir::toNativeSeparators(path)));
    }
    if (result < 0) {
        return Status::error(QStringLiteral("Cannot read %1: %2")
                                 .arg(QDir::toNativeSeparators(path), ffmpegErrorString(result)));
    }
    result = avformat_find_stream_info(context.get(), nullptr);
    if (result < 0) {
        return Status::error(QStringLiteral("Cannot read %1: %2")
                                 .arg(QDir::toNativeSeparators(path), ffmpegErrorString(result)));
    }
    const int streamIndex =
        av_find_best_stream(context.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (streamIndex < 0)
        return Status::error(
            QStringLiteral("%1 holds no audio").arg(QDir::toNativeSeparators(path)));
    const AVStream* stream = context->streams[streamIndex];
    const AVCodecParameters* parameters = stream->codecpar;
    const int channels = parameters->ch_layout.nb_channels;
    // A probe of junk can name an audio codec without finding one valid frame.
    if (parameters->sample_rate <= 0 || channels <= 0)
        return Status::error(
            QStringLiteral("%1 holds no readable audio").arg(QDir::toNativeSeparators(path)));

    const qint64 durationMs = durationOf(context.get(), stream);
    // Headers store "no nominal bitrate" as -1 or -2 in 32 bits, which arrives as 4294967294:
    // anything that large is unknown, and the file's own average is shown instead.
    const auto known = [](qint64 value) {
        return value > 0 && value < INT32_MAX ? value : 0;
    };
    qint64 bitRate = known(parameters->bit_rate);
    if (bitRate <= 0)
        bitRate = known(context->bit_rate);
    if (bitRate <= 0 && durationMs > 0)
        bitRate = LocalFileInfo::of(path).size * 8 * 1000 / durationMs;

    QStringList parts{codecName(parameters->codec_id),
                      QStringLiteral("%1 Hz").arg(parameters->sample_rate)};
    if (bitRate > 0)
        parts << QStringLiteral("%1 Kbps").arg(qRound64(double(bitRate) / 1000.0));
    parts << describeChannels(channels);
    m_description = parts.join(QStringLiteral("; "));
    m_durationMs = durationMs;
    m_decodable = avcodec_find_decoder(parameters->codec_id) != nullptr;
    m_content =
        contentOfProbe(context->iformat->name, avcodec_get_name(parameters->codec_id), path);
    FileTags read = readTags(path, m_content, *context, streamIndex);
    m_tags = std::move(read.tags);
    m_rich = std::move(read.rich);
    m_otherFields = std::move(read.otherFields);
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

Status AudioInformation::writeTags(const QString& path, const QString& shownPath) const
{
    const QString shown = QDir::toNativeSeparators(shownPath.isEmpty() ? path : shownPath);
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

    if (const Status status = writeTagLibTags(path, m_tags, m_rich); !status)
        return failure(status.message());
    return {};
}

} // namespace tunevale
