#include "common/audio/audioreader.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tunevale;
using namespace tunevale::test;

namespace {

struct SourceCase {
    const char* name;
    const char* extension;
    QStringList codecArguments;
    int sampleRate;
    int channels;
    // Decoded length may differ from the input by codec framing (priming, padding).
    int lengthTolerance;
};

void PrintTo(const SourceCase& source, std::ostream* out)
{
    *out << source.name;
}

class ReaderSources : public ::testing::TestWithParam<SourceCase> {
protected:
    QString makeSource(double seconds)
    {
        const SourceCase& source = GetParam();
        const QString path =
            m_dir.file(QStringLiteral("source.") + QString::fromLatin1(source.extension));
        const auto samples = sine(1000.0, source.sampleRate, source.channels, seconds);
        EXPECT_TRUE(makeWithFfmpeg(path, samples, source.sampleRate, source.channels,
                                   source.codecArguments));
        return path;
    }

    TempDir m_dir;
};

TEST_P(ReaderSources, DecodesFormatLengthAndTone)
{
    const SourceCase& source = GetParam();
    const QString path = makeSource(2.0);
    const Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format.sampleRate, source.sampleRate);
    EXPECT_EQ(decoded.format.channels, source.channels);
    EXPECT_NEAR(decoded.frames(), 2 * source.sampleRate, source.lengthTolerance);
    for (int channel = 0; channel < source.channels; ++channel)
        EXPECT_NEAR(dominantFrequency(decoded.samples, source.sampleRate, source.channels, channel),
                    1000.0, 5.0);

    AudioReader reader;
    ASSERT_TRUE(reader.open(path));
    EXPECT_NEAR(reader.totalFrames(), decoded.frames(), source.lengthTolerance);
}

TEST_P(ReaderSources, SeekLandsOnTheExactFrame)
{
    const SourceCase& source = GetParam();
    const QString path = makeSource(6.0);
    const Decoded reference = decodeFile(path);
    ASSERT_TRUE(reference.ok);
    const qint64 frames = reference.frames();
    const int channels = source.channels;

    AudioReader reader;
    ASSERT_TRUE(reader.open(path));
    // Forward, backward, near the start, inside the last page, and the very end.
    const qint64 targets[] = {frames / 2, 1234,     0, frames - 3000, source.sampleRate * 3 + 7,
                              frames - 1, 5 * 1152, 17};
    std::vector<qint16> block;
    for (const qint64 target : targets) {
        qint64 reached = -1;
        ASSERT_TRUE(reader.seek(target, reached)) << target;
        EXPECT_EQ(reached, target);
        EXPECT_EQ(reader.position(), target);
        ASSERT_TRUE(reader.read(512 * channels, block));
        const size_t expected = std::min<size_t>(512, static_cast<size_t>(frames - target)) *
                                static_cast<size_t>(channels);
        ASSERT_EQ(block.size(), expected) << "at frame " << target;
        int worst = 0;
        for (size_t i = 0; i < block.size(); ++i)
            worst = std::max(worst, std::abs(block[i] - reference.samples[target * channels + i]));
        // Lossy decoders may shade a few values (noise filling); a frame off would differ by
        // thousands on this tone.
        const int tolerance = source.lengthTolerance == 0 ? 0 : 200;
        EXPECT_LE(worst, tolerance) << "samples differ after seeking to frame " << target;
    }
}

TEST_P(ReaderSources, SeekPastTheEndLandsAtTheEnd)
{
    const QString path = makeSource(1.0);
    const Decoded reference = decodeFile(path);
    ASSERT_TRUE(reference.ok);
    AudioReader reader;
    ASSERT_TRUE(reader.open(path));
    qint64 reached = -1;
    ASSERT_TRUE(reader.seek(reference.frames() + 100000, reached));
    EXPECT_EQ(reached, reference.frames());
    std::vector<qint16> block{1, 2, 3};
    ASSERT_TRUE(reader.read(4096, block));
    EXPECT_TRUE(block.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ReaderSources,
    ::testing::Values(
        SourceCase{"Mp3", "mp3", args({"-c:a", "libmp3lame", "-b:a", "128k"}), 44100, 2, 1152},
        SourceCase{"Mp3Mono22k", "mp3", args({"-c:a", "libmp3lame", "-b:a", "48k"}), 22050, 1,
                   1152},
        SourceCase{"Vorbis", "ogg", args({"-c:a", "libvorbis"}), 44100, 2, 64},
        SourceCase{"Vorbis48kMono", "ogg", args({"-c:a", "libvorbis"}), 48000, 1, 64},
        SourceCase{"WmaV1", "wma", args({"-c:a", "wmav1", "-b:a", "128k"}), 44100, 2, 4096},
        SourceCase{"WmaV2", "wma", args({"-c:a", "wmav2", "-b:a", "128k"}), 44100, 2, 4096},
        SourceCase{"WmaV2Mono16k", "wma", args({"-c:a", "wmav2", "-b:a", "32k"}), 16000, 1, 2048},
        SourceCase{"Wav8Bit", "wav", args({"-c:a", "pcm_u8"}), 8000, 1, 0},
        SourceCase{"Wav16Bit", "wav", {}, 44100, 2, 0},
        SourceCase{"Wav24Bit96k", "wav", args({"-c:a", "pcm_s24le"}), 96000, 2, 0},
        SourceCase{"Wav32Bit", "wav", args({"-c:a", "pcm_s32le"}), 48000, 2, 0},
        SourceCase{"WavFloat", "wav", args({"-c:a", "pcm_f32le"}), 11025, 1, 0},
        SourceCase{"Wav6Channels", "wav", {}, 48000, 6, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AudioReader, ReadsWholeFramesOnlyAndRefusesAReadBelowOneFrame)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("stereo.wav"));
    ASSERT_TRUE(writePcmWav(path, sine(440.0, 8000, 2, 0.5), 8000, 2));
    AudioReader reader;
    ASSERT_TRUE(reader.open(path));
    std::vector<qint16> block;
    ASSERT_TRUE(reader.read(7, block));
    EXPECT_EQ(block.size(), 6u);
    EXPECT_FALSE(reader.read(1, block));
}

TEST(AudioReader, ReportsFailuresWithThePath)
{
    TempDir dir;
    AudioReader reader;
    const QString missing = dir.file(QStringLiteral("missing.mp3"));
    Status status = reader.open(missing);
    ASSERT_FALSE(status);
    EXPECT_TRUE(status.message().contains(missing));
    EXPECT_FALSE(reader.isOpen());
    std::vector<qint16> block;
    EXPECT_FALSE(reader.read(100, block));
}

} // namespace
