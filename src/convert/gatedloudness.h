#pragma once

#include <QtGlobal>

#include <array>
#include <span>
#include <vector>

namespace tunevale {

// Integrated loudness of interleaved 16-bit samples as ITU-R BS.1770 defines it: each channel
// K-weighted, 400 ms blocks every 100 ms, an absolute gate at -70 LUFS and a relative one
// 10 LU under the blocks above it. Measures as libebur128 does (same block grid, channel
// weights and gates) in a fraction of its time.
class GatedLoudness {
public:
    // Starts afresh; rates or channel counts of 0 or less leave it measuring nothing.
    void start(int sampleRate, int channels);
    // Adds whole frames (a partial frame at the end is ignored).
    void add(std::span<const qint16> samples);

    // The mean square of each block so far that passed the absolute gate, in order.
    const std::vector<double>& blocks() const { return m_blocks; }
    // Frames from one block start to the next (100 ms, rounded as libebur128 rounds it).
    int stepFrames() const { return m_step; }

    // The integrated loudness in LUFS of the blocks of several measurements taken as one
    // stream; minus infinity when no block passed the gates.
    static double integrated(std::span<const std::vector<double>* const> blockLists);

private:
    // One K-weighting stage: a biquad (a[0] and a[1] are the feedback of one and two samples
    // back).
    struct Biquad {
        std::array<double, 3> b{};
        std::array<double, 2> a{};
    };
    struct ChannelState {
        std::array<double, 2> shelf{};
        std::array<double, 2> highPass{};
        double weight = 1;
    };
    // Filters frames of one channel (a pair of channels from first on) of interleaved samples
    // in, stride samples a frame, adding their weighted squares to the step's sum.
    void filterOne(const qint16* in, size_t stride, size_t channel, size_t frames);
    void filterPair(const qint16* in, size_t stride, size_t first, size_t frames);
    // One step of the K-weighting filter for sample x (a double, or a vector of doubles for
    // channels side by side): updates the states (w[n - 1], w[n - 2] of the shelf, s1 and s2,
    // and of the high pass, h1 and h2) and returns the weighted sample.
    template <typename Value>
    static Value weigh(Value x, const Biquad& shelf, const Biquad& highPass, Value& s1, Value& s2,
                       Value& h1, Value& h2);
    void endStep();

    Biquad m_shelf;
    Biquad m_highPass;
    std::vector<ChannelState> m_channels;
    int m_step = 0;
    int m_inStep = 0;                // frames of the current step so far
    double m_stepSum = 0;            // its weighted sum of squares
    std::array<double, 4> m_steps{}; // the sums of the last four whole steps
    qint64 m_stepsDone = 0;
    std::vector<double> m_blocks;
};

} // namespace tunevale
