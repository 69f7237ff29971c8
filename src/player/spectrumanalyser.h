#pragma once

#include <QtGlobal>

#include <array>
#include <memory>
#include <span>
#include <vector>

namespace tunevale {

// Turns blocks of interleaved 16-bit samples into what the visualisation draws: log-spaced
// spectrum bands with fast-attack, slow-release smoothing and falling peak markers, plus the
// level and waveform of the front pair of channels. One analyse() call is one drawn frame, so
// the ballistics are counted in frames, not in seconds.
class SpectrumAnalyser final {
public:
    static constexpr int kBandCount = 40;
    static constexpr double kLowestFrequency = 40.0;
    static constexpr double kHighestFrequency = 20000.0;
    // Band levels are 0 at this level and 1 at a full-scale sine.
    static constexpr float kFloorDb = -60.0f;
    // Level meters read this when there is no sound at all.
    static constexpr float kSilenceDb = -120.0f;

    SpectrumAnalyser();
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    // Rates and channel counts are clamped to sane ranges; the state is reset.
    void initialise(int sampleRate, int channels);
    // Frames one analysis reads: a power of two spanning about 40 ms.
    int frames() const { return m_frames; }
    int sampleRate() const { return m_sampleRate; }
    int channels() const { return m_channels; }
    // Analyses the last frames() whole frames of the block; a shorter block is zero-padded.
    void analyse(std::span<const qint16> interleaved);
    // Back to silence: bands, peaks, levels and waveforms at rest.
    void reset();

    // Smoothed band levels and their peak markers, 0 (floor) to 1 (full scale).
    std::span<const float> bands() const { return m_bands; }
    std::span<const float> peaks() const { return m_peaks; }
    double bandCentreFrequency(int band) const;

    // 1 for a mono source, else 2: the level and waveform views show the front pair.
    int sides() const { return m_channels == 1 ? 1 : 2; }
    // Root mean square and peak of one side in dB relative to a full-scale sine.
    float rmsDb(int side) const { return m_rmsDb[sideIndex(side)]; }
    float peakDb(int side) const { return m_peakDb[sideIndex(side)]; }
    // One side's samples of the last block, -1 to 1, frames() long.
    std::span<const float> waveform(int side) const { return m_waveform[sideIndex(side)]; }

private:
    // The transform and its output buffer, kept out of this header with the library's types.
    struct Fft;
    static int sideIndex(int side) { return side == 1 ? 1 : 0; }
    void computeBandLevels();

    int m_sampleRate = 44100;
    int m_channels = 2;
    int m_frames = 2048;
    std::unique_ptr<Fft> m_fft;
    std::vector<float> m_window;
    std::vector<float> m_mono;
    std::vector<float> m_power;
    std::array<double, kBandCount + 1> m_bandEdges{}; // in bins
    std::vector<float> m_bands;
    std::vector<float> m_peaks;
    std::vector<int> m_peakHold;
    std::vector<float> m_peakSpeed;
    std::array<std::vector<float>, 2> m_waveform;
    std::array<float, 2> m_rmsDb{kSilenceDb, kSilenceDb};
    std::array<float, 2> m_peakDb{kSilenceDb, kSilenceDb};
};

} // namespace tunevale
