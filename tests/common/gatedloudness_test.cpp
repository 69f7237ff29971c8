#include "convert/gatedloudness.h"
#include "support/fixtures.h"

#include <ebur128.h>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

using namespace tunevale;

namespace {

struct Source {
    int rate;
    int channels;
    std::vector<qint16> samples;
};

// Tones and noise whose level changes every 130 ms over 50 dB, some of it under the gates,
// each channel its own.
Source varied(int rate, int channels, double seconds, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::uniform_real_distribution<double> levelDb(-75.0, -3.0);
    Source source{rate, channels, {}};
    double gain = 0;
    const auto stretch = qint64(0.13 * rate);
    for (qint64 frame = 0; frame < qint64(seconds * rate); ++frame) {
        if (frame % stretch == 0)
            gain = std::pow(10.0, levelDb(random) / 20);
        const double t = double(frame) / rate;
        for (int channel = 0; channel < channels; ++channel) {
            const double tone = std::sin(2 * std::numbers::pi * (60.0 + 900.0 * channel) * t);
            const double value = gain * (0.6 * tone + 0.4 * uniform(random));
            source.samples.push_back(qint16(std::lround(32767 * value)));
        }
    }
    return source;
}

std::vector<double> blocksOf(const Source& source)
{
    GatedLoudness loudness;
    loudness.start(source.rate, source.channels);
    test::feedInUnevenPieces(source.samples, source.channels, [&](std::span<const qint16> piece) {
        loudness.add(piece);
        return true;
    });
    return loudness.blocks();
}

struct Reference {
    explicit Reference(const Source& source)
        : state(ebur128_init(unsigned(source.channels), unsigned(source.rate), EBUR128_MODE_I))
    {
        ebur128_add_frames_short(state, source.samples.data(),
                                 source.samples.size() / size_t(source.channels));
    }
    ~Reference() { ebur128_destroy(&state); }
    ebur128_state* state;
};

} // namespace

// The same integrated loudness as libebur128's, alone and for several streams taken as one,
// at common and odd rates and with the channel counts whose layouts weight channels apart.
TEST(GatedLoudness, MatchesLibebur128)
{
    std::vector<Source> sources;
    unsigned seed = 1;
    for (const int rate : {8000, 11025, 44100, 48000, 96000})
        sources.push_back(varied(rate, 2, 12, seed++));
    for (const int channels : {1, 3, 4, 5, 6, 8})
        sources.push_back(varied(48000, channels, 6, seed++));
    for (const Source& source : sources) {
        const std::vector<double> blocks = blocksOf(source);
        const std::array<const std::vector<double>*, 1> lists{&blocks};
        const Reference reference(source);
        double expected = 0;
        ebur128_loudness_global(reference.state, &expected);
        EXPECT_NEAR(GatedLoudness::integrated(lists), expected, 0.001)
            << source.rate << " Hz, " << source.channels << " channels";
    }

    const std::vector<double> first = blocksOf(sources[2]);
    const std::vector<double> second = blocksOf(sources[3]);
    const std::array<const std::vector<double>*, 2> both{&first, &second};
    const Reference one(sources[2]);
    const Reference other(sources[3]);
    std::array<ebur128_state*, 2> states{one.state, other.state};
    double expected = 0;
    ebur128_loudness_global_multiple(states.data(), states.size(), &expected);
    EXPECT_NEAR(GatedLoudness::integrated(both), expected, 0.001);
}

TEST(GatedLoudness, SilenceAndLongQuietHaveNoLoudness)
{
    GatedLoudness loudness;
    loudness.start(44100, 2);
    EXPECT_EQ(loudness.stepFrames(), 4410);
    // A loud second, then minutes of silence the filters decay through.
    Source loud = varied(44100, 2, 1, 9);
    loudness.add(loud.samples);
    const std::vector<qint16> silence(size_t(44100) * 2 * 120, 0);
    loudness.add(silence);
    const std::array<const std::vector<double>*, 1> lists{&loudness.blocks()};
    EXPECT_TRUE(std::isfinite(GatedLoudness::integrated(lists)));
    EXPECT_LE(loudness.blocks().size(), 13u);

    loudness.start(44100, 2);
    loudness.add(silence);
    EXPECT_TRUE(loudness.blocks().empty());
    EXPECT_FALSE(std::isfinite(GatedLoudness::integrated(lists)));
}
