#include "convert/truepeak.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tunevale {

namespace {

// The interpolator: a sinc windowed by a Hann window over 49 points, split into one phase per
// oversampled position. Phase 0 is the sample itself (the sinc's zeros fall on the other
// samples), so only the positions between samples are computed.
constexpr int kPoints = 49;
// Frames oversampled at once: the prefilter decides per chunk, and a fixed length lets the
// compiler turn the loops into vector code.
constexpr size_t kChunk = 64;
constexpr float kFullScale = 32768.0f;
// The float sums may round a little above the exact bound below.
constexpr float kRoundingSlack = 1.0f + 1e-5f;

// The highest absolute value of Count consecutive outputs of every phase; newest points at
// the input sample of the first output, with taps - 1 samples of history before it. Output i
// of a phase is the sum over the taps of coefficient[tap] * newest[i - tap].
template <size_t Count>
float interpolatedPeak(const float* newest, const std::vector<float>& phases, size_t taps)
{
    std::array<float, Count> top{};
    for (size_t first = 0; first < phases.size(); first += taps) {
        std::array<float, Count> sum{};
        for (size_t tap = 0; tap < taps; ++tap) {
            const float coefficient = phases[first + tap];
            const float* from = newest - tap;
            for (size_t i = 0; i < Count; ++i)
                sum[i] += coefficient * from[i];
        }
        for (size_t i = 0; i < Count; ++i)
            top[i] = std::max(top[i], std::abs(sum[i]));
    }
    return *std::max_element(top.begin(), top.end());
}

} // namespace

void TruePeakMeter::start(int sampleRate, int channels)
{
    m_channels = std::max(0, channels);
    m_factor = sampleRate >= 192000 ? 1 : sampleRate >= 96000 ? 2 : 4;
    m_taps = size_t(kPoints - 1) / size_t(m_factor);
    m_phases.assign(size_t(m_factor - 1) * m_taps, 0.0f);
    for (int point = 0; point < kPoints; ++point) {
        const int phase = point % m_factor;
        if (phase == 0)
            continue;
        const double offset = (point - (kPoints - 1) / 2.0) * std::numbers::pi / m_factor;
        const double sinc = offset == 0 ? 1.0 : std::sin(offset) / offset;
        const double window =
            0.5 * (1 - std::cos(2 * std::numbers::pi * point / double(kPoints - 1)));
        m_phases[size_t(phase - 1) * m_taps + size_t(point / m_factor)] = float(sinc * window);
    }
    // Bound for the prefilter. An output of a phase is sum(c[tap] * x[n - tap]), so its size is
    // at most sum(|c[tap]|) * max(|x[n - tap]|): no interpolated value of a stretch exceeds
    // the stretch's sample peak (its taps - 1 samples of history included) times the largest
    // such sum. A stretch whose bound stays at or under the peak found so far cannot raise it.
    m_maxGain = 1;
    for (size_t first = 0; first < m_phases.size(); first += m_taps) {
        float sum = 0;
        for (size_t tap = 0; tap < m_taps; ++tap)
            sum += std::abs(m_phases[first + tap]);
        m_maxGain = std::max(m_maxGain, sum);
    }
    m_maxGain *= kRoundingSlack;
    const size_t history = m_factor > 1 ? m_taps - 1 : 0;
    m_history.assign(size_t(m_channels) * history, 0.0f);
    m_historyPeak.assign(size_t(m_channels), 0.0f);
    m_peak = 0;
}

void TruePeakMeter::add(std::span<const qint16> samples)
{
    if (m_channels == 0)
        return;
    const size_t frames = samples.size() / size_t(m_channels);
    for (int channel = 0; channel < m_channels; ++channel) {
        const size_t history = m_factor > 1 ? m_taps - 1 : 0;
        m_signal.resize(history + frames);
        std::copy_n(m_history.begin() + ptrdiff_t(size_t(channel) * history), history,
                    m_signal.begin());
        m_chunkPeaks.assign((frames + kChunk - 1) / kChunk, 0.0f);
        for (size_t frame = 0; frame < frames; ++frame) {
            const float value = float(samples[frame * size_t(m_channels) + size_t(channel)]);
            m_signal[history + frame] = value / kFullScale;
            float& chunkPeak = m_chunkPeaks[frame / kChunk];
            chunkPeak = std::max(chunkPeak, std::abs(value) / kFullScale);
        }
        addChannel(channel, frames);
    }
}

void TruePeakMeter::addChannel(int channel, size_t frames)
{
    // The true peak is never below the sample peak: taking that first lets more chunks go.
    for (const float chunkPeak : m_chunkPeaks)
        m_peak = std::max(m_peak, chunkPeak);
    if (m_factor == 1)
        return;
    const size_t history = m_taps - 1;
    const float* newest = m_signal.data() + history;
    // A chunk's outputs reach back taps - 1 frames: into the previous chunk, which is never
    // shorter than that, or into the history for the first.
    float before = m_historyPeak[size_t(channel)];
    for (size_t chunk = 0; chunk < m_chunkPeaks.size(); ++chunk) {
        const float window = std::max(before, m_chunkPeaks[chunk]);
        before = m_chunkPeaks[chunk];
        if (window * m_maxGain <= m_peak)
            continue;
        const size_t first = chunk * kChunk;
        if (first + kChunk <= frames) {
            m_peak = std::max(m_peak, interpolatedPeak<kChunk>(newest + first, m_phases, m_taps));
            continue;
        }
        for (size_t frame = first; frame < frames; ++frame)
            m_peak = std::max(m_peak, interpolatedPeak<1>(newest + frame, m_phases, m_taps));
    }
    // The next block's first outputs need this one's last samples.
    const auto kept = m_signal.end() - ptrdiff_t(history);
    std::copy(kept, m_signal.end(), m_history.begin() + ptrdiff_t(size_t(channel) * history));
    float keptPeak = 0;
    for (auto value = kept; value != m_signal.end(); ++value)
        keptPeak = std::max(keptPeak, std::abs(*value));
    m_historyPeak[size_t(channel)] = keptPeak;
}

} // namespace tunevale
