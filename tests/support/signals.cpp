#include "support/signals.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace tunevale::test {

std::vector<qint16> sine(double frequency, int sampleRate, int channels, double seconds,
                         double amplitude)
{
    const auto frames = static_cast<size_t>(std::llround(seconds * sampleRate));
    std::vector<qint16> samples(frames * channels);
    for (size_t frame = 0; frame < frames; ++frame) {
        const double value =
            amplitude * 32767.0 *
            std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(frame) / sampleRate);
        std::fill_n(samples.begin() + frame * channels, channels,
                    static_cast<qint16>(std::lround(value)));
    }
    return samples;
}

std::vector<qint16> silence(int sampleRate, int channels, double seconds)
{
    return std::vector<qint16>(static_cast<size_t>(std::llround(seconds * sampleRate)) * channels);
}

std::vector<qint16> noise(int sampleRate, int channels, double seconds, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> distribution(-12000, 12000);
    std::vector<qint16> samples(static_cast<size_t>(std::llround(seconds * sampleRate)) * channels);
    for (auto& sample : samples)
        sample = static_cast<qint16>(distribution(generator));
    return samples;
}

double dominantFrequency(std::span<const qint16> samples, int sampleRate, int channels, int channel)
{
    // Mean period between rising zero crossings, ignoring the stray crossings that codec
    // noise adds near zero (periods far from the median).
    std::vector<long> periods;
    long previousCrossing = -1;
    const long frames = static_cast<long>(samples.size()) / channels;
    for (long frame = 1; frame < frames; ++frame) {
        const int previous = samples[(frame - 1) * channels + channel];
        const int current = samples[frame * channels + channel];
        if (previous < 0 && current >= 0) {
            if (previousCrossing >= 0)
                periods.push_back(frame - previousCrossing);
            previousCrossing = frame;
        }
    }
    if (periods.empty())
        return 0.0;
    std::vector<long> sorted = periods;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2),
                     sorted.end());
    const double median = static_cast<double>(sorted[sorted.size() / 2]);
    double sum = 0.0;
    long kept = 0;
    for (const long period : periods) {
        if (std::abs(static_cast<double>(period) - median) <= 0.25 * median) {
            sum += static_cast<double>(period);
            ++kept;
        }
    }
    return kept ? sampleRate * static_cast<double>(kept) / sum : 0.0;
}

double rmsLevel(std::span<const qint16> samples)
{
    if (samples.empty())
        return 0.0;
    double sum = 0.0;
    for (const qint16 sample : samples)
        sum += static_cast<double>(sample) * sample;
    return std::sqrt(sum / static_cast<double>(samples.size())) / 32768.0;
}

} // namespace tunevale::test
