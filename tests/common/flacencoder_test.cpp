#include "common/audio/audiofile.h"
#include "common/codecs/flacencoder.h"
#include "convert/transcoder.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>

namespace tunevale {
namespace {

using Samples = std::vector<qint16>;

struct FlacCase {
    const char* name;
    FlacSettings settings;
    SourceFormat source;
    int bits; // what the file must state
    bool spareCore = false;
};

class FlacRoundTrip : public testing::TestWithParam<FlacCase> {};

// What libFLAC writes decodes, in another decoder, to exactly the samples given, in the
// layout the settings asked for, and carries their checksum (a blank one is a warning, here
// an error).
TEST_P(FlacRoundTrip, DecodesToTheSamplesExactly)
{
    const FlacCase& param = GetParam();
    FlacEncoder encoder(param.settings, param.source);
    encoder.setSpareCore(param.spareCore);
    const PcmFormat format = encoder.inputFormat();
    const Samples input = test::noise(format.sampleRate, format.channels, 1.3, 11);
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("out.flac"));
    const Status status = test::encodeInBlocks(encoder, path, input);
    ASSERT_TRUE(status) << status.message().toStdString();

    bool tested = false;
    test::toolOutput(QStringLiteral("flac"), test::args({"-t", "-s", "-w"}) + QStringList{path},
                     &tested);
    EXPECT_TRUE(tested);
    auto stream = test::probeStream(path);
    EXPECT_EQ(stream[QStringLiteral("sample_rate")].toInt(), format.sampleRate);
    EXPECT_EQ(stream[QStringLiteral("channels")].toInt(), format.channels);
    EXPECT_EQ(stream[QStringLiteral("bits_per_raw_sample")].toInt(), param.bits);

    // Decoded to 32 bits, every depth puts our 16 bits at the top.
    const QByteArray decoded = test::ffmpegDecode(path, "s32le");
    ASSERT_EQ(decoded.size(), qsizetype(input.size() * 4));
    for (size_t i = 0; i < input.size(); ++i) {
        const qint32 sample = qFromLittleEndian<qint32>(decoded.constData() + i * 4);
        ASSERT_EQ(sample, qint32(input[i]) * 65536) << "at sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, FlacRoundTrip,
    testing::Values(
        FlacCase{"FollowsAStereoSource", {}, {{44100, 2}, 16}, 16},
        FlacCase{"FastestMono", {0, 0, 0, 0, false}, {{22050, 1}, 16}, 16},
        FlacCase{"SmallestVerified", {8, 0, 0, 0, true}, {{48000, 2}, 16}, 16},
        FlacCase{"FloatSourceTo24Bit", {}, {{44100, 2}, 24}, 24},
        FlacCase{"Chosen16BitFrom24", {5, 0, 0, 16, false}, {{44100, 2}, 24}, 16},
        FlacCase{"StereoHashedOnASpareCore", {}, {{44100, 2}, 16}, 16, true},
        FlacCase{"ChosenSixChannels96k", {5, 96000, 6, 24, false}, {{44100, 2}, 16}, 24, true}),
    [](const testing::TestParamInfo<FlacCase>& info) { return info.param.name; });

TEST(FlacEncoder, HigherLevelMakesSmallerFile)
{
    Samples input = test::sine(440.0, 44100, 2, 3.0, 0.3);
    const Samples hiss = test::noise(44100, 2, 3.0, 5);
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = qint16(input[i] + hiss[i] / 64);
    const test::TempDir dir;
    qint64 sizes[2] = {};
    for (const int level : {0, 8}) {
        const QString path = dir.file(QStringLiteral("l%1.flac").arg(level));
        FlacEncoder encoder({level, 0, 0, 0, false}, {});
        ASSERT_TRUE(test::encodeInBlocks(encoder, path, input));
        sizes[level / 8] = QFileInfo(path).size();
    }
    EXPECT_LT(sizes[1], sizes[0] * 95 / 100);
}

TEST(FlacSettings, FollowsTheSourceUnlessChosen)
{
    const SourceFormat deep{{96000, 6}, 24};
    EXPECT_EQ(FlacSettings().resolvedFor(deep), (FlacSettings{5, 96000, 6, 24, false}));
    EXPECT_EQ(FlacSettings().resolvedFor({{8000, 1}, 16}), (FlacSettings{5, 8000, 1, 16, false}));
    const FlacSettings chosen{3, 44100, 2, 16, true};
    EXPECT_EQ(chosen.resolvedFor(deep), chosen);
}

TEST(FlacSettings, RefusesValuesOutOfRangeAndWritesNothing)
{
    const std::pair<FlacSettings, const char*> cases[] = {
        {{9, 0, 0, 0, false}, "FLAC compression level 9 is out of range: use 0 to 8"},
        {{-1, 0, 0, 0, false}, "FLAC compression level -1 is out of range: use 0 to 8"},
        {{5, 700000, 0, 0, false}, "FLAC cannot store 700000 Hz: use 1 to 655350 Hz"},
        {{5, 0, 9, 0, false}, "FLAC cannot store 9 channels: use 1 to 8"},
        {{5, 0, 0, 20, false}, "FLAC output is 16 or 24 bit, not 20 bit"},
    };
    const test::TempDir dir;
    for (const auto& [settings, message] : cases) {
        EXPECT_EQ(settings.validate().message(), QString::fromUtf8(message));
        FlacEncoder encoder(settings, {});
        const QString path = dir.file(QStringLiteral("bad.flac"));
        EXPECT_EQ(test::openEncoder(encoder, path).message(), QString::fromUtf8(message));
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    EXPECT_TRUE(FlacSettings().validate());
}

// The writer learns the source's format, so nothing is resampled and the file holds the
// source's own samples.
TEST(FlacOutput, ConversionKeepsTheSourcesSamples)
{
    const test::TempDir dir;
    const QString source = dir.file(QStringLiteral("mono.wav"));
    const Samples input = test::noise(48000, 1, 2.0, 3);
    ASSERT_TRUE(test::writePcmWav(source, input, 48000, 1));
    AudioFile reader;
    AudioFile writer;
    const QString output = dir.file(QStringLiteral("mono.flac"));
    ASSERT_TRUE(Transcoder(reader, writer).transcodeFile(source, output));
    const QByteArray decoded = test::ffmpegDecode(output, "s16le");
    ASSERT_EQ(decoded.size(), qsizetype(input.size() * 2));
    EXPECT_EQ(std::memcmp(decoded.constData(), input.data(), decoded.size()), 0);
    EXPECT_EQ(test::probeStream(output)[QStringLiteral("sample_rate")], QStringLiteral("48000"));
}

// A write that fails, however early or late in the stream, is the file's failure, named.
TEST(FlacOutput, FullDiskFailsNamingTheFile)
{
    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("full.flac"));
    for (const double seconds : {0.05, 4.0}) {
        FlacEncoder encoder({}, {});
        const Status status = test::encodeInBlocks(encoder, path, test::noise(44100, 2, seconds),
                                                   test::openFullDevice());
        EXPECT_EQ(status.message(),
                  QStringLiteral("Cannot write %1: No space left on device").arg(path))
            << seconds << " s";
    }
}

struct DeepSource {
    const char* name;
    const char* codec; // the source WAV's sample format
    qint64 tolerance;  // on the 32-bit scale: 0 for exact, half a 24-bit step for rounding
};

class FlacDeepSource : public testing::TestWithParam<DeepSource> {};

// A 24-bit source reaches the file sample for sample; a floating-point one is rounded to the
// nearest 24-bit value, not cut to 16 bits.
TEST_P(FlacDeepSource, ConvertsTo24BitWithEverySourceBit)
{
    const DeepSource& param = GetParam();
    const test::TempDir dir;
    const QString source = dir.file(QStringLiteral("deep.wav"));
    ASSERT_TRUE(test::runFfmpeg(
        test::args({"-f", "lavfi", "-i", "anoisesrc=color=pink:amplitude=0.5:r=48000:d=2.5", "-ac",
                    "2", "-c:a"}) +
        QStringList{QString::fromLatin1(param.codec), source}));
    AudioFile reader;
    AudioFile writer;
    const QString output = dir.file(QStringLiteral("deep.flac"));
    const Status status = Transcoder(reader, writer).transcodeFile(source, output);
    ASSERT_TRUE(status) << status.message().toStdString();
    EXPECT_EQ(test::probeStream(output)[QStringLiteral("bits_per_raw_sample")],
              QStringLiteral("24"));

    const QByteArray expected = test::ffmpegDecode(source, "s32le");
    const QByteArray decoded = test::ffmpegDecode(output, "s32le");
    ASSERT_EQ(decoded.size(), expected.size());
    ASSERT_EQ(expected.size(), qsizetype(48000 * 2 * 5 * 4 / 2));
    for (qsizetype i = 0; i < expected.size(); i += 4) {
        const qint64 want = qFromLittleEndian<qint32>(expected.constData() + i);
        const qint64 got = qFromLittleEndian<qint32>(decoded.constData() + i);
        ASSERT_LE(std::abs(got - want), param.tolerance) << "at sample " << i / 4;
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, FlacDeepSource,
                         testing::Values(DeepSource{"Pcm24", "pcm_s24le", 0},
                                         DeepSource{"Float", "pcm_f32le", 128}),
                         [](const testing::TestParamInfo<DeepSource>& info) {
                             return info.param.name;
                         });

struct CancelAfterFirstBlock final : TranscodeObserver {
    bool cancelRequested() const override { return true; }
};

// A conversion stopped half-way leaves neither the output nor its temporary file.
TEST(FlacOutput, CancelledConversionLeavesNothing)
{
    const test::TempDir dir;
    const QString source = dir.file(QStringLiteral("long.wav"));
    ASSERT_TRUE(test::writePcmWav(source, test::noise(44100, 2, 5.0), 44100, 2));
    AudioFile reader;
    AudioFile writer;
    CancelAfterFirstBlock cancel;
    const Status status =
        Transcoder(reader, writer)
            .transcodeFile(source, dir.file(QStringLiteral("long.flac")), &cancel);
    EXPECT_EQ(status.message(), QStringLiteral("Interrupted; the unfinished output was removed"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("long.wav")});
}

} // namespace
} // namespace tunevale
