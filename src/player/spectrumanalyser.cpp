#include "player/spectrumanalyser.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tunevale {

namespace {

constexpr double kFramesSeconds = 0.04;
constexpr int kMinimumFrames = 512;
constexpr int kMaximumFrames = 8192;
constexpr int kMinimumRate = 1000;
constexpr int kMaximumRate = 768000;
constexpr int kMaximumChannels = 64;

// Per frame at about 30 frames per second: bars jump up and sink over a few hundred ms;
// peak caps rest for half a second, then fall ever faster.
constexpr float kAttack = 0.7f;
constexpr float kRelease = 0.18f;
constexpr float kRestLevel = 0.002f;
constexpr int kPeakHoldFrames = 15;
constexpr float kPeakGravity = 0.0025f;

float toDb(double ratio, float silence)
{
    return ratio > 0.0 ? static_cast<float>(20.0 * std::log10(ratio)) : silence;
}

} // namespace

struct SpectrumAnalyser::Fft {
    struct Free {
        void operator()(kiss_fftr_state* state) const { kiss_fftr_free(state); }
    };
    std::unique_ptr<kiss_fftr_state, Free> config;
    std::vector<kiss_fft_cpx> output;
};

SpectrumAnalyser::SpectrumAnalyser()
{
    initialise(m_sampleRate, m_channels);
}

SpectrumAnalyser::~SpectrumAnalyser() = default;

void SpectrumAnalyser::initialise(int sampleRate, int channels)
{
    m_sampleRate = std::clamp(sampleRate, kMinimumRate, kMaximumRate);
    m_channels = std::clamp(channels, 1, kMaximumChannels);

    const double wanted = m_sampleRate * kFramesSeconds;
    m_frames = kMinimumFrames;
    while (m_frames < wanted && m_frames < kMaximumFrames)
        m_frames *= 2;

    auto fft = std::make_unique<Fft>();
    fft->config.reset(kiss_fftr_alloc(m_frames, 0, nullptr, nullptr));
    fft->output.resize(static_cast<size_t>(m_frames / 2 + 1));
    m_fft = std::move(fft);

    const auto frames = static_cast<size_t>(m_frames);
    m_window.resize(frames);
    for (size_t i = 0; i < frames; ++i)
        m_window[i] = static_cast<float>(
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                 static_cast<double>(frames)));
    m_mono.assign(frames, 0.0f);
    m_power.assign(frames / 2 + 1, 0.0f);
    for (auto& wave : m_waveform)
        wave.assign(frames, 0.0f);

    const double binHz = static_cast<double>(m_sampleRate) / m_frames;
    const double high = std::min(kHighestFrequency, m_sampleRate / 2.0);
    const double low = std::min(kLowestFrequency, high / 4.0);
    for (int i = 0; i <= kBandCount; ++i)
        m_bandEdges[static_cast<size_t>(i)] =
            low * std::pow(high / low, static_cast<double>(i) / kBandCount) / binHz;

    m_bands.assign(kBandCount, 0.0f);
    m_peaks.assign(kBandCount, 0.0f);
    m_peakHold.assign(kBandCount, 0);
    m_peakSpeed.assign(kBandCount, 0.0f);
    reset();
}

void SpectrumAnalyser::reset()
{
    std::fill(m_bands.begin(), m_bands.end(), 0.0f);
    std::fill(m_peaks.begin(), m_peaks.end(), 0.0f);
    std::fill(m_peakHold.begin(), m_peakHold.end(), 0);
    std::fill(m_peakSpeed.begin(), m_peakSpeed.end(), 0.0f);
    for (auto& wave : m_waveform)
        std::fill(wave.begin(), wave.end(), 0.0f);
    m_rmsDb.fill(kSilenceDb);
    m_peakDb.fill(kSilenceDb);
}

double SpectrumAnalyser::bandCentreFrequency(int band) const
{
    if (band < 0 || band >= kBandCount)
        return 0.0;
    const double binHz = static_cast<double>(m_sampleRate) / m_frames;
    const auto index = static_cast<size_t>(band);
    return std::sqrt(m_bandEdges[index] * m_bandEdges[index + 1]) * binHz;
}

void SpectrumAnalyser::analyse(std::span<const qint16> interleaved)
{
    const auto channels = static_cast<size_t>(m_channels);
    const auto frames = static_cast<size_t>(m_frames);
    const size_t available = interleaved.size() / channels;
    const size_t used = std::min(available, frames);
    const size_t padding = frames - used;
    const qint16* source = interleaved.data() + (available - used) * channels;
    const size_t rightChannel = channels > 1 ? 1 : 0;
    constexpr float kScale = 1.0f / 32768.0f;

    std::array<double, 2> squares{};
    std::array<float, 2> peaks{};
    for (size_t i = 0; i < frames; ++i) {
        if (i < padding) {
            m_mono[i] = 0.0f;
            m_waveform[0][i] = m_waveform[1][i] = 0.0f;
            continue;
        }
        const qint16* frame = source + (i - padding) * channels;
        float sum = 0.0f;
        for (size_t c = 0; c < channels; ++c)
            sum += static_cast<float>(frame[c]) * kScale;
        const float left = static_cast<float>(frame[0]) * kScale;
        const float right = static_cast<float>(frame[rightChannel]) * kScale;
        m_waveform[0][i] = left;
        m_waveform[1][i] = right;
        squares[0] += static_cast<double>(left) * left;
        squares[1] += static_cast<double>(right) * right;
        peaks[0] = std::max(peaks[0], std::abs(left));
        peaks[1] = std::max(peaks[1], std::abs(right));
        m_mono[i] = sum / static_cast<float>(channels) * m_window[i];
    }
    for (size_t side = 0; side < 2; ++side) {
        // Relative to a full-scale sine, whose root mean square is 1/sqrt(2).
        m_rmsDb[side] =
            toDb(std::sqrt(2.0 * squares[side] / static_cast<double>(frames)), kSilenceDb);
        m_peakDb[side] = std::max(toDb(peaks[side], kSilenceDb), kSilenceDb);
        m_rmsDb[side] = std::max(m_rmsDb[side], kSilenceDb);
    }

    kiss_fftr(m_fft->config.get(), m_mono.data(), m_fft->output.data());
    for (size_t k = 0; k < m_power.size(); ++k) {
        const kiss_fft_cpx& bin = m_fft->output[k];
        m_power[k] = bin.r * bin.r + bin.i * bin.i;
    }
    computeBandLevels();
}

void SpectrumAnalyser::computeBandLevels()
{
    // A full-scale sine through the Hann window puts 3 N^2 / 32 of power into the one-sided
    // spectrum, whatever bins it falls between.
    const double fullScale = 3.0 * m_frames * static_cast<double>(m_frames) / 32.0;
    const auto lastBin = static_cast<double>(m_power.size() - 1);
    for (size_t band = 0; band < static_cast<size_t>(kBandCount); ++band) {
        // Each bin covers [k - 0.5, k + 0.5); a band takes the share of each bin it overlaps, so
        // bands narrower than a bin at low frequencies still read a sensible level.
        const double from = m_bandEdges[band];
        const double to = std::min(m_bandEdges[band + 1], lastBin + 0.5);
        double power = 0.0;
        for (auto k = static_cast<size_t>(std::max(1.0, std::floor(from + 0.5)));
             static_cast<double>(k) - 0.5 < to && k < m_power.size(); ++k) {
            const double kd = static_cast<double>(k);
            const double overlap = std::min(to, kd + 0.5) - std::max(from, kd - 0.5);
            if (overlap > 0.0)
                power += m_power[k] * overlap;
        }
        const float db =
            power > 0.0 ? static_cast<float>(10.0 * std::log10(power / fullScale)) : kSilenceDb;
        const float target = std::clamp((db - kFloorDb) / -kFloorDb, 0.0f, 1.0f);

        float& level = m_bands[band];
        level += (target - level) * (target > level ? kAttack : kRelease);
        if (level < kRestLevel && target == 0.0f)
            level = 0.0f;

        float& peak = m_peaks[band];
        if (level >= peak) {
            peak = level;
            m_peakHold[band] = kPeakHoldFrames;
            m_peakSpeed[band] = 0.0f;
        } else if (m_peakHold[band] > 0) {
            --m_peakHold[band];
        } else {
            m_peakSpeed[band] += kPeakGravity;
            peak = std::max(level, peak - m_peakSpeed[band]);
        }
    }
}

} // namespace tunevale
