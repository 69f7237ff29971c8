#include "player/visualisation.h"

#include "support/qtprinters.h"
#include "support/signals.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tunevale {
namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 140;

struct Format {
    int sampleRate;
    int channels;
};

void PrintTo(const Format& format, std::ostream* out)
{
    *out << format.sampleRate << "Hz x" << format.channels;
}

// Tones across the range, noise and a swell: enough movement for every style to show.
std::vector<qint16> musicLike(int sampleRate, int channels, double seconds)
{
    std::vector<double> mix(static_cast<size_t>(std::llround(seconds * sampleRate)) * channels);
    const auto add = [&mix](const std::vector<qint16>& part, double gain) {
        for (size_t i = 0; i < mix.size() && i < part.size(); ++i)
            mix[i] += part[i] * gain;
    };
    add(test::sine(80.0, sampleRate, channels, seconds, 0.35), 1.0);
    add(test::sine(440.0, sampleRate, channels, seconds, 0.2), 1.0);
    add(test::sine(2500.0, sampleRate, channels, seconds, 0.08), 1.0);
    add(test::noise(sampleRate, channels, seconds, 7), 0.15);
    std::vector<qint16> samples(mix.size());
    const auto frames = mix.size() / static_cast<size_t>(channels);
    for (size_t i = 0; i < mix.size(); ++i) {
        const double t = static_cast<double>(i / static_cast<size_t>(channels)) / frames;
        const double swell = 0.4 + 0.6 * std::sin(3.14159 * t);
        samples[i] = static_cast<qint16>(std::clamp(mix[i] * swell, -32768.0, 32767.0));
    }
    return samples;
}

// Draws `count` blocks of framesNeeded() frames, stepping through the signal as a player
// drawing 30 times a second would.
void play(Visualisation& view, const std::vector<qint16>& samples, int sampleRate, int channels,
          int count)
{
    const auto need = static_cast<size_t>(view.framesNeeded());
    const auto stride = static_cast<size_t>(sampleRate / 30);
    const auto perFrame = static_cast<size_t>(channels);
    for (int i = 0; i < count; ++i) {
        const size_t start = (static_cast<size_t>(i) * stride) % (samples.size() / perFrame - need);
        view.draw(QVector<qint16>(samples.begin() + static_cast<std::ptrdiff_t>(start * perFrame),
                                  samples.begin() +
                                      static_cast<std::ptrdiff_t>((start + need) * perFrame)));
    }
}

int loudestBand(const QVector<float>& bands)
{
    return static_cast<int>(std::max_element(bands.begin(), bands.end()) - bands.begin());
}

QImage picture(Visualisation& view)
{
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

class VisualisationFormats : public ::testing::TestWithParam<Format> {};

TEST_P(VisualisationFormats, NeedsAPowerOfTwoFramesCoveringSeveralCycles)
{
    Visualisation view;
    view.initialise(GetParam().sampleRate, GetParam().channels);
    const int frames = view.framesNeeded();
    ASSERT_GT(frames, 0);
    EXPECT_EQ(frames & (frames - 1), 0) << frames;
    // At least 20 ms, or the lowest bands cannot be resolved.
    EXPECT_GE(frames, GetParam().sampleRate / 50);
}

TEST_P(VisualisationFormats, ToneLightsTheBandAroundItsFrequency)
{
    const auto [rate, channels] = GetParam();
    Visualisation view;
    view.initialise(rate, channels);
    const auto tone = test::sine(1000.0, rate, channels, 1.0);
    play(view, tone, rate, channels, 6);

    const QVector<float> bands = view.bandLevels();
    ASSERT_FALSE(bands.isEmpty());
    const int loudest = loudestBand(bands);
    const double centre = view.bandCentreFrequency(loudest);
    // Within a third of an octave.
    EXPECT_NEAR(std::log2(centre / 1000.0), 0.0, 1.0 / 3.0) << centre;
    // Far bands stay near the floor.
    EXPECT_LT(bands.front(), 0.2f);
    EXPECT_LT(bands.back(), 0.2f);
}

TEST_P(VisualisationFormats, SilenceLeavesEveryBandAtTheFloor)
{
    const auto [rate, channels] = GetParam();
    Visualisation view;
    view.initialise(rate, channels);
    play(view, test::silence(rate, channels, 1.0), rate, channels, 4);
    const QVector<float> bands = view.bandLevels();
    ASSERT_FALSE(bands.isEmpty());
    for (float level : bands)
        EXPECT_EQ(level, 0.0f);
}

TEST_P(VisualisationFormats, BandCentresRiseFromTheBassToNyquist)
{
    const auto [rate, channels] = GetParam();
    Visualisation view;
    view.initialise(rate, channels);
    const int count = static_cast<int>(view.bandLevels().size());
    ASSERT_GE(count, 16);
    EXPECT_GE(view.bandCentreFrequency(0), 30.0);
    EXPECT_LT(view.bandCentreFrequency(0), 80.0);
    EXPECT_LE(view.bandCentreFrequency(count - 1), rate / 2.0);
    for (int band = 1; band < count; ++band)
        EXPECT_GT(view.bandCentreFrequency(band), view.bandCentreFrequency(band - 1));
    EXPECT_EQ(view.bandCentreFrequency(-1), 0.0);
    EXPECT_EQ(view.bandCentreFrequency(count), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Visualisation, VisualisationFormats,
                         ::testing::Values(Format{8000, 1}, Format{22050, 2}, Format{44100, 2},
                                           Format{48000, 1}, Format{96000, 6}));

TEST(VisualisationLevels, FullScaleReadsOneAndTwentyDecibelsLessReadsAThirdLower)
{
    // Bands span 60 dB from the floor to a full-scale sine.
    const auto levelOf = [](double amplitude) {
        Visualisation view;
        view.initialise(44100, 2);
        play(view, test::sine(1000.0, 44100, 2, 1.0, amplitude), 44100, 2, 8);
        const QVector<float> bands = view.bandLevels();
        return bands[loudestBand(bands)];
    };
    const float full = levelOf(0.999);
    const float quieter = levelOf(0.0999);
    EXPECT_NEAR(full, 1.0f, 0.05f);
    EXPECT_NEAR(full - quieter, 20.0f / 60.0f, 0.03f);
}

TEST(VisualisationLevels, BarsRiseAtOnceAndFallGradually)
{
    Visualisation view;
    view.initialise(44100, 2);
    const auto tone = test::sine(1000.0, 44100, 2, 1.0);
    play(view, tone, 44100, 2, 1);
    const int band = loudestBand(view.bandLevels());
    const float afterOne = view.bandLevels()[band];
    play(view, tone, 44100, 2, 8);
    const float steady = view.bandLevels()[band];
    EXPECT_GT(afterOne, 0.6f * steady);

    const auto silence = test::silence(44100, 2, 1.0);
    play(view, silence, 44100, 2, 1);
    const float falling = view.bandLevels()[band];
    EXPECT_GT(falling, 0.5f * steady);
    EXPECT_LT(falling, steady);
    play(view, silence, 44100, 2, 60);
    EXPECT_EQ(view.bandLevels()[band], 0.0f);
}

TEST(VisualisationLevels, ShortAndRaggedBlocksAreAnalysedWithoutFuss)
{
    Visualisation view;
    view.initialise(44100, 2);
    const auto tone = test::sine(1000.0, 44100, 2, 0.1);
    // Fewer frames than needed, and a trailing half frame.
    QVector<qint16> block(tone.begin(), tone.begin() + view.framesNeeded() + 1);
    for (int i = 0; i < 4; ++i)
        view.draw(block);
    const QVector<float> bands = view.bandLevels();
    EXPECT_NEAR(std::log2(view.bandCentreFrequency(loudestBand(bands)) / 1000.0), 0.0, 1.0 / 3.0);
}

TEST(VisualisationStyle, DefaultsToNormalAndClampsOutOfRangeValues)
{
    Visualisation view;
    EXPECT_EQ(view.style(), 2);
    view.setStyle(4);
    EXPECT_EQ(view.style(), 4);
    view.setStyle(-3);
    EXPECT_EQ(view.style(), 0);
    view.setStyle(Visualisation::kStyleCount + 3);
    EXPECT_EQ(view.style(), Visualisation::kStyleCount - 1);
}

class VisualisationPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_music = musicLike(kRate, kChannels, 2.0);
        for (int style = 0; style < Visualisation::kStyleCount; ++style) {
            Visualisation view;
            view.resize(kWidth, kHeight);
            view.setStyle(style);
            view.initialise(kRate, kChannels);
            m_idle.push_back(picture(view));
        }
    }
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;
    std::vector<qint16> m_music;
    std::vector<QImage> m_idle;
};

TEST_F(VisualisationPictures, EveryStyleLooksDifferentAndMovesAwayFromIdle)
{
    std::vector<QImage> playing;
    for (int style = 0; style < Visualisation::kStyleCount; ++style) {
        Visualisation view;
        view.resize(kWidth, kHeight);
        view.setStyle(style);
        view.initialise(kRate, kChannels);
        play(view, m_music, kRate, kChannels, 30);
        playing.push_back(picture(view));
        EXPECT_EQ(playing.back().size(), QSize(kWidth, kHeight));
        EXPECT_NE(playing.back(), m_idle[static_cast<size_t>(style)]) << "style " << style;
    }
    for (size_t a = 0; a < playing.size(); ++a) {
        for (size_t b = a + 1; b < playing.size(); ++b) {
            EXPECT_NE(playing[a], playing[b]) << "styles " << a << " and " << b;
            EXPECT_NE(m_idle[a], m_idle[b]) << "idle styles " << a << " and " << b;
        }
    }
}

TEST_F(VisualisationPictures, EmptyDrawReturnsEveryStyleToItsIdlePicture)
{
    for (int style = 0; style < Visualisation::kStyleCount; ++style) {
        Visualisation view;
        view.resize(kWidth, kHeight);
        view.initialise(kRate, kChannels);
        view.setStyle(style);
        play(view, m_music, kRate, kChannels, 20);
        view.draw({});
        EXPECT_EQ(picture(view), m_idle[static_cast<size_t>(style)]) << "style " << style;
        for (float level : view.bandLevels())
            EXPECT_EQ(level, 0.0f);
    }
}

TEST_F(VisualisationPictures, SwitchingStylesKeepsWhatWasPlayed)
{
    Visualisation view;
    view.resize(kWidth, kHeight);
    view.initialise(kRate, kChannels);
    play(view, m_music, kRate, kChannels, 20);
    const QImage before = picture(view);
    const QVector<float> bands = view.bandLevels();
    for (int style = 0; style < Visualisation::kStyleCount; ++style) {
        view.setStyle(style);
        picture(view);
    }
    view.setStyle(2);
    EXPECT_EQ(view.bandLevels(), bands);
    EXPECT_EQ(picture(view), before);
}

TEST_F(VisualisationPictures, ResizingDrawsAsIfBuiltAtTheNewSize)
{
    for (int style = 0; style < Visualisation::kStyleCount; ++style) {
        Visualisation resized;
        resized.resize(kWidth, kHeight);
        resized.setStyle(style);
        resized.initialise(kRate, kChannels);
        play(resized, m_music, kRate, kChannels, 10);
        picture(resized);
        for (const QSize& size : {resized.minimumSizeHint(), QSize(900, 300)}) {
            resized.resize(size);
            Visualisation built;
            built.resize(size);
            built.setStyle(style);
            built.initialise(kRate, kChannels);
            play(built, m_music, kRate, kChannels, 10);
            const QImage image = picture(resized);
            EXPECT_EQ(image.size(), size);
            EXPECT_EQ(image, picture(built)) << "style " << style << " at " << size.width();
        }
    }
}

} // namespace
} // namespace tunevale
