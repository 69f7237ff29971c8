#pragma once

#include <QtGlobal>

#include <span>
#include <vector>

namespace tunevale {

// Finds the true peak of interleaved 16-bit samples: the highest level of the waveform
// between the samples too, by oversampling four times below 96 kHz and twice below 192 kHz
// with a 49-point windowed-sinc interpolator (above that the sample peak is the true peak).
// The result is a linear ratio to full scale, never below the sample peak. Only stretches
// whose samples come near the highest level so far are oversampled, so a meter costs little.
class TruePeakMeter {
public:
    // Starts afresh; rates or channel counts of 0 or less leave the meter measuring nothing.
    void start(int sampleRate, int channels);
    // Adds whole frames (a partial frame at the end is ignored).
    void add(std::span<const qint16> samples);
    double peak() const { return m_peak; }

private:
    // How far a stretch's samples move: the highest absolute value, first difference and
    // second difference among them.
    struct Spread {
        float peak = 0;
        float step = 0;
        float bend = 0;
    };
    // Limits of one phase's outputs, from the spread of the samples it reaches over (see start).
    struct PhaseBound {
        float gain = 0;     // times the peak
        float stepFlat = 0; // times the peak, plus
        float step = 0;     // times the first difference
        float bendFlat = 0; // times the peak, plus
        float bend = 0;     // times the second difference
    };
    // A chunk that may raise the peak, and how high it could reach.
    struct Candidate {
        float bound = 0;
        size_t chunk = 0;
    };
    void addChannel(size_t frames);
    float bound(const Spread& spread) const;
    static Spread chunkSpread(const float* samples);
    static Spread spreadOf(const float* samples, size_t count);

    int m_channels = 0;
    int m_factor = 1;
    size_t m_taps = 0; // taps per interpolated phase
    // Oversamples one chunk of frames: the fastest form the processor runs.
    float (*m_chunkPeak)(const float* newest, const float* phases, size_t taps) = nullptr;
    std::vector<float> m_phases; // the phases between samples, m_taps coefficients each
    std::vector<PhaseBound> m_bounds;
    std::vector<float> m_signal;   // one channel: m_taps - 1 samples of history, then the block
    std::vector<float> m_history;  // per channel, the last m_taps - 1 samples added
    std::vector<Spread> m_spreads; // of each chunk of the block
    std::vector<Candidate> m_candidates;
    float m_peak = 0;
};

} // namespace tunevale
