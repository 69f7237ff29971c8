#pragma once

#include <QtGlobal>

#include <span>
#include <vector>

// Synthetic test signals and the measurements the tests judge decoded audio by.
namespace tunevale::test {

// Interleaved 16-bit samples; amplitude is a fraction of full scale.
std::vector<qint16> sine(double frequency, int sampleRate, int channels, double seconds,
                         double amplitude = 0.5);
std::vector<qint16> silence(int sampleRate, int channels, double seconds);
std::vector<qint16> noise(int sampleRate, int channels, double seconds, unsigned seed = 1);

// Frequency of one channel, from its zero crossings (best for a single tone).
double dominantFrequency(std::span<const qint16> samples, int sampleRate, int channels,
                         int channel = 0);
// Root mean square level as a fraction of full scale.
double rmsLevel(std::span<const qint16> samples);

} // namespace tunevale::test
