#include "common/codecs/vorbisencoder.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tunevale {
namespace {

using test::encodeInBlocks;
using test::openEncoder;

using Samples = std::vector<qint16>;

OggFormat bitrateFormat(int rate, int channels, int kbps, int minKbps = 0, int maxKbps = 0)
{
    return {.sampleRate = rate,
            .channels = channels,
            .bitrate = kbps,
            .minBitrate = minKbps,
            .maxBitrate = maxKbps,
            .managed = minKbps > 0 || maxKbps > 0};
}

OggFormat qualityFormat(int rate, int channels, int quality)
{
    return {.sampleRate = rate, .channels = channels, .quality = quality, .qualityMode = true};
}

double channelFrequency(int channel)
{
    return 1000.0 + 1500.0 * channel;
}

// A different tone on each channel, so swapped or mixed channels show.
Samples tonePerChannel(int rate, int channels, double seconds)
{
    Samples mix(static_cast<size_t>(std::llround(seconds * rate)) * channels);
    for (int channel = 0; channel < channels; ++channel) {
        const Samples tone = test::sine(channelFrequency(channel), rate, 1, seconds);
        for (size_t frame = 0; frame < tone.size(); ++frame)
            mix[frame * channels + channel] = tone[frame];
    }
    return mix;
}

Samples noise(int rate, int channels, double seconds)
{
    return test::noise(rate, channels, seconds, 7);
}

Samples quietTone(int rate, int channels, double seconds)
{
    return test::sine(440.0, rate, channels, seconds, 0.01);
}

struct ModeCase {
    const char* name;
    OggFormat format;
};

class VorbisModeTest : public testing::TestWithParam<ModeCase> {};

TEST_P(VorbisModeTest, TonesAndSilenceSurviveTheRoundTrip)
{
    const OggFormat format = GetParam().format;
    const int rate = format.sampleRate;
    const test::TempDir dir;
    for (const bool silent : {false, true}) {
        const Samples input = silent ? test::silence(rate, format.channels, 1.0)
                                     : tonePerChannel(rate, format.channels, 2.5);
        const QString path = dir.file(silent ? QStringLiteral("s.ogg") : QStringLiteral("t.ogg"));
        VorbisEncoder encoder(format);
        const Status status = encodeInBlocks(encoder, path, input);
        ASSERT_TRUE(status) << status.message().toStdString();

        const test::Decoded decoded = test::decodeFile(path);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.format, encoder.inputFormat());
        EXPECT_NEAR(double(decoded.frames()), double(input.size() / format.channels), rate * 0.005);
        if (silent) {
            EXPECT_LT(test::rmsLevel(decoded.samples), 0.0005);
            continue;
        }
        for (int channel = 0; channel < format.channels; ++channel)
            EXPECT_NEAR(test::dominantFrequency(decoded.samples, rate, format.channels, channel),
                        channelFrequency(channel), 5.0);
        EXPECT_NEAR(test::rmsLevel(decoded.samples), test::rmsLevel(input), 0.03);
    }
}

INSTANTIATE_TEST_SUITE_P(
    VorbisModes, VorbisModeTest,
    testing::Values(ModeCase{"Nominal128", bitrateFormat(44100, 2, 128)},
                    ModeCase{"Managed96To160", bitrateFormat(44100, 2, 128, 96, 160)},
                    ModeCase{"ManagedMaxOnly", bitrateFormat(44100, 2, 128, 0, 192)},
                    ModeCase{"Quality3", qualityFormat(44100, 2, 300)},
                    ModeCase{"Quality10", qualityFormat(44100, 2, 1000)},
                    ModeCase{"Mono8000", bitrateFormat(8000, 1, 16)},
                    ModeCase{"Stereo22050", bitrateFormat(22050, 2, 64)},
                    ModeCase{"Quality1At22050", qualityFormat(22050, 2, 100)},
                    ModeCase{"Stereo48000", bitrateFormat(48000, 2, 160)},
                    ModeCase{"Mono32000Managed", bitrateFormat(32000, 1, 64, 48, 96)}),
    [](const testing::TestParamInfo<ModeCase>& info) { return info.param.name; });

TEST(VorbisQuality, HigherLevelMakesBiggerFile)
{
    Samples input = noise(44100, 2, 3.0);
    const Samples tone = tonePerChannel(44100, 2, 3.0);
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = static_cast<qint16>(input[i] / 4 + tone[i] / 2);
    const test::TempDir dir;
    const int levels[] = {2, 6};
    qint64 sizes[2] = {};
    for (int i = 0; i < 2; ++i) {
        const QString path = dir.file(QStringLiteral("q%1.ogg").arg(levels[i]));
        VorbisEncoder encoder(qualityFormat(44100, 2, levels[i] * 100));
        ASSERT_TRUE(encodeInBlocks(encoder, path, input));
        sizes[i] = QFileInfo(path).size();
    }
    EXPECT_GT(sizes[1], sizes[0] * 3 / 2);
}

struct BitrateCase {
    const char* name;
    OggFormat format;
    Samples (*signal)(int, int, double);
    double lowestKbps;
    double highestKbps;
};

class VorbisBitrateTest : public testing::TestWithParam<BitrateCase> {};

TEST_P(VorbisBitrateTest, FileBitrateStaysNearTarget)
{
    const BitrateCase& param = GetParam();
    constexpr double kSeconds = 8.0;
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("rate.ogg"));
    VorbisEncoder encoder(param.format);
    ASSERT_TRUE(encodeInBlocks(
        encoder, path, param.signal(param.format.sampleRate, param.format.channels, kSeconds)));
    const double kbps = double(QFileInfo(path).size()) * 8.0 / kSeconds / 1000.0;
    EXPECT_GE(kbps, param.lowestKbps);
    EXPECT_LE(kbps, param.highestKbps);
}

// Noise makes the encoder spend all it may, so a maximum must cap it and a plain nominal
// bitrate must land near its target; a quiet tone needs little, so a minimum must pad it.
INSTANTIATE_TEST_SUITE_P(
    VorbisBitrates, VorbisBitrateTest,
    testing::Values(
        BitrateCase{"Managed96To160", bitrateFormat(44100, 2, 128, 96, 160), noise, 96, 160},
        BitrateCase{"Managed64To96", bitrateFormat(44100, 2, 0, 64, 96), noise, 64, 101},
        BitrateCase{"MaxOnly96", bitrateFormat(44100, 2, 0, 0, 96), noise, 67, 101},
        BitrateCase{"Mono32To48", bitrateFormat(22050, 1, 40, 32, 48), noise, 32, 51},
        BitrateCase{"MinimumOnQuiet", bitrateFormat(44100, 2, 128, 112, 160), quietTone, 109, 160},
        BitrateCase{"Nominal128", bitrateFormat(44100, 2, 128), noise, 102, 154},
        BitrateCase{"Nominal64", bitrateFormat(44100, 2, 64), noise, 51, 77}),
    [](const testing::TestParamInfo<BitrateCase>& info) { return info.param.name; });

struct RangeCase {
    int rate;
    int channels;
    int lowestKbps;
    int highestKbps;
};

class VorbisCheckTest : public testing::TestWithParam<RangeCase> {};

TEST_P(VorbisCheckTest, AcceptsExactlyTheSupportedRange)
{
    const auto [rate, channels, lowest, highest] = GetParam();
    EXPECT_TRUE(VorbisEncoder::check(rate, channels, lowest, 0, 0));
    EXPECT_TRUE(VorbisEncoder::check(rate, channels, highest, 0, 0));
    EXPECT_FALSE(VorbisEncoder::check(rate, channels, lowest - 1, 0, 0));
    EXPECT_FALSE(VorbisEncoder::check(rate, channels, highest + 1, 0, 0));
    // The same edges hold when minimum and maximum pin the bitrate.
    EXPECT_TRUE(VorbisEncoder::check(rate, channels, highest, highest, highest));
    EXPECT_FALSE(VorbisEncoder::check(rate, channels, highest + 1, highest + 1, highest + 1));
}

INSTANTIATE_TEST_SUITE_P(VorbisChecks, VorbisCheckTest,
                         testing::Values(RangeCase{8000, 1, 8, 42}, RangeCase{8000, 2, 12, 84},
                                         RangeCase{11025, 2, 16, 100}, RangeCase{16000, 1, 16, 100},
                                         RangeCase{22050, 1, 16, 90}, RangeCase{22050, 2, 30, 180},
                                         RangeCase{24000, 2, 30, 180}, RangeCase{32000, 1, 30, 190},
                                         RangeCase{44100, 1, 32, 240}, RangeCase{44100, 2, 45, 500},
                                         RangeCase{48000, 2, 45, 500}));

TEST(VorbisCheck, AnswersForCommonAndImpossibleFormats)
{
    EXPECT_TRUE(VorbisEncoder::check(44100, 2, 128, 0, 0));
    EXPECT_TRUE(VorbisEncoder::check(44100, 2, 128, 96, 160));
    EXPECT_TRUE(VorbisEncoder::check(44100, 2, 0, 96, 160));
    EXPECT_FALSE(VorbisEncoder::check(8000, 2, 320, 0, 0));
    EXPECT_FALSE(VorbisEncoder::check(44100, 2, 600, 96, 160));
    EXPECT_FALSE(VorbisEncoder::check(44100, 2, 0, 600, 0));
    EXPECT_FALSE(VorbisEncoder::check(44100, 2, 0, 0, 0));
    EXPECT_FALSE(VorbisEncoder::check(0, 2, 128, 0, 0));
    EXPECT_FALSE(VorbisEncoder::check(44100, 0, 128, 0, 0));
}

// libvorbisenc itself takes these and writes the impossible range into the header.
TEST(VorbisCheck, RangeMustHoldTogether)
{
    EXPECT_FALSE(VorbisEncoder::check(44100, 2, 128, 320, 8));
    EXPECT_FALSE(VorbisEncoder::check(44100, 2, 0, 320, 8));
    EXPECT_FALSE(VorbisEncoder::check(44100, 2, 200, 32, 128));
    EXPECT_FALSE(VorbisEncoder::check(44100, 2, 64, 96, 0));
    EXPECT_TRUE(VorbisEncoder::check(44100, 2, 128, 128, 128));
    EXPECT_TRUE(VorbisEncoder::check(44100, 2, 96, 0, 128));
    EXPECT_EQ(VorbisEncoder::bitrateRangeProblem(128, 320, 8),
              u"the minimum bitrate 320 Kbps is above the maximum 8 Kbps");
    EXPECT_EQ(VorbisEncoder::bitrateRangeProblem(200, 32, 128),
              u"the bitrate 200 Kbps is above the maximum 128 Kbps");
    EXPECT_EQ(VorbisEncoder::bitrateRangeProblem(64, 96, 0),
              u"the bitrate 64 Kbps is below the minimum 96 Kbps");
    EXPECT_TRUE(VorbisEncoder::bitrateRangeProblem(128, 0, 0).isEmpty());
}

TEST(VorbisOpen, RefusedFormatFailsWithoutCreatingTheFile)
{
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("refused.ogg"));
    VorbisEncoder encoder(bitrateFormat(8000, 2, 320));
    const Status status = openEncoder(encoder, path);
    EXPECT_EQ(status.message(),
              QStringLiteral("OGG Vorbis cannot encode 8000 Hz Stereo at 320 Kbps"));
    EXPECT_FALSE(status);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(encoder.encode(test::silence(8000, 2, 0.1)));
    EXPECT_FALSE(encoder.finish());
}

TEST(VorbisOpen, MissingFolderFailsNamingThePath)
{
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("no/such/folder/out.ogg"));
    VorbisEncoder encoder(bitrateFormat(44100, 2, 128));
    const Status status = openEncoder(encoder, path);
    EXPECT_FALSE(status);
    EXPECT_TRUE(status.message().startsWith(QStringLiteral("Cannot create ") + path))
        << status.message().toStdString();
}

TEST(VorbisOpen, FullDiskEndsInAnError)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full on this system";
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("x.ogg"));
    // A long stream fails while encoding; a short one sits in the write buffer until finish.
    for (const double seconds : {2.0, 0.05}) {
        VorbisEncoder encoder(bitrateFormat(44100, 2, 128));
        const Status status =
            encodeInBlocks(encoder, path, noise(44100, 2, seconds), test::openFullDevice());
        EXPECT_FALSE(status);
        EXPECT_EQ(status.message(),
                  QStringLiteral("Cannot write %1: No space left on device").arg(path));
    }
}

TEST(VorbisLifecycle, CallsOutOfOrderFailAndReopeningStartsAFreshFile)
{
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("order.ogg"));
    VorbisEncoder encoder(qualityFormat(44100, 2, 400));
    const Samples input = test::sine(2000.0, 44100, 2, 1.5);
    EXPECT_FALSE(encoder.encode(input));
    EXPECT_FALSE(encoder.finish());
    // A stream abandoned half-way, then a complete one on the same encoder.
    ASSERT_TRUE(openEncoder(encoder, dir.file(QStringLiteral("abandoned.ogg"))));
    EXPECT_FALSE(encoder.encode(std::span<const qint16>(input).first(3))) << "a partial frame";
    ASSERT_TRUE(encoder.encode(input));
    ASSERT_TRUE(encodeInBlocks(encoder, path, input));
    EXPECT_FALSE(encoder.finish());
    EXPECT_FALSE(encoder.encode(input));

    const test::Decoded decoded = test::decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(double(decoded.frames()), 66150.0, 44100 * 0.005);
    EXPECT_NEAR(test::dominantFrequency(decoded.samples, 44100, 2), 2000.0, 10.0);
}

TEST(VorbisLifecycle, DestroyingMidStreamLeavesAClosedFile)
{
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("partial.ogg"));
    {
        VorbisEncoder encoder(bitrateFormat(44100, 2, 128, 96, 160));
        ASSERT_TRUE(openEncoder(encoder, path));
        ASSERT_TRUE(encoder.encode(noise(44100, 2, 1.0)));
    }
    EXPECT_GT(QFileInfo(path).size(), 0);
    ASSERT_TRUE(QFile::remove(path)); // outputs are never written over
    VorbisEncoder again(bitrateFormat(44100, 2, 128));
    ASSERT_TRUE(encodeInBlocks(again, path, test::sine(1000.0, 44100, 2, 0.5)));
    const test::Decoded decoded = test::decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(double(decoded.frames()), 22050.0, 44100 * 0.005);
}

class VorbisDescribeTest : public testing::TestWithParam<std::pair<OggFormat, const char*>> {};

TEST_P(VorbisDescribeTest, OneLinePerMode)
{
    EXPECT_EQ(VorbisEncoder::describe(GetParam().first), QString::fromUtf8(GetParam().second));
}

INSTANTIATE_TEST_SUITE_P(
    VorbisDescriptions, VorbisDescribeTest,
    testing::Values(
        std::pair{bitrateFormat(44100, 2, 128), "OGG Vorbis 44100 Hz; Stereo; 128 Kbps"},
        std::pair{bitrateFormat(44100, 2, 128, 96, 160),
                  "OGG Vorbis 44100 Hz; Stereo; 128 Kbps (VBR 96-160 Kbps)"},
        std::pair{bitrateFormat(22050, 1, 64, 48, 0),
                  "OGG Vorbis 22050 Hz; Mono; 64 Kbps (VBR min 48 Kbps)"},
        std::pair{bitrateFormat(48000, 2, 128, 0, 192),
                  "OGG Vorbis 48000 Hz; Stereo; 128 Kbps (VBR max 192 Kbps)"},
        std::pair{qualityFormat(44100, 2, 300), "OGG Vorbis 44100 Hz; Stereo; Quality 3"},
        std::pair{qualityFormat(16000, 1, 1000), "OGG Vorbis 16000 Hz; Mono; Quality 10"}));

} // namespace
} // namespace tunevale
