#include "common/codecs/wmaencoder.h"

#include "common/audio/ffmpegptr.h"
#include "common/codecs/ffmpegmuxer.h"
#include "common/io/outputfile.h"

#include <QDir>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>

namespace tunevale {

namespace {

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

    if (Status status = muxer->allocate(codec, "asf"); !status)
        return status;
    AVCodecContext* context = muxer->codec.get();
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = m_profile.sampleRate;
    context->bit_rate = m_profile.bitrate;
    context->time_base = AVRational{1, m_profile.sampleRate};
    av_channel_layout_default(&context->ch_layout, m_profile.channels);
    const int result = avcodec_open2(context, codec, nullptr);
    if (result < 0)
        return Status::error(
            QStringLiteral("Cannot create %1: the WMA encoder refuses %2 Hz, %3 channel(s), "
                           "%4 bit/s: %5")
                .arg(QDir::toNativeSeparators(path))
                .arg(m_profile.sampleRate)
                .arg(m_profile.channels)
                .arg(m_profile.bitrate)
                .arg(ffmpegErrorString(result)));
    if (Status status = muxer->prepareFrames(FfmpegMuxer::kChunkFrames); !status)
        return status;
    // A muxer without the option keeps its default packets: bigger files, still valid.
    if (context->block_align > 0)
        av_opt_set_int(muxer->format->priv_data, "packet_size",
                       asfPacketSizeFor(context->block_align), 0);
    // Decoders give nothing for the first frame (its window has no frame before it to
    // overlap), so a frame of silence goes first: the source's own first frame is kept, and a
    // source shorter than one frame still leaves audio to play.
    if (av_audio_fifo_write(muxer->fifo.get(), muxer->planePointers.data(), muxer->frameSize) !=
        muxer->frameSize)
        return muxer->fail(QStringLiteral("Cannot create"), AVERROR(ENOMEM));
    if (Status status = muxer->startMuxing(nullptr); !status)
        return status;

    m_muxer = std::move(muxer);
    return {};
}

Status WmaEncoder::encode(std::span<const qint16> samples)
{
    if (!m_muxer)
        return Status::error(QStringLiteral("Cannot encode WMA audio: the output is not open"));
    if (Status status = checkWholeFrames("WMA", m_muxer->path, samples.size(), m_profile.channels);
        !status)
        return status;
    return m_muxer->encode(samples);
}

Status WmaEncoder::finish()
{
    if (!m_muxer)
        return Status::error(QStringLiteral("Cannot finish WMA output: the output is not open"));
    // Whatever happens next, the file is closed and this encoder done with it.
    const std::unique_ptr<Muxer> muxer = std::move(m_muxer);
    return muxer->file.close(muxer->finishStream());
}

} // namespace tunevale
