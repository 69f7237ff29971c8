#include "common/audio/vorbisencoder.h"

#include "support/fixtures.h"
#include "support/signals.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tunevale {
namespace {

using test::decodeFile;
using test::TempDir;

// Feeds samples in uneven blocks, so frames straddle the encoder's internal chunks.
Status encodeFile(VorbisEncoder& encoder, const QString& path, std::span<const qint16> samples) {
    if (Status status = encoder.open(path); !status)
        return status;
    const auto channels = static_cast<size_t>(encoder.inputFormat().channels);
    const size_t blockSizes[] = {1, 777, 4096, 5000, 12345};
    size_t offset = 0;
    for (size_t block = 0; offset < samples.size(); ++block) {
        const size_t count =
            std::min(blockSizes[block % std::size(blockSizes)] * channels, samples.size() - offset);
        if (Status status = encoder.encode(samples.subspan(offset, count)); !status)
            return status;
        offset += count;
    }
    return encoder.finish();
}

// Tones over a noise floor: content whose size depends on how hard the encoder works.
std::vector<qint16> tonesOverNoise(int sampleRate, int channels, double seconds) {
    std::vector<qint16> mix = test::noise(sampleRate, channels, seconds, 7);
    for (const double frequency : {220.0, 1500.0, 6000.0}) {
        const std::vector<qint16> tone = test::sine(frequency, sampleRate, channels, seconds, 0.2);
        for (size_t i = 0; i < mix.size(); ++i)
            mix[i] = static_cast<qint16>(std::clamp(mix[i] / 4 + tone[i], -32768, 32767));
    }
    return mix;
}

// kbit/s of the whole file, headers included.
double fileKbps(const QString& path, double seconds) {
    return static_cast<double>(QFileInfo(path).size()) * 8.0 / seconds / 1000.0;
}

OggFormat bitrateFormat(int sampleRate, int channels, int bitrate, int minBitrate = 0,
                        int maxBitrate = 0) {
    return {sampleRate, channels, bitrate, minBitrate, maxBitrate, -1};
}

OggFormat qualityFormat(int sampleRate, int channels, int quality) {
    return {sampleRate, channels, 128, 0, 0, quality};
}

struct ModeCase {
    const char* name;
    OggFormat format;
};

class VorbisModeTest : public testing::TestWithParam<ModeCase> {};

TEST_P(VorbisModeTest, ToneDecodesWithFormatLengthAndPitch) {
    const OggFormat format = GetParam().format;
    const std::vector<qint16> input = test::sine(1000.0, format.sampleRate, format.channels, 2.5);
    const TempDir dir;
    const QString path = dir.file(QStringLiteral("tone.ogg"));
    VorbisEncoder encoder(format);
    const Status status = encodeFile(encoder, path, input);
    ASSERT_TRUE(status) << status.message().toStdString();

    const test::Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format.sampleRate, format.sampleRate);
    EXPECT_EQ(decoded.format.channels, format.channels);
    const qint64 inputFrames = qint64(input.size()) / format.channels;
    EXPECT_NEAR(double(decoded.frames()), double(inputFrames), format.sampleRate * 0.005);
    for (int channel = 0; channel < format.channels; ++channel)
        EXPECT_NEAR(
            test::dominantFrequency(decoded.samples, format.sampleRate, format.channels, channel),
            1000.0, 5.0);
    EXPECT_NEAR(test::rmsLevel(decoded.samples), test::rmsLevel(input), 0.03);
}

TEST_P(VorbisModeTest, SilenceStaysSilent) {
    const OggFormat format = GetParam().format;
    const std::vector<qint16> input = test::silence(format.sampleRate, format.channels, 1.0);
    const TempDir dir;
    const QString path = dir.file(QStringLiteral("silence.ogg"));
    VorbisEncoder encoder(format);
    const Status status = encodeFile(encoder, path, input);
    ASSERT_TRUE(status) << status.message().toStdString();

    const test::Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(double(decoded.frames()), format.sampleRate * 1.0, format.sampleRate * 0.005);
    EXPECT_LT(test::rmsLevel(decoded.samples), 0.0005);
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

TEST(VorbisQuality, HigherLevelMakesBiggerFile) {
    const std::vector<qint16> input = tonesOverNoise(44100, 2, 3.0);
    const TempDir dir;
    qint64 sizes[2] = {};
    const int levels[2] = {200, 600};
    for (int i = 0; i < 2; ++i) {
        const QString path = dir.file(QStringLiteral("q%1.ogg").arg(levels[i]));
        VorbisEncoder encoder(qualityFormat(44100, 2, levels[i]));
        ASSERT_TRUE(encodeFile(encoder, path, input));
        sizes[i] = QFileInfo(path).size();
    }
    EXPECT_GT(sizes[1], sizes[0] * 3 / 2);
}

struct BitrateCase {
    const char* name;
    OggFormat format;
    double lowestKbps;
    double highestKbps;
};

class VorbisBitrateTest : public testing::TestWithParam<BitrateCase> {};

TEST_P(VorbisBitrateTest, FileBitrateStaysNearTarget) {
    const BitrateCase& param = GetParam();
    constexpr double kSeconds = 8.0;
    const std::vector<qint16> input =
        tonesOverNoise(param.format.sampleRate, param.format.channels, kSeconds);
    const TempDir dir;
    const QString path = dir.file(QStringLiteral("rate.ogg"));
    VorbisEncoder encoder(param.format);
    ASSERT_TRUE(encodeFile(encoder, path, input));
    const double kbps = fileKbps(path, kSeconds);
    EXPECT_GE(kbps, param.lowestKbps);
    EXPECT_LE(kbps, param.highestKbps);
}

// Noise demands more than any of these bitrates: a managed maximum must cap it, and a
// plain nominal bitrate must land near its target rather than run free.
INSTANTIATE_TEST_SUITE_P(
    VorbisBitrates, VorbisBitrateTest,
    testing::Values(BitrateCase{"Managed96To160", bitrateFormat(44100, 2, 128, 96, 160), 96, 168},
                    BitrateCase{"Managed64To96", bitrateFormat(44100, 2, 80, 64, 96), 64, 101},
                    BitrateCase{"MonoManaged32To48", bitrateFormat(22050, 1, 40, 32, 48), 32, 51},
                    BitrateCase{"Nominal128", bitrateFormat(44100, 2, 128), 96, 160},
                    BitrateCase{"Nominal64", bitrateFormat(44100, 2, 64), 48, 80}),
    [](const testing::TestParamInfo<BitrateCase>& info) { return info.param.name; });

TEST(VorbisBitrate, ManagedMinimumHoldsOnQuietInput) {
    constexpr double kSeconds = 6.0;
    const std::vector<qint16> input = test::sine(440.0, 44100, 2, kSeconds, 0.01);
    const TempDir dir;
    const QString managed = dir.file(QStringLiteral("managed.ogg"));
    VorbisEncoder encoder(bitrateFormat(44100, 2, 128, 112, 160));
    ASSERT_TRUE(encodeFile(encoder, managed, input));
    EXPECT_GE(fileKbps(managed, kSeconds), 112.0 * 0.97);
}

struct RangeCase {
    int sampleRate;
    int channels;
    int lowestKbps;
    int highestKbps;
};

class VorbisCheckTest : public testing::TestWithParam<RangeCase> {};

TEST_P(VorbisCheckTest, AcceptsExactlyTheSupportedRange) {
    const RangeCase range = GetParam();
    const int rate = range.sampleRate;
    const int channels = range.channels;
    EXPECT_TRUE(VorbisEncoder::check(rate, channels, range.lowestKbps, 0, 0));
    EXPECT_TRUE(VorbisEncoder::check(rate, channels, range.highestKbps, 0, 0));
    EXPECT_FALSE(VorbisEncoder::check(rate, channels, range.lowestKbps - 1, 0, 0));
    EXPECT_FALSE(VorbisEncoder::check(rate, channels, range.highestKbps + 1, 0, 0));
    // The same edges hold when the bitrate is pinned by minimum and maximum.
    EXPECT_TRUE(VorbisEncoder::check(rate, channels, range.highestKbps, range.highestKbps,
                                     range.highestKbps));
    EXPECT_FALSE(VorbisEncoder::check(rate, channels, range.highestKbps + 1, range.highestKbps + 1,
                                      range.highestKbps + 1));
}

INSTANTIATE_TEST_SUITE_P(VorbisChecks, VorbisCheckTest,
                         testing::Values(RangeCase{8000, 1, 8, 42}, RangeCase{8000, 2, 12, 84},
                                         RangeCase{11025, 2, 16, 100}, RangeCase{16000, 1, 16, 100},
                                         RangeCase{22050, 2, 30, 180}, RangeCase{32000, 1, 30, 190},
                                         RangeCase{44100, 1, 32, 240}, RangeCase{44100, 2, 45, 500},
                                         RangeCase{48000, 2, 45, 500}));

TEST(VorbisCheck, AnswersForCommonAndImpossibleFormats) {
    EXPECT_TRUE(VorbisEncoder::check(44100, 2, 128, 0, 0));
    EXPECT_TRUE(VorbisEncoder::check(44100, 2, 128, 96, 160));
    EXPECT_TRUE(VorbisEncoder::check(44100, 2, 0, 96, 160));
    EXPECT_FALSE(VorbisEncoder::check(8000, 2, 320, 0, 0));
    EXPECT_FALSE(VorbisEncoder::check(44100, 2, 128, 0, 600));
    EXPECT_FALSE(VorbisEncoder::check(44100, 2, 0, 0, 0));
    EXPECT_FALSE(VorbisEncoder::check(0, 2, 128, 0, 0));
    EXPECT_FALSE(VorbisEncoder::check(44100, 0, 128, 0, 0));
    EXPECT_FALSE(VorbisEncoder::check(-44100, 2, 128, 0, 0));
}

TEST(VorbisOpen, RefusedFormatFailsWithoutCreatingTheFile) {
    const TempDir dir;
    const QString path = dir.file(QStringLiteral("refused.ogg"));
    VorbisEncoder encoder(bitrateFormat(8000, 2, 320));
    const Status status = encoder.open(path);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.message(),
              QStringLiteral("OGG Vorbis cannot encode 8000 Hz Stereo at 320 Kbps"));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(encoder.encode(test::silence(8000, 2, 0.1)));
    EXPECT_FALSE(encoder.finish());
}

TEST(VorbisOpen, MissingFolderFailsNamingThePath) {
    const TempDir dir;
    const QString path = dir.file(QStringLiteral("no/such/folder/out.ogg"));
    VorbisEncoder encoder(bitrateFormat(44100, 2, 128));
    const Status status = encoder.open(path);
    ASSERT_FALSE(status);
    EXPECT_TRUE(status.message().startsWith(QStringLiteral("Cannot create ")));
    EXPECT_TRUE(status.message().contains(path)) << status.message().toStdString();
}

TEST(VorbisOpen, FullDiskEndsInAnError) {
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full on this system";
    const TempDir dir;
    const QString path = dir.file(QStringLiteral("x.ogg"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), path));
    VorbisEncoder encoder(bitrateFormat(44100, 2, 128));
    const Status status = encodeFile(encoder, path, test::noise(44100, 2, 2.0));
    ASSERT_FALSE(status);
    EXPECT_TRUE(status.message().contains(path)) << status.message().toStdString();
    EXPECT_TRUE(status.message().contains(QStringLiteral("No space left on device")))
        << status.message().toStdString();
}

TEST(VorbisOpen, ShortStreamOnFullDiskStillFailsAtFinish) {
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full on this system";
    const TempDir dir;
    const QString path = dir.file(QStringLiteral("x.ogg"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), path));
    VorbisEncoder encoder(qualityFormat(8000, 1, 100));
    // Small enough to sit in the file's write buffer until the final flush.
    ASSERT_TRUE(encoder.open(path));
    ASSERT_TRUE(encoder.encode(test::silence(8000, 1, 0.05)));
    EXPECT_FALSE(encoder.finish());
}

TEST(VorbisLifecycle, RejectsCallsOutOfOrderAndPartialFrames) {
    const TempDir dir;
    const QString path = dir.file(QStringLiteral("order.ogg"));
    VorbisEncoder encoder(bitrateFormat(44100, 2, 128));
    const std::vector<qint16> input = test::sine(440.0, 44100, 2, 0.5);
    EXPECT_FALSE(encoder.encode(input));
    EXPECT_FALSE(encoder.finish());
    ASSERT_TRUE(encoder.open(path));
    EXPECT_FALSE(encoder.encode(std::span<const qint16>(input).first(3)));
    ASSERT_TRUE(encoder.encode(input));
    ASSERT_TRUE(encoder.finish());
    EXPECT_FALSE(encoder.finish());
    EXPECT_FALSE(encoder.encode(input));

    const test::Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(double(decoded.frames()), 22050.0, 44100 * 0.005);
}

TEST(VorbisLifecycle, ReopeningWritesASecondCompleteFile) {
    const TempDir dir;
    VorbisEncoder encoder(qualityFormat(44100, 1, 400));
    const std::vector<qint16> first = test::sine(500.0, 44100, 1, 1.0);
    const std::vector<qint16> second = test::sine(2000.0, 44100, 1, 1.5);
    ASSERT_TRUE(encodeFile(encoder, dir.file(QStringLiteral("a.ogg")), first));
    // Abandon one stream half-way, then start another on the same encoder.
    ASSERT_TRUE(encoder.open(dir.file(QStringLiteral("abandoned.ogg"))));
    ASSERT_TRUE(encoder.encode(second));
    ASSERT_TRUE(encodeFile(encoder, dir.file(QStringLiteral("b.ogg")), second));

    const test::Decoded a = decodeFile(dir.file(QStringLiteral("a.ogg")));
    const test::Decoded b = decodeFile(dir.file(QStringLiteral("b.ogg")));
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(b.ok);
    EXPECT_NEAR(double(a.frames()), 44100.0, 44100 * 0.005);
    EXPECT_NEAR(double(b.frames()), 66150.0, 44100 * 0.005);
    EXPECT_NEAR(test::dominantFrequency(b.samples, 44100, 1), 2000.0, 10.0);
}

TEST(VorbisLifecycle, DestroyingMidStreamIsClean) {
    const TempDir dir;
    const QString path = dir.file(QStringLiteral("partial.ogg"));
    {
        VorbisEncoder encoder(bitrateFormat(44100, 2, 128, 96, 160));
        ASSERT_TRUE(encoder.open(path));
        ASSERT_TRUE(encoder.encode(test::noise(44100, 2, 1.0)));
    }
    // The pages written so far are on disk and the file is closed, so it can be replaced.
    EXPECT_GT(QFileInfo(path).size(), 0);
    VorbisEncoder again(bitrateFormat(44100, 2, 128));
    ASSERT_TRUE(encodeFile(again, path, test::sine(1000.0, 44100, 2, 0.5)));
    const test::Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(double(decoded.frames()), 22050.0, 44100 * 0.005);
}

struct DescribeCase {
    OggFormat format;
    const char* text;
};

class VorbisDescribeTest : public testing::TestWithParam<DescribeCase> {};

TEST_P(VorbisDescribeTest, OneLineWithoutKilohertz) {
    const QString text = VorbisEncoder::describe(GetParam().format);
    EXPECT_EQ(text, QString::fromUtf8(GetParam().text));
    EXPECT_FALSE(text.contains(QStringLiteral("kHz")));
    EXPECT_FALSE(text.contains(u'\n'));
}

INSTANTIATE_TEST_SUITE_P(
    VorbisDescriptions, VorbisDescribeTest,
    testing::Values(
        DescribeCase{bitrateFormat(44100, 2, 128), "OGG Vorbis 44100 Hz; Stereo; 128 Kbps"},
        DescribeCase{bitrateFormat(44100, 2, 128, 96, 160),
                     "OGG Vorbis 44100 Hz; Stereo; 128 Kbps (VBR 96-160 Kbps)"},
        DescribeCase{bitrateFormat(22050, 1, 64, 48, 0),
                     "OGG Vorbis 22050 Hz; Mono; 64 Kbps (VBR min 48 Kbps)"},
        DescribeCase{bitrateFormat(48000, 2, 128, 0, 192),
                     "OGG Vorbis 48000 Hz; Stereo; 128 Kbps (VBR max 192 Kbps)"},
        DescribeCase{qualityFormat(44100, 2, 300), "OGG Vorbis 44100 Hz; Stereo; Quality 3"},
        DescribeCase{qualityFormat(16000, 1, 1000), "OGG Vorbis 16000 Hz; Mono; Quality 10"}));

} // namespace
} // namespace tunevale
