#include "common/codecs/wmaencoder.h"

#include "common/audio/ffmpegptr.h"
#include "common/codecs/ffmpegmuxer.h"
#include "common/io/outputfile.h"
#include "common/io/outputio.h"

#include <QDir>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <array>
#include <vector>

namespace tunevale {

namespace {

// Samples per channel converted in one go; bounds the scratch buffers and the FIFO.
constexpr int kChunkFrames = 4096;

// ASF overhead measured on the muxer: 12 bytes per packet plus 17 per payload. Its default
// 3200-byte packets leave whole frames' worth of padding whenever a frame does not fit the
// space left (320 kbit/s then becomes 551 kbit/s), so packets are sized to hold a whole
// number of frames, about as many as a default packet would.
constexpr int kAsfPacketOverhead = 12;
constexpr int kAsfPayloadOverhead = 17;
constexpr int kAsfSlack = 8;
constexpr int kAsfDefaultPacketSize = 3200;
constexpr int kAsfMaxPayloadsPerPacket = 63;
constexpr int kAsfMinPacketSize = 100;
constexpr int kAsfMaxPacketSize = 65536;

int asfPacketSizeFor(int blockAlign)
{
    const int payload = blockAlign + kAsfPayloadOverhead;
    const int framesPerPacket = std::clamp((kAsfDefaultPacketSize - kAsfPacketOverhead) / payload,
                                           1, kAsfMaxPayloadsPerPacket);
    return std::clamp(kAsfPacketOverhead + framesPerPacket * payload + kAsfSlack, kAsfMinPacketSize,
                      kAsfMaxPacketSize);
}

} // namespace

struct WmaEncoder::Muxer : FfmpegMuxer {
    Muxer()
        : FfmpegMuxer("WMA")
    {}

    // Encodes the next frameCount samples per channel of the FIFO as one frame; the frame's
    // buffer holds frameSize of them.
    Status sendFrame(int frameCount)
    {
        if (frameCount <= 0 || frameCount > frameSize)
            return Status::error(
                QStringLiteral("Cannot encode WMA audio for %1: %2 samples do not make a frame")
                    .arg(QDir::toNativeSeparators(path))
                    .arg(frameCount));
        // The encoder may still hold a reference to the last frame's buffer.
        int result = av_frame_make_writable(frame.get());
        if (result < 0)
            return fail(QStringLiteral("Cannot encode WMA audio for"), result);
        frame->nb_samples = frameCount;
        if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->data), frameCount) !=
            frameCount)
            return Status::error(
                QStringLiteral("Cannot encode WMA audio for %1: sample buffer underrun")
                    .arg(QDir::toNativeSeparators(path)));
        frame->pts = nextPts;
        nextPts += frameCount;
        result = avcodec_send_frame(codec.get(), frame.get());
        if (result < 0)
            return fail(QStringLiteral("Cannot encode WMA audio for"), result);
        return drainPackets();
    }
};

WmaEncoder::WmaEncoder(int profileNumber)
    : m_profile(wmaProfile(profileNumber))
{}

WmaEncoder::~WmaEncoder() = default;

Status WmaEncoder::validate(int profileNumber)
{
    return validateWmaProfile(profileNumber);
}

QString WmaEncoder::describe(int profileNumber)
{
    return describeWmaProfile(profileNumber);
}

PcmFormat WmaEncoder::inputFormat() const
{
    return {m_profile.sampleRate, m_profile.channels};
}

Status WmaEncoder::open(UniqueFd file, const QString& path)
{
    quietFfmpegLogging();
    m_muxer.reset();
    auto muxer = std::make_unique<Muxer>();
    muxer->path = path;
    if (Status status = muxer->file.open(std::move(file), path); !status)
        return status;

    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (!codec)
        return Status::error(QStringLiteral("Cannot create %1: this FFmpeg has no WMA encoder")
                                 .arg(QDir::toNativeSeparators(path)));

    AVFormatContext* format = nullptr;
    int result = avformat_alloc_output_context2(&format, nullptr, "asf", nullptr);
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
    context->sample_rate = m_profile.sampleRate;
    context->bit_rate = m_profile.bitrate;
    context->time_base = AVRational{1, m_profile.sampleRate};
    av_channel_layout_default(&context->ch_layout, m_profile.channels);
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    result = avcodec_open2(context, codec, nullptr);
    if (result < 0)
        return Status::error(
            QStringLiteral("Cannot create %1: the WMA encoder refuses %2 Hz, %3 channel(s), "
                           "%4 bit/s: %5")
                .arg(QDir::toNativeSeparators(path))
                .arg(m_profile.sampleRate)
                .arg(m_profile.channels)
                .arg(m_profile.bitrate)
                .arg(ffmpegErrorString(result)));

    muxer->stream->time_base = context->time_base;
    result = avcodec_parameters_from_context(muxer->stream->codecpar, context);
    if (result < 0)
        return muxer->fail(QStringLiteral("Cannot create"), result);
    // A muxer without the option keeps its default packets: bigger files, still valid.
    if (context->block_align > 0)
        av_opt_set_int(format->priv_data, "packet_size", asfPacketSizeFor(context->block_align), 0);

    const int frameSize = context->frame_size > 0 ? context->frame_size : kChunkFrames;
    muxer->frameSize = frameSize;
    muxer->frame->format = AV_SAMPLE_FMT_FLTP;
    muxer->frame->sample_rate = context->sample_rate;
    muxer->frame->nb_samples = frameSize;
    result = av_channel_layout_copy(&muxer->frame->ch_layout, &context->ch_layout);
    if (result >= 0)
        result = av_frame_get_buffer(muxer->frame.get(), 0);
    if (result < 0)
        return muxer->fail(QStringLiteral("Cannot create"), result);

    muxer->fifo.reset(
        av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, m_profile.channels, kChunkFrames + frameSize));
    if (!muxer->fifo)
        return muxer->fail(QStringLiteral("Cannot create"), AVERROR(ENOMEM));
    for (int channel = 0; channel < m_profile.channels; ++channel) {
        muxer->planes[channel].resize(kChunkFrames);
        muxer->planePointers[channel] = muxer->planes[channel].data();
    }
    // Decoders give nothing for the first frame (its window has no frame before it to
    // overlap), so a frame of silence goes first: the source's own first frame is kept, and a
    // source shorter than one frame still leaves audio to play.
    if (av_audio_fifo_write(muxer->fifo.get(), muxer->planePointers.data(), frameSize) != frameSize)
        return muxer->fail(QStringLiteral("Cannot create"), AVERROR(ENOMEM));

    // The muxer writes into the caller's file, so FFmpeg never opens a path itself.
    muxer->io = makeOutputIo(muxer->file);
    if (!muxer->io)
        return muxer->fail(QStringLiteral("Cannot create"), AVERROR(ENOMEM));
    format->pb = muxer->io.get();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;

    result = avformat_write_header(format, nullptr);
    if (result < 0)
        return muxer->writeFailure(result);
    if (format->pb->error < 0)
        return muxer->writeFailure(format->pb->error);

    m_muxer = std::move(muxer);
    return {};
}

Status WmaEncoder::encode(std::span<const qint16> samples)
{
    if (!m_muxer)
        return Status::error(QStringLiteral("Cannot encode WMA audio: the output is not open"));
    const int channels = m_profile.channels;
    if (Status status = checkWholeFrames("WMA", m_muxer->path, samples.size(), int(channels));
        !status)
        return status;

    Muxer& muxer = *m_muxer;
    constexpr float kScale = 1.0f / 32768.0f;
    const qint16* input = samples.data();
    qsizetype framesLeft = qsizetype(samples.size()) / channels;
    while (framesLeft > 0) {
        const int chunk = int(std::min<qsizetype>(framesLeft, kChunkFrames));
        if (channels == 2) {
            float* left = muxer.planes[0].data();
            float* right = muxer.planes[1].data();
            for (int i = 0; i < chunk; ++i) {
                left[i] = float(input[2 * i]) * kScale;
                right[i] = float(input[2 * i + 1]) * kScale;
            }
        } else {
            float* mono = muxer.planes[0].data();
            for (int i = 0; i < chunk; ++i)
                mono[i] = float(input[i]) * kScale;
        }
        input += qsizetype(chunk) * channels;
        framesLeft -= chunk;

        if (av_audio_fifo_write(muxer.fifo.get(), muxer.planePointers.data(), chunk) != chunk)
            return muxer.fail(QStringLiteral("Cannot encode WMA audio for"), AVERROR(ENOMEM));
        while (av_audio_fifo_size(muxer.fifo.get()) >= muxer.frameSize) {
            if (Status status = muxer.sendFrame(muxer.frameSize); !status)
                return status;
        }
    }
    return {};
}

Status WmaEncoder::finish()
{
    if (!m_muxer)
        return Status::error(QStringLiteral("Cannot finish WMA output: the output is not open"));
    // Whatever happens next, the file is closed and this encoder done with it.
    const std::unique_ptr<Muxer> muxer = std::move(m_muxer);

    // After a failed encode() the FIFO may hold more than one frame.
    while (const int rest = av_audio_fifo_size(muxer->fifo.get())) {
        if (Status status = muxer->sendFrame(std::min(rest, muxer->frameSize)); !status)
            return status;
    }
    int result = avcodec_send_frame(muxer->codec.get(), nullptr);
    if (result < 0)
        return muxer->fail(QStringLiteral("Cannot encode WMA audio for"), result);
    if (Status status = muxer->drainPackets(); !status)
        return status;

    AVFormatContext* format = muxer->format.get();
    result = av_write_trailer(format);
    if (result < 0)
        return muxer->writeFailure(result);
    avio_flush(format->pb);
    if (format->pb->error < 0)
        return muxer->writeFailure(format->pb->error);
    return muxer->file.close({});
}

} // namespace tunevale
