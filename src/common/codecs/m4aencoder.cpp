#include "common/codecs/m4aencoder.h"

#include "common/audio/ffmpegptr.h"
#include "common/codecs/ffmpegmuxer.h"
#include "common/io/outputfile.h"
#include "common/io/outputio.h"
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
#include <vector>

namespace tunevale {

namespace {

constexpr int kMinBitrate = 16;
constexpr int kMaxBitrate = 512;
// The rates an AAC stream can state by index, lowest first.
constexpr std::array kAacRates{7350,  8000,  11025, 12000, 16000, 22050, 24000,
                               32000, 44100, 48000, 64000, 88200, 96000};
// Samples per channel converted in one go; bounds the scratch buffers and the FIFO.
constexpr int kChunkFrames = 4096;

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

    // Encodes the next frameCount samples per channel of the FIFO as one frame.
    Status sendFrame(int frameCount)
    {
        int result = av_frame_make_writable(frame.get());
        if (result < 0)
            return fail(QStringLiteral("Cannot encode AAC audio for"), result);
        frame->nb_samples = frameCount;
        if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->data), frameCount) !=
            frameCount)
            return Status::error(
                QStringLiteral("Cannot encode AAC audio for %1: sample buffer underrun")
                    .arg(QDir::toNativeSeparators(path)));
        frame->pts = nextPts;
        nextPts += frameCount;
        result = avcodec_send_frame(codec.get(), frame.get());
        if (result < 0)
            return fail(QStringLiteral("Cannot encode AAC audio for"), result);
        return drainPackets();
    }

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
    AVFormatContext* format = nullptr;
    int result = avformat_alloc_output_context2(&format, nullptr, "ipod", nullptr);
    if (result < 0 || !format)
        return muxer->fail(QStringLiteral("Cannot create"), result < 0 ? result : AVERROR(ENOMEM));
    muxer->format.reset(format);

    muxer->stream = avformat_new_stream(format, nullptr);
    muxer->codec.reset(avcodec_alloc_context3(codec));
    muxer->frame.reset(av_frame_alloc());
    muxer->packet.reset(av_packet_alloc());
    if (!muxer->stream || !muxer->codec || !muxer->frame || !muxer->packet)
        return muxer->fail(QStringLiteral("Cannot create"), AVERROR(ENOMEM));

    AVCodecContext* context = muxer->codec.get();
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = m_settings.sampleRate;
    context->bit_rate = qint64(m_settings.bitrate) * 1000;
    context->time_base = AVRational{1, m_settings.sampleRate};
    av_channel_layout_default(&context->ch_layout, m_settings.channels);
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    result = avcodec_open2(context, codec, nullptr);
    if (result < 0)
        return Status::error(QStringLiteral("Cannot create %1: the AAC encoder refuses %2: %3")
                                 .arg(QDir::toNativeSeparators(path), m_settings.describe(),
                                      ffmpegErrorString(result)));
    muxer->stream->time_base = context->time_base;
    result = avcodec_parameters_from_context(muxer->stream->codecpar, context);
    if (result < 0)
        return muxer->fail(QStringLiteral("Cannot create"), result);

    muxer->frameSize = context->frame_size > 0 ? context->frame_size : 1024;
    muxer->frame->format = AV_SAMPLE_FMT_FLTP;
    muxer->frame->sample_rate = context->sample_rate;
    muxer->frame->nb_samples = muxer->frameSize;
    result = av_channel_layout_copy(&muxer->frame->ch_layout, &context->ch_layout);
    if (result >= 0)
        result = av_frame_get_buffer(muxer->frame.get(), 0);
    if (result < 0)
        return muxer->fail(QStringLiteral("Cannot create"), result);
    muxer->fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, m_settings.channels,
                                          kChunkFrames + muxer->frameSize));
    if (!muxer->fifo)
        return muxer->fail(QStringLiteral("Cannot create"), AVERROR(ENOMEM));
    for (int channel = 0; channel < m_settings.channels; ++channel) {
        muxer->planes[channel].resize(kChunkFrames);
        muxer->planePointers[channel] = muxer->planes[channel].data();
    }

    muxer->io = makeOutputIo(muxer->file);
    if (!muxer->io)
        return muxer->fail(QStringLiteral("Cannot create"), AVERROR(ENOMEM));
    format->pb = muxer->io.get();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;

    // The edit list states the length in the movie's time scale: at the sample rate it is exact.
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "movie_timescale", m_settings.sampleRate, 0);
    result = avformat_write_header(format, &options);
    av_dict_free(&options);
    if (result < 0)
        return muxer->writeFailure(result);
    if (format->pb->error < 0)
        return muxer->writeFailure(format->pb->error);

    m_muxer = std::move(muxer);
    return {};
}

Status M4aEncoder::encode(std::span<const qint16> samples)
{
    if (!m_muxer)
        return Status::error(QStringLiteral("Cannot encode AAC audio: the output is not open"));
    const int channels = m_settings.channels;
    if (Status status = checkWholeFrames("AAC", m_muxer->path, samples.size(), int(channels));
        !status)
        return status;
    Muxer& muxer = *m_muxer;
    constexpr float kScale = 1.0f / 32768.0f;
    const qint16* input = samples.data();
    qsizetype framesLeft = qsizetype(samples.size()) / channels;
    while (framesLeft > 0) {
        const int chunk = int(std::min<qsizetype>(framesLeft, kChunkFrames));
        for (int channel = 0; channel < channels; ++channel) {
            float* plane = muxer.planes[channel].data();
            for (int i = 0; i < chunk; ++i)
                plane[i] = float(input[i * channels + channel]) * kScale;
        }
        input += qsizetype(chunk) * channels;
        framesLeft -= chunk;
        if (av_audio_fifo_write(muxer.fifo.get(), muxer.planePointers.data(), chunk) != chunk)
            return muxer.fail(QStringLiteral("Cannot encode AAC audio for"), AVERROR(ENOMEM));
        while (av_audio_fifo_size(muxer.fifo.get()) >= muxer.frameSize) {
            if (Status status = muxer.sendFrame(muxer.frameSize); !status)
                return status;
        }
    }
    return {};
}

Status M4aEncoder::finish()
{
    if (!m_muxer)
        return Status::error(QStringLiteral("Cannot finish M4A output: the output is not open"));
    // Whatever happens next, the file is closed and this encoder done with it.
    const std::unique_ptr<Muxer> muxer = std::move(m_muxer);
    while (const int rest = av_audio_fifo_size(muxer->fifo.get())) {
        if (Status status = muxer->sendFrame(std::min(rest, muxer->frameSize)); !status)
            return muxer->file.close(status);
    }
    int result = avcodec_send_frame(muxer->codec.get(), nullptr);
    if (result < 0)
        return muxer->file.close(
            muxer->fail(QStringLiteral("Cannot encode AAC audio for"), result));
    if (Status status = muxer->drainPackets(); !status)
        return muxer->file.close(status);
    AVFormatContext* format = muxer->format.get();
    result = av_write_trailer(format);
    if (result >= 0) {
        avio_flush(format->pb);
        result = format->pb->error;
    }
    if (result < 0)
        return muxer->file.close(muxer->writeFailure(result));
    if (Status status = muxer->file.close({}); !status)
        return status;
    return muxer->writeGaplessTag();
}

} // namespace tunevale
