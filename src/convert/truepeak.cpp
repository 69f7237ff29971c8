#include "convert/truepeak.h"

#include "convert/vectorlanes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

namespace tunevale {

namespace {

// The interpolator: a sinc windowed by a Hann window over 49 points, split into one phase per
// oversampled position. Phase 0 is the sample itself (the sinc's zeros fall on the other
// samples), so only the positions between samples are computed.
constexpr int kPoints = 49;
// Frames oversampled at once: the prefilter decides per chunk, and a fixed length runs in
// whole vectors.
constexpr size_t kChunk = 64;
constexpr float kFullScale = 1.0f / 32768.0f;
// The float sums may round a little above the exact bound below.
constexpr float kRoundingSlack = 1.0f + 1e-5f;

// The highest absolute value of every phase's outputs at kChunk consecutive positions, with
// Vector's lanes side by side. newest points at the input sample of the first position, with
// taps - 1 samples of history before it; output i of a phase is the sum over the taps of
// coefficient[tap] * newest[i - tap]. Two vectors of positions at a time, each with every
// phase: six independent sums (at 4x) keep the arithmetic units busy while the taps go by.
template <typename Vector, size_t Phases>
[[gnu::always_inline]] inline float chunkPeak(const float* newest, const float* phases, size_t taps)
{
    constexpr size_t lanes = laneCount<Vector>();
    static_assert(kChunk % (2 * lanes) == 0);
    Vector top{};
    for (size_t at = 0; at < kChunk; at += 2 * lanes) {
        std::array<Vector, Phases> low{};
        std::array<Vector, Phases> high{};
        for (size_t tap = 0; tap < taps; ++tap) {
            const auto lowSamples = lanesAt<Vector>(newest + at - tap);
            const auto highSamples = lanesAt<Vector>(newest + at + lanes - tap);
            // Spelled out per phase at compile time, so that the sums stay in registers.
            [&]<size_t... Phase>(std::index_sequence<Phase...>)
            {
                ((low[Phase] += phases[Phase * taps + tap] * lowSamples,
                  high[Phase] += phases[Phase * taps + tap] * highSamples),
                 ...);
            }
            (std::make_index_sequence<Phases>{});
        }
        for (size_t phase = 0; phase < Phases; ++phase)
            top = lanesMax(top, lanesMax(lanesAbs(low[phase]), lanesAbs(high[phase])));
    }
    return highestLane(top);
}

using ChunkPeak = float (*)(const float* newest, const float* phases, size_t taps);

template <size_t Phases>
float chunkPeakNarrow(const float* newest, const float* phases, size_t taps)
{
    return chunkPeak<Float4, Phases>(newest, phases, taps);
}

#if defined(__GNUC__) && defined(__x86_64__)
// Eight lanes where the processor has AVX2 (without fused steps, which would round apart).
template <size_t Phases>
[[gnu::target("avx2")]] float chunkPeakWide(const float* newest, const float* phases, size_t taps)
{
    return chunkPeak<Float8, Phases>(newest, phases, taps);
}
#endif

template <size_t Phases> ChunkPeak fastestChunkPeak()
{
#if defined(__GNUC__) && defined(__x86_64__)
    if (__builtin_cpu_supports("avx2"))
        return &chunkPeakWide<Phases>;
#endif
    return &chunkPeakNarrow<Phases>;
}

// The highest absolute value of every phase's output at one position, for the frames after
// the last whole chunk.
float interpolatedPeakAt(const float* newest, const std::vector<float>& phases, size_t taps)
{
    float top = 0;
    for (size_t first = 0; first < phases.size(); first += taps) {
        float sum = 0;
        for (size_t tap = 0; tap < taps; ++tap)
            sum += phases[first + tap] * newest[-ptrdiff_t(tap)];
        top = std::max(top, std::abs(sum));
    }
    return top;
}

} // namespace

// How far kChunk samples move; the differences reach two samples back.
TruePeakMeter::Spread TruePeakMeter::chunkSpread(const float* samples)
{
    Float4 peaks{};
    Float4 steps{};
    Float4 bends{};
    for (size_t at = 0; at < kChunk; at += laneCount<Float4>()) {
        const auto now = lanesAt<Float4>(samples + at);
        const auto before = lanesAt<Float4>(samples + at - 1);
        const auto twoBefore = lanesAt<Float4>(samples + at - 2);
        peaks = lanesMax(peaks, lanesAbs(now));
        steps = lanesMax(steps, lanesAbs(now - before));
        bends = lanesMax(bends, lanesAbs(now - 2.0f * before + twoBefore));
    }
    return {highestLane(peaks), highestLane(steps), highestLane(bends)};
}

// The same for a run of samples of any length.
TruePeakMeter::Spread TruePeakMeter::spreadOf(const float* samples, size_t count)
{
    Spread spread;
    for (const float* at = samples; at < samples + count; ++at) {
        spread.peak = std::max(spread.peak, std::abs(at[0]));
        spread.step = std::max(spread.step, std::abs(at[0] - at[-1]));
        spread.bend = std::max(spread.bend, std::abs(at[0] - 2 * at[-1] + at[-2]));
    }
    return spread;
}

void TruePeakMeter::start(int sampleRate, int channels)
{
    m_channels = std::max(0, channels);
    m_factor = sampleRate >= 192000 ? 1 : sampleRate >= 96000 ? 2 : 4;
    m_taps = size_t(kPoints - 1) / size_t(m_factor);
    m_chunkPeak = m_factor == 4 ? fastestChunkPeak<3>() : fastestChunkPeak<1>();
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
        spread = chunk < whole ? chunkSpread(first) : spreadOf(first, frames - whole * kChunk);
    }
    // The true peak is never below the sample peak: taking that first lets more chunks go.
    for (const Spread& spread : m_spreads)
        m_peak = std::max(m_peak, spread.peak);
    // A chunk's outputs reach back taps - 1 frames: into the previous chunk, which is never
    // shorter than that, or into the history for the first.
    Spread before = spreadOf(m_signal.data() + 2, m_taps - 3);
    m_candidates.clear();
    for (size_t chunk = 0; chunk < m_spreads.size(); ++chunk) {
        const Spread& own = m_spreads[chunk];
        const Spread window{std::max(before.peak, own.peak), std::max(before.step, own.step),
                            std::max(before.bend, own.bend)};
        before = own;
        if (const float limit = bound(window); limit > m_peak)
            m_candidates.push_back({limit, chunk});
    }
    // The highest bound first: it raises the peak, and many of the rest then fall under it (a
    // level that grows through the block would otherwise have nearly every chunk oversampled).
    if (!m_candidates.empty()) {
        std::iter_swap(m_candidates.begin(),
                       std::max_element(m_candidates.begin(), m_candidates.end(),
                                        [](const Candidate& a, const Candidate& b) {
                                            return a.bound < b.bound;
                                        }));
    }
    for (const Candidate& candidate : m_candidates) {
        if (candidate.bound <= m_peak)
            continue;
        const size_t first = candidate.chunk * kChunk;
        if (first + kChunk <= frames) {
            m_peak = std::max(m_peak, m_chunkPeak(newest + first, m_phases.data(), m_taps));
            continue;
        }
        for (size_t frame = first; frame < frames; ++frame)
            m_peak = std::max(m_peak, interpolatedPeakAt(newest + frame, m_phases, m_taps));
    }
}

} // namespace tunevale
