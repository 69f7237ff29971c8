#include "common/codecs/lamestream.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace tunevale {

namespace {

struct LameDeleter {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using LamePtr = std::unique_ptr<lame_global_flags, LameDeleter>;

// Frames handed to LAME per call: bounds the output buffer, which is allocated once.
constexpr int kChunkFrames = 16384;
// LAME's own worst case for an output buffer: 1.25 bytes per frame plus 7200.
constexpr int kBufferBytes = kChunkFrames + kChunkFrames / 4 + 7200;

// LAME reports through printf-style callbacks without a context pointer; the last error
// of this thread is kept so that a failed set-up can say why.
thread_local QString t_lameError;

void keepLameError(const char* format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    t_lameError = QString::fromLocal8Bit(text).trimmed();
}

void ignoreLameMessage(const char*, va_list) {}

MPEG_mode lameMode(const Mp3Encoder& settings)
{
    if (settings.channels() == 1)
        return MONO;
    switch (settings.channelMode()) {
    case Mp3Encoder::kModeStereo:
        return STEREO;
    case Mp3Encoder::kModeDualChannels:
        return DUAL_CHANNEL;
    default:
        return JOINT_STEREO;
    }
}

vbr_mode lameVbrMode(int method)
{
    switch (method) {
    case Mp3Encoder::kVbrDefault:
        return vbr_default;
    case Mp3Encoder::kVbrOld:
        return vbr_rh;
    case Mp3Encoder::kVbrNew:
    case Mp3Encoder::kVbrMtrh:
        return vbr_mtrh;
    case Mp3Encoder::kVbrAbr:
        return vbr_abr;
    default:
        return vbr_off;
    }
}

// A LAME context set up with every parameter of settings, ready to encode.
Status createLame(const Mp3Encoder& settings, LamePtr& lame)
{
    lame.reset(lame_init());
    if (!lame)
        return Status::error(QStringLiteral("Cannot start the MP3 encoder: out of memory"));
    lame_global_flags* flags = lame.get();
    lame_set_errorf(flags, keepLameError);
    lame_set_msgf(flags, ignoreLameMessage);
    lame_set_debugf(flags, ignoreLameMessage);

    // The writer resamples to this rate; without an explicit output rate LAME would pick
    // a lower one by itself for low bitrates.
    if (lame_set_in_samplerate(flags, settings.sampleRate()) < 0 ||
        lame_set_out_samplerate(flags, settings.sampleRate()) < 0)
        return Status::error(QStringLiteral("The MP3 encoder refuses the sample rate %1 Hz")
                                 .arg(settings.sampleRate()));
    lame_set_num_channels(flags, settings.channels());
    lame_set_mode(flags, lameMode(settings));
    if (settings.channels() == 2 && settings.channelMode() == Mp3Encoder::kModeForcedJointStereo)
        lame_set_force_ms(flags, 1);
    lame_set_quality(flags, settings.quality());

    const vbr_mode vbr = lameVbrMode(settings.vbrMethod());
    lame_set_VBR(flags, vbr);
    if (vbr == vbr_off) {
        lame_set_brate(flags, settings.bitrate());
    } else {
        lame_set_VBR_quality(flags, static_cast<float>(settings.vbrQuality()));
        lame_set_VBR_min_bitrate_kbps(flags, settings.vbrMinimumBitrate());
        lame_set_VBR_max_bitrate_kbps(flags, settings.maxVbrBitrate());
        lame_set_VBR_hard_min(flags, settings.strictMinimum() ? 1 : 0);
        if (vbr == vbr_abr)
            lame_set_VBR_mean_bitrate_kbps(flags, settings.abrBitrate());
    }
    // The info header also makes CBR files gapless: decoders trim delay and padding by it.
    lame_set_bWriteVbrTag(flags, settings.writeVbrHeader() ? 1 : 0);
    lame_set_write_id3tag_automatic(flags, 0);

    t_lameError.clear();
    if (lame_init_params(flags) < 0) {
        const QString reason =
            t_lameError.isEmpty() ? QStringLiteral("LAME rejected the parameters") : t_lameError;
        return Status::error(QStringLiteral("The MP3 encoder cannot encode %1 Hz, %2 channel(s) "
                                            "with these settings: %3")
                                 .arg(settings.sampleRate())
                                 .arg(settings.channels())
                                 .arg(reason));
    }
    return {};
}

QString modeText(const lame_global_flags* flags)
{
    switch (lame_get_mode(flags)) {
    case STEREO:
        return QStringLiteral("Stereo");
    case JOINT_STEREO:
        return lame_get_force_ms(flags) ? QStringLiteral("Forced Joint Stereo")
                                        : QStringLiteral("Joint Stereo");
    case DUAL_CHANNEL:
        return QStringLiteral("Dual Channels");
    case MONO:
        return QStringLiteral("Mono");
    default:
        return QStringLiteral("Unknown channel mode");
    }
}

QString bitrateText(const lame_global_flags* flags, bool strictMinimum)
{
    switch (lame_get_VBR(flags)) {
    case vbr_off:
        return QStringLiteral("%1 Kbps").arg(lame_get_brate(flags));
    case vbr_abr:
        return QStringLiteral("ABR %1 Kbps").arg(lame_get_VBR_mean_bitrate_kbps(flags));
    default:
        return QStringLiteral("VBR quality %1 (%2-%3 Kbps%4)")
            .arg(lame_get_VBR_q(flags))
            .arg(lame_get_VBR_min_bitrate_kbps(flags))
            .arg(lame_get_VBR_max_bitrate_kbps(flags))
            .arg(strictMinimum ? QStringLiteral(", strict minimum") : QString());
    }
}

} // namespace

struct LameStream::Lame {
    LamePtr flags;
};

LameStream::LameStream() = default;
LameStream::~LameStream() = default;

Status LameStream::open(const Mp3Encoder& settings)
{
    m_lame.reset();
    auto lame = std::make_unique<Lame>();
    if (Status status = createLame(settings, lame->flags); !status)
        return status;
    m_channels = settings.channels();
    m_buffer.resize(kBufferBytes);
    m_lame = std::move(lame);
    return {};
}

Status LameStream::encode(std::span<const qint16> samples, std::vector<unsigned char>& out)
{
    if (!m_lame)
        return Status::error(QStringLiteral("no MP3 stream is open"));
    const auto channels = static_cast<size_t>(m_channels);
    if (samples.size() % channels != 0)
        return Status::error(QStringLiteral("%1 samples are not whole frames of %2 channel(s)")
                                 .arg(samples.size())
                                 .arg(channels));
    lame_global_flags* flags = m_lame->flags.get();
    const auto bufferBytes = static_cast<int>(m_buffer.size());
    while (!samples.empty()) {
        const size_t frames = std::min(samples.size() / channels, size_t(kChunkFrames));
        const auto count = static_cast<int>(frames);
        // LAME only reads the interleaved input; its parameter is just not declared const.
        auto* pcm = const_cast<short*>(samples.data());
        const int bytes =
            channels == 2
                ? lame_encode_buffer_interleaved(flags, pcm, count, m_buffer.data(), bufferBytes)
                : lame_encode_buffer(flags, pcm, pcm, count, m_buffer.data(), bufferBytes);
        if (bytes < 0)
            return Status::error(QStringLiteral("LAME error %1").arg(bytes));
        out.insert(out.end(), m_buffer.begin(), m_buffer.begin() + bytes);
        samples = samples.subspan(frames * channels);
    }
    return {};
}

Status LameStream::flush(std::vector<unsigned char>& out)
{
    if (!m_lame)
        return Status::error(QStringLiteral("no MP3 stream is open"));
    const int bytes =
        lame_encode_flush(m_lame->flags.get(), m_buffer.data(), static_cast<int>(m_buffer.size()));
    if (bytes < 0)
        return Status::error(QStringLiteral("LAME error %1").arg(bytes));
    out.insert(out.end(), m_buffer.begin(), m_buffer.begin() + bytes);
    return {};
}

Status LameStream::lameTagFrame(std::vector<unsigned char>& out) const
{
    out.clear();
    if (!m_lame)
        return Status::error(QStringLiteral("no MP3 stream is open"));
    const size_t bytes = lame_get_lametag_frame(m_lame->flags.get(), nullptr, 0);
    out.resize(bytes);
    if (bytes > 0 && lame_get_lametag_frame(m_lame->flags.get(), out.data(), bytes) != bytes)
        return Status::error(QStringLiteral("it needs %1 bytes").arg(bytes));
    return {};
}

QString LameStream::describe(const Mp3Encoder& settings)
{
    // What LAME will really do: it snaps bitrates to what the MPEG version at this rate
    // allows, so the text is read back from a configured context.
    LamePtr lame;
    if (Status status = createLame(settings, lame); !status)
        return QStringLiteral("MP3 %1 Hz; %2; ").arg(settings.sampleRate()).arg(status.message());
    return QStringLiteral("MP3 %1 Hz; %2; %3; ")
        .arg(lame_get_out_samplerate(lame.get()))
        .arg(bitrateText(lame.get(), settings.strictMinimum()), modeText(lame.get()));
}

} // namespace tunevale
