#include "convert/gatedloudness.h"

#include "convert/vectorlanes.h"

#include <cmath>
#include <numbers>
#include <numeric>

namespace tunevale {

namespace {

constexpr double kFullScale = 1.0 / 32768.0;
constexpr double kAbsoluteGateLufs = -70.0;
constexpr double kRelativeGateLu = -10.0;
// The offset of the loudness scale: a 997 Hz sine at full scale reads -3.01 LUFS per channel.
constexpr double kOffset = -0.691;
// A filter state this small is gone for any 16-bit signal; zeroing it keeps the filters out
// of denormal numbers, which are slow, after long silence.
constexpr double kNegligible = 1e-20;

double lufsOf(double meanSquare)
{
    return kOffset + 10 * std::log10(meanSquare);
}

double meanSquareOf(double lufs)
{
    return std::pow(10.0, (lufs - kOffset) / 10);
}

// The weight of a channel in the layout libebur128 assumes for a channel count: surround
// channels count 1.41, a low-frequency channel (the fourth of six) and any past six nothing.
double channelWeight(int channel, int channels)
{
    constexpr double kSurround = 1.41;
    if (channels == 4)
        return channel >= 2 ? kSurround : 1.0;
    if (channels == 5)
        return channel >= 3 ? kSurround : 1.0;
    if (channel < 3)
        return 1.0;
    return channel == 4 || channel == 5 ? kSurround : 0.0;
}

} // namespace

void GatedLoudness::start(int sampleRate, int channels)
{
    m_channels.clear();
    m_blocks.clear();
    m_step = 0;
    m_inStep = 0;
    m_stepSum = 0;
    m_steps = {};
    m_stepsDone = 0;
    if (sampleRate <= 0 || channels <= 0)
        return;
    // The two stages of the K-weighting filter, from their analogue prototypes: a high shelf
    // of +4 dB above about 1.7 kHz, then a high pass at 38 Hz.
    const double rate = sampleRate;
    {
        const double f0 = 1681.974450955533;
        const double gainDb = 3.999843853973347;
        const double q = 0.7071752369554196;
        const double k = std::tan(std::numbers::pi * f0 / rate);
        const double vh = std::pow(10.0, gainDb / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        m_shelf.b = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
                     (vh - vb * k / q + k * k) / a0};
        m_shelf.a = {2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
    {
        const double f0 = 38.13547087602444;
        const double q = 0.5003270373238773;
        const double k = std::tan(std::numbers::pi * f0 / rate);
        const double a0 = 1.0 + k / q + k * k;
        m_highPass.b = {1.0, -2.0, 1.0};
        m_highPass.a = {2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
    m_channels.resize(size_t(channels));
    for (int channel = 0; channel < channels; ++channel)
        m_channels[size_t(channel)].weight = channelWeight(channel, channels);
    m_step = (sampleRate + 5) / 10;
}

void GatedLoudness::add(std::span<const qint16> samples)
{
    if (m_channels.empty())
        return;
    const size_t channels = m_channels.size();
    const size_t frames = samples.size() / channels;
    size_t frame = 0;
    while (frame < frames) {
        const size_t run = std::min(frames - frame, size_t(m_step - m_inStep));
        const qint16* in = samples.data() + frame * channels;
        // Two channels at a time, side by side in one vector.
        size_t channel = 0;
        for (; channel + 2 <= channels; channel += 2)
            filterPair(in, channels, channel, run);
        if (channel < channels)
            filterOne(in, channels, channel, run);
        frame += run;
        m_inStep += int(run);
        if (m_inStep == m_step)
            endStep();
    }
}

template <typename Value>
[[gnu::always_inline]] inline Value GatedLoudness::weigh(Value x, const Biquad& shelf,
                                                         const Biquad& highPass, Value& s1,
                                                         Value& s2, Value& h1, Value& h2)
{
    // Direct form II: the recursion through w[n - 1] is one multiply and one subtraction per
    // sample, the shortest chain of dependent steps a biquad allows. The high pass's numerator
    // is 1, -2, 1.
    const Value w = (x - shelf.a[1] * s2) - shelf.a[0] * s1;
    const Value shelved = shelf.b[0] * w + shelf.b[1] * s1 + shelf.b[2] * s2;
    s2 = s1;
    s1 = w;
    const Value v = (shelved - highPass.a[1] * h2) - highPass.a[0] * h1;
    const Value weighted = (v + h2) - 2.0 * h1;
    h2 = h1;
    h1 = v;
    return weighted;
}

void GatedLoudness::filterOne(const qint16* in, size_t stride, size_t channel, size_t frames)
{
    const Biquad shelf = m_shelf;
    const Biquad highPass = m_highPass;
    ChannelState& state = m_channels[channel];
    double s1 = state.shelf[0], s2 = state.shelf[1], h1 = state.highPass[0], h2 = state.highPass[1];
    double sum = 0;
    for (size_t index = 0; index < frames; ++index) {
        const double x = double(in[index * stride + channel]) * kFullScale;
        const double weighted = weigh(x, shelf, highPass, s1, s2, h1, h2);
        sum += weighted * weighted;
    }
    state.shelf = {s1, s2};
    state.highPass = {h1, h2};
    m_stepSum += state.weight * sum;
}

// Two channels side by side in one vector: the same steps, half the instructions.
void GatedLoudness::filterPair(const qint16* in, size_t stride, size_t first, size_t frames)
{
    const Biquad shelf = m_shelf;
    const Biquad highPass = m_highPass;
    ChannelState& left = m_channels[first];
    ChannelState& right = m_channels[first + 1];
    Double2 s1 = {left.shelf[0], right.shelf[0]};
    Double2 s2 = {left.shelf[1], right.shelf[1]};
    Double2 h1 = {left.highPass[0], right.highPass[0]};
    Double2 h2 = {left.highPass[1], right.highPass[1]};
    Double2 sum = {};
    for (size_t index = 0; index < frames; ++index) {
        const qint16* frame = in + index * stride + first;
        const Double2 x = kFullScale * Double2{double(frame[0]), double(frame[1])};
        const Double2 weighted = weigh(x, shelf, highPass, s1, s2, h1, h2);
        sum += weighted * weighted;
    }
    left.shelf = {s1[0], s2[0]};
    right.shelf = {s1[1], s2[1]};
    left.highPass = {h1[0], h2[0]};
    right.highPass = {h1[1], h2[1]};
    m_stepSum += left.weight * sum[0] + right.weight * sum[1];
}

void GatedLoudness::endStep()
{
    m_steps[size_t(m_stepsDone % 4)] = m_stepSum;
    ++m_stepsDone;
    m_stepSum = 0;
    m_inStep = 0;
    for (ChannelState& state : m_channels) {
        for (double* value :
             {&state.shelf[0], &state.shelf[1], &state.highPass[0], &state.highPass[1]}) {
            if (std::abs(*value) < kNegligible)
                *value = 0;
        }
    }
    if (m_stepsDone < 4)
        return;
    const double meanSquare =
        std::accumulate(m_steps.begin(), m_steps.end(), 0.0) / (4.0 * double(m_step));
    if (meanSquare >= meanSquareOf(kAbsoluteGateLufs))
        m_blocks.push_back(meanSquare);
}

double GatedLoudness::integrated(std::span<const std::vector<double>* const> blockLists)
{
    double sum = 0;
    size_t count = 0;
    for (const std::vector<double>* blocks : blockLists) {
        sum = std::accumulate(blocks->begin(), blocks->end(), sum);
        count += blocks->size();
    }
    if (count == 0)
        return -HUGE_VAL;
    const double gate = meanSquareOf(lufsOf(sum / double(count)) + kRelativeGateLu);
    double gatedSum = 0;
    size_t gatedCount = 0;
    for (const std::vector<double>* blocks : blockLists) {
        for (const double block : *blocks) {
            if (block >= gate) {
                gatedSum += block;
                ++gatedCount;
            }
        }
    }
    return gatedCount == 0 ? -HUGE_VAL : lufsOf(gatedSum / double(gatedCount));
}

} // namespace tunevale
