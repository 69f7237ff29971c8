#include "convert/truepeak.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
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
constexpr float kFullScale = 1.0f / 32768.0f;
// The float sums may round a little above the exact bound below.
constexpr float kRoundingSlack = 1.0f + 1e-5f;

// Outputs computed side by side: they fit in vector registers while the taps go by.
constexpr size_t kLanes = 8;

// The highest absolute value of Count consecutive outputs of every phase; newest points at
// the input sample of the first output, with taps - 1 samples of history before it. Output i
// of a phase is the sum over the taps of coefficient[tap] * newest[i - tap].
template <size_t Count>
float interpolatedPeak(const float* newest, const std::vector<float>& phases, size_t taps)
{
    constexpr size_t lanes = std::min(Count, kLanes);
    static_assert(Count % lanes == 0);
    std::array<float, lanes> top{};
    for (size_t group = 0; group < Count; group += lanes) {
        for (size_t first = 0; first < phases.size(); first += taps) {
            std::array<float, lanes> sum{};
            for (size_t tap = 0; tap < taps; ++tap) {
                const float coefficient = phases[first + tap];
                const float* from = newest + group - tap;
                for (size_t i = 0; i < lanes; ++i)
                    sum[i] += coefficient * from[i];
            }
            for (size_t i = 0; i < lanes; ++i)
                top[i] = std::max(top[i], std::abs(sum[i]));
        }
    }
    return *std::max_element(top.begin(), top.end());
}

// The highest absolute value, first and second difference of Count samples; the
// differences reach two samples back.
template <size_t Count> void spreadOf(const float* samples, float& peak, float& step, float& bend)
{
    constexpr size_t lanes = std::min(Count, kLanes);
    std::array<float, lanes> peaks{};
    std::array<float, lanes> steps{};
    std::array<float, lanes> bends{};
    for (size_t group = 0; group < Count; group += lanes) {
        const float* at = samples + group;
        for (size_t i = 0; i < lanes; ++i) {
            peaks[i] = std::max(peaks[i], std::abs(at[i]));
            steps[i] = std::max(steps[i], std::abs(at[i] - at[i - 1]));
            bends[i] = std::max(bends[i], std::abs(at[i] - 2 * at[i - 1] + at[i - 2]));
        }
    }
    peak = *std::max_element(peaks.begin(), peaks.end());
    step = *std::max_element(steps.begin(), steps.end());
    bend = *std::max_element(bends.begin(), bends.end());
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
    // Bounds for the prefilter. An output of a phase is y = sum(c[d] * x[n - d]) over its taps
    // d. Within a stretch whose samples have peak P, first differences up to S and second
    // differences up to B, for any tap r:
    // - |y| <= sum|c[d]| * P.
    // - x[n - d] = x[n - r] + (at most |d - r| differences), so
    //   |y| <= |sum c[d]| * P + sum(|c[d]| * |d - r|) * S.
    // - x[n - d] = l(d) + e(d), where l is the line through taps r and r + 1 and e is 0 at
    //   both; each tap further changes e's difference by at most B, so |e(d)| <=
    //   B * k(k + 1) / 2 with k the distance to the nearer of the two. sum(c[d] * l(d)) is
    //   (sum c[d] - m) * x[n - r] + m * x[n - r - 1] with m = sum(c[d] * (d - r)), so
    //   |y| <= (|sum c[d] - m| + |m|) * P + sum(|c[d]| * k(k + 1) / 2) * B.
    // Each bound holds, so the least of them does. Smooth stretches, most of music at the rates
    // oversampled, get bounds close to their sample peak; a stretch whose bound stays at or
    // under the peak found so far cannot raise it and is not oversampled.
    m_bounds.clear();
    for (size_t first = 0; first < m_phases.size(); first += m_taps) {
        const auto c = [&](size_t tap) {
            return double(m_phases[first + tap]);
        };
        double sum = 0;
        double gain = 0;
        for (size_t tap = 0; tap < m_taps; ++tap) {
            sum += c(tap);
            gain += std::abs(c(tap));
        }
        PhaseBound bound;
        bound.gain = float(gain);
        bound.step = bound.bend = std::numeric_limits<float>::max();
        for (size_t r = 0; r + 1 < m_taps; ++r) {
            double step = 0;
            double bend = 0;
            double m = 0;
            for (size_t tap = 0; tap < m_taps; ++tap) {
                const double distance = double(tap) - double(r);
                step += std::abs(c(tap)) * std::abs(distance);
                const double k = tap > r ? double(tap - r - 1) : double(r - tap);
                bend += std::abs(c(tap)) * k * (k + 1) / 2;
                m += c(tap) * distance;
            }
            bound.step = std::min(bound.step, float(step));
            if (float(bend) < bound.bend) {
                bound.bend = float(bend);
                bound.bendFlat = float(std::abs(sum - m) + std::abs(m));
            }
        }
        bound.stepFlat = float(std::abs(sum));
        m_bounds.push_back(bound);
    }
    const size_t history = m_factor > 1 ? m_taps - 1 : 0;
    m_history.assign(size_t(m_channels) * history, 0.0f);
    m_peak = 0;
}

float TruePeakMeter::bound(const Spread& spread) const
{
    float highest = spread.peak;
    for (const PhaseBound& phase : m_bounds) {
        const float byPeak = phase.gain * spread.peak;
        const float byStep = phase.stepFlat * spread.peak + phase.step * spread.step;
        const float byBend = phase.bendFlat * spread.peak + phase.bend * spread.bend;
        highest = std::max(highest, std::min({byPeak, byStep, byBend}));
    }
    return highest * kRoundingSlack;
}

void TruePeakMeter::add(std::span<const qint16> samples)
{
    if (m_channels == 0)
        return;
    const size_t frames = samples.size() / size_t(m_channels);
    const size_t history = m_factor > 1 ? m_taps - 1 : 0;
    for (int channel = 0; channel < m_channels; ++channel) {
        float* kept = m_history.data() + size_t(channel) * history;
        m_signal.resize(history + frames);
        std::copy_n(kept, history, m_signal.begin());
        float* signal = m_signal.data() + history;
        for (size_t frame = 0; frame < frames; ++frame)
            signal[frame] =
                float(samples[frame * size_t(m_channels) + size_t(channel)]) * kFullScale;
        addChannel(frames);
        // The next block's first outputs need this one's last samples.
        std::copy(m_signal.end() - ptrdiff_t(history), m_signal.end(), kept);
    }
}

void TruePeakMeter::addChannel(size_t frames)
{
    if (m_factor == 1) {
        for (const float sample : m_signal)
            m_peak = std::max(m_peak, std::abs(sample));
        return;
    }
    const float* newest = m_signal.data() + m_taps - 1;
    m_spreads.resize((frames + kChunk - 1) / kChunk);
    const size_t whole = frames / kChunk;
    for (size_t chunk = 0; chunk < m_spreads.size(); ++chunk) {
        Spread& spread = m_spreads[chunk];
        const float* first = newest + chunk * kChunk;
        if (chunk < whole) {
            spreadOf<kChunk>(first, spread.peak, spread.step, spread.bend);
            continue;
        }
        spread = {};
        for (size_t frame = whole * kChunk; frame < frames; ++frame) {
            Spread one;
            spreadOf<1>(newest + frame, one.peak, one.step, one.bend);
            spread = {std::max(spread.peak, one.peak), std::max(spread.step, one.step),
                      std::max(spread.bend, one.bend)};
        }
    }
    // The true peak is never below the sample peak: taking that first lets more chunks go.
    for (const Spread& spread : m_spreads)
        m_peak = std::max(m_peak, spread.peak);
    // A chunk's outputs reach back taps - 1 frames: into the previous chunk, which is never
    // shorter than that, or into the history for the first.
    Spread before;
    for (const float* at = m_signal.data() + 2; at < newest; ++at) {
        Spread one;
        spreadOf<1>(at, one.peak, one.step, one.bend);
        before = {std::max(before.peak, one.peak), std::max(before.step, one.step),
                  std::max(before.bend, one.bend)};
    }
    for (size_t chunk = 0; chunk < m_spreads.size(); ++chunk) {
        const Spread& own = m_spreads[chunk];
        const Spread window{std::max(before.peak, own.peak), std::max(before.step, own.step),
                            std::max(before.bend, own.bend)};
        before = own;
        if (bound(window) <= m_peak)
            continue;
        const size_t first = chunk * kChunk;
        if (first + kChunk <= frames) {
            m_peak = std::max(m_peak, interpolatedPeak<kChunk>(newest + first, m_phases, m_taps));
            continue;
        }
        for (size_t frame = first; frame < frames; ++frame)
            m_peak = std::max(m_peak, interpolatedPeak<1>(newest + frame, m_phases, m_taps));
    }
}

} // namespace tunevale
