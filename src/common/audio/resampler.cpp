#include "common/audio/resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace tunevale {

namespace {

// Mono and stereo map onto their usual layouts; more channels onto FFmpeg's defaults.
AVChannelLayout layoutFor(int channels)
{
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    return layout;
}

} // namespace

Status Resampler::configure(PcmFormat from, PcmFormat to)
{
    m_from = from;
    m_to = to;
    m_context.reset();
    if (from.sampleRate <= 0 || from.channels <= 0 || to.sampleRate <= 0 || to.channels <= 0)
        return Status::error(QStringLiteral("Invalid sample format: %1 Hz, %2 channels")
                                 .arg(from.sampleRate)
                                 .arg(from.channels));
    if (from == to)
        return {};

    AVChannelLayout inputLayout = layoutFor(from.channels);
    AVChannelLayout outputLayout = layoutFor(to.channels);
    SwrContext* raw = nullptr;
    int result = swr_alloc_set_opts2(&raw, &outputLayout, AV_SAMPLE_FMT_S16, to.sampleRate,
                                     &inputLayout, AV_SAMPLE_FMT_S16, from.sampleRate, 0, nullptr);
    m_context.reset(raw);
    if (result >= 0)
        result = swr_init(m_context.get());
    av_channel_layout_uninit(&inputLayout);
    av_channel_layout_uninit(&outputLayout);
    if (result < 0) {
        m_context.reset();
        return Status::error(
            QStringLiteral("Cannot convert %1 Hz %2 channels to %3 Hz %4 channels: %5")
                .arg(from.sampleRate)
                .arg(from.channels)
                .arg(to.sampleRate)
                .arg(to.channels)
                .arg(ffmpegErrorString(result)));
    }
    return {};
}

Status Resampler::convert(std::span<const qint16> input, std::vector<qint16>& output)
{
    if (!m_context) {
        output.assign(input.begin(), input.end());
        return {};
    }
    const auto* data = reinterpret_cast<const quint8*>(input.data());
    return run(data, static_cast<int>(input.size() / m_from.channels), output);
}

Status Resampler::flush(std::vector<qint16>& output)
{
    output.clear();
    if (!m_context)
        return {};
    return run(nullptr, 0, output);
}

Status Resampler::run(const quint8* input, int inputFrames, std::vector<qint16>& output)
{
    const int capacity = swr_get_out_samples(m_context.get(), inputFrames);
    if (capacity < 0)
        return Status::error(
            QStringLiteral("Sample conversion failed: %1").arg(ffmpegErrorString(capacity)));
    output.resize(static_cast<size_t>(capacity) * m_to.channels);
    auto* target = reinterpret_cast<quint8*>(output.data());
    const int converted =
        swr_convert(m_context.get(), &target, capacity, input ? &input : nullptr, inputFrames);
    if (converted < 0) {
        output.clear();
        return Status::error(
            QStringLiteral("Sample conversion failed: %1").arg(ffmpegErrorString(converted)));
    }
    output.resize(static_cast<size_t>(converted) * m_to.channels);
    return {};
}

} // namespace tunevale
