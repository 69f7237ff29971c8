#include "common/codecs/m4aencoder.h"

#include "common/audio/ffmpegptr.h"
#include "common/codecs/ffmpegmuxer.h"
#include "common/io/outputfile.h"
#include "common/tags/fdtagstream.h"

#include <QDir>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
}

#include <taglib/mp4file.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace tunevale {

namespace {

constexpr int kMinBitrate = 16;
constexpr int kMaxBitrate = 512;
// The rates an AAC stream can state by index, lowest first.
constexpr std::array kAacRates{7350,  8000,  11025, 12000, 16000, 22050, 24000,
                               32000, 44100, 48000, 64000, 88200, 96000};

} // namespace

Status M4aSettings::validate() const
{
    if (bitrate < kMinBitrate || bitrate > kMaxBitrate)
        return Status::error(QStringLiteral("AAC cannot encode at %1 kbit/s: use %2 to %3 kbit/s")
                                 .arg(bitrate)
                                 .arg(kMinBitrate)
                                 .arg(kMaxBitrate));
    if (sampleRate != 0 &&
        std::find(kAacRates.begin(), kAacRates.end(), sampleRate) == kAacRates.end())
        return Status::error(
            QStringLiteral("AAC cannot store %1 Hz: use 8000, 11025, 12000, 16000, 22050, "
                           "24000, 32000, 44100, 48000, 64000, 88200 or 96000 Hz")
                .arg(sampleRate));
    if (channels < 0 || channels > 2)
        return Status::error(
            QStringLiteral("M4A output has 1 or 2 channels, not %1").arg(channels));
    return {};
}

QString M4aSettings::describe() const
{
    QString text = QStringLiteral("M4A AAC %1 kbit/s; ").arg(bitrate);
    text +=
        sampleRate > 0 ? QStringLiteral("%1 Hz").arg(sampleRate) : QStringLiteral("source rate");
    text += QStringLiteral("; ");
    text += channels == 0   ? QStringLiteral("source channels")
            : channels == 1 ? QStringLiteral("Mono")
                            : QStringLiteral("Stereo");
    return text;
}

M4aSettings M4aSettings::resolvedFor(const SourceFormat& source) const
{
    M4aSettings resolved = *this;
    if (resolved.sampleRate == 0) {
        const auto above =
            std::lower_bound(kAacRates.begin(), kAacRates.end(), source.pcm.sampleRate);
        resolved.sampleRate = above == kAacRates.end() ? kAacRates.back() : *above;
    }
    if (resolved.channels == 0)
        resolved.channels = std::clamp(source.pcm.channels, 1, 2);
    return resolved;
}

QString M4aEncoder::gaplessInfo(int priming, int padding, qint64 samples)
{
    const auto hex = [](qint64 value, int digits) {
        return QStringLiteral(" %1").arg(value, digits, 16, QChar(u'0')).toUpper();
    };
    QString text = hex(0, 8) + hex(priming, 8) + hex(padding, 8) + hex(samples, 16);
    for (int field = 0; field < 8; ++field)
        text += hex(0, 8);
    return text;
}

struct M4aEncoder::Muxer : FfmpegMuxer {
    Muxer()
        : FfmpegMuxer("AAC")
    {}

    UniqueFd tagFile; // the same file, for the gapless tag once the muxer is done

    // Writes the iTunSMPB tag into the finished file.
    Status writeGaplessTag()
    {
        const int priming = codec->initial_padding;
        const qint64 padding = packets * frameSize - priming - nextPts;
        FdTagStream stream(tagFile.get(), path);
        TagLib::MP4::File mp4(&stream, false);
        if (!mp4.isValid() || !mp4.tag())
            return Status::error(QStringLiteral("Cannot write %1: the M4A file cannot be read back")
                                     .arg(QDir::toNativeSeparators(path)));
        const QByteArray info =
            gaplessInfo(priming, int(std::max<qint64>(padding, 0)), nextPts).toLatin1();
        mp4.tag()->setItem("----:com.apple.iTunes:iTunSMPB",
                           TagLib::StringList(TagLib::String(info.constData())));
        const bool saved = mp4.save();
        if (stream.failed())
            return Status::error(
                QStringLiteral("Cannot write %1: %2")
                    .arg(QDir::toNativeSeparators(path), systemErrorText(stream.error())));
        if (!saved)
            return Status::error(
                QStringLiteral("Cannot write %1: its gapless tag could not be stored")
                    .arg(QDir::toNativeSeparators(path)));
        return {};
    }
};

M4aEncoder::M4aEncoder(const M4aSettings& settings, const SourceFormat& source)
    : m_settings(settings.resolvedFor(source))
{}

M4aEncoder::~M4aEncoder() = default;

PcmFormat M4aEncoder::inputFormat() const
{
    return {m_settings.sampleRate, m_settings.channels};
}

Status M4aEncoder::open(UniqueFd file, const QString& path)
{
    quietFfmpegLogging();
    m_muxer.reset();
    if (Status status = m_settings.validate(); !status)
        return status;
    auto muxer = std::make_unique<Muxer>();
    muxer->path = path;
    muxer->tagFile = file.duplicate();
    const int duplicateError = errno;
    if (Status status = muxer->file.open(std::move(file), path); !status)
        return status;
    if (!muxer->tagFile.isValid())
        return Status::error(
            QStringLiteral("Cannot create %1: %2")
                .arg(QDir::toNativeSeparators(path), systemErrorText(duplicateError)));

    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (!codec)
        return Status::error(QStringLiteral("Cannot create %1: this FFmpeg has no AAC encoder")
                                 .arg(QDir::toNativeSeparators(path)));
    if (Status status = muxer->allocate(codec, "ipod"); !status)
        return status;
    AVCodecContext* context = muxer->codec.get();
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = m_settings.sampleRate;
    context->bit_rate = qint64(m_settings.bitrate) * 1000;
    context->time_base = AVRational{1, m_settings.sampleRate};
    av_channel_layout_default(&context->ch_layout, m_settings.channels);
    const int result = avcodec_open2(context, codec, nullptr);
    if (result < 0)
        return Status::error(QStringLiteral("Cannot create %1: the AAC encoder refuses %2: %3")
                                 .arg(QDir::toNativeSeparators(path), m_settings.describe(),
                                      ffmpegErrorString(result)));
    if (Status status = muxer->prepareFrames(1024); !status)
        return status;

    // The edit list states the length in the movie's time scale: at the sample rate it is exact.
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "movie_timescale", m_settings.sampleRate, 0);
    Status started = muxer->startMuxing(&options);
    av_dict_free(&options);
    if (!started)
        return started;

    m_muxer = std::move(muxer);
    return {};
}

Status M4aEncoder::encode(std::span<const qint16> samples)
{
    if (!m_muxer)
        return Status::error(QStringLiteral("Cannot encode AAC audio: the output is not open"));
    if (Status status = checkWholeFrames("AAC", m_muxer->path, samples.size(), m_settings.channels);
        !status)
        return status;
    return m_muxer->encode(samples);
}

Status M4aEncoder::finish()
{
    if (!m_muxer)
        return Status::error(QStringLiteral("Cannot finish M4A output: the output is not open"));
    // Whatever happens next, the file is closed and this encoder done with it.
    const std::unique_ptr<Muxer> muxer = std::move(m_muxer);
    if (Status status = muxer->finishStream(); !status)
        return muxer->file.close(status);
    if (Status status = muxer->file.close({}); !status)
        return status;
    return muxer->writeGaplessTag();
}

} // namespace tunevale
