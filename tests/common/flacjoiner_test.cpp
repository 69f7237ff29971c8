#include "common/codecs/flacjoiner.h"

#include "common/audio/streamlength.h"
#include "common/codecs/flacframes.h"

#include "common/audio/audiofile.h"
#include "common/codecs/flacsegment.h"
#include "convert/segmentedtranscode.h"
#include "convert/transcoder.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QFile>

#include <gtest/gtest.h>

namespace tunevale {
namespace {

using Outcome = SegmentedTranscode::Outcome;

// One short stretch of noise encoded apart, as a segment of a split conversion is.
FlacSegment encodedSegment(double seconds)
{
    FlacSegment segment;
    EXPECT_TRUE(segment.open({5, 44100, 2, 16, false}, QStringLiteral("x.flac")));
    EXPECT_TRUE(segment.encode(test::noise(44100, 2, seconds, 4)));
    EXPECT_TRUE(segment.finish());
    return segment;
}

// Frame numbers take one to seven bytes; a frame renumbered and numbered back is the frame
// libFLAC wrote, both checksums included.
TEST(FlacJoiner, RenumbersFramesWhateverLengthTheNumberTakes)
{
    const FlacSegment segment = encodedSegment(0.5);
    ASSERT_GE(segment.frameEnds().size(), 2u);
    const std::span<const unsigned char> frames(segment.frames());
    const auto second =
        frames.subspan(segment.frameEnds()[0], segment.frameEnds()[1] - segment.frameEnds()[0]);
    // Numbers and the bytes their coding takes beyond frame 1's one byte.
    const std::pair<quint64, size_t> numbers[] = {{0, 0},       {127, 0},       {128, 1},
                                                  {2047, 1},    {2048, 2},      {70000, 3},
                                                  {3000000, 4}, {0x7fffffff, 5}};
    for (const auto& [number, longer] : numbers) {
        const auto renumbered = FlacJoiner::renumbered(second, number);
        ASSERT_TRUE(renumbered) << number;
        EXPECT_EQ(renumbered->size(), second.size() + longer) << number;
        const auto back = FlacJoiner::renumbered(*renumbered, 1);
        ASSERT_TRUE(back) << number;
        EXPECT_TRUE(std::equal(back->begin(), back->end(), second.begin(), second.end())) << number;
    }
    std::vector<unsigned char> damaged(second.begin(), second.end());
    damaged[3] ^= 0x10; // the header's checksum no longer fits
    EXPECT_FALSE(FlacJoiner::renumbered(damaged, 1));
    EXPECT_FALSE(FlacJoiner::renumbered(frames.first(4), 1));
}

// The last frame tells the stream's length, when it is whole and ends the bytes; a cut FLAC
// file is measured by reading it all, as any other.
TEST(FlacFrames, LastFrameTellsTheLengthOnlyWhenWhole)
{
    const qint64 samples = 44100 * 30 + 1234; // past 127 frames: two-byte frame numbers
    FlacSegment segment;
    ASSERT_TRUE(segment.open({5, 44100, 1, 16, false}, QStringLiteral("x.flac")));
    std::vector<qint16> pcm = test::noise(44100, 1, 31.0, 2);
    pcm.resize(size_t(samples));
    ASSERT_TRUE(segment.encode(pcm));
    ASSERT_TRUE(segment.finish());
    const std::span<const unsigned char> frames(segment.frames());
    EXPECT_EQ(flacSamplesFromTail(frames, 4096), quint64(samples));
    EXPECT_FALSE(flacSamplesFromTail(frames.first(frames.size() - 1), 4096));
    EXPECT_FALSE(flacSamplesFromTail(frames.first(segment.frameEnds()[200] + 3), 4096));

    const test::TempDir dir;
    const QString path = dir.file(QStringLiteral("whole.flac"));
    std::vector<qint16> stereo(pcm.size() * 2);
    for (size_t i = 0; i < pcm.size(); ++i)
        stereo[2 * i] = stereo[2 * i + 1] = pcm[i];
    ASSERT_TRUE(test::writePcmWav(dir.file(QStringLiteral("s.wav")), stereo, 44100, 2));
    AudioFile reader;
    AudioFile writer;
    ASSERT_TRUE(Transcoder(reader, writer).transcodeFile(dir.file(QStringLiteral("s.wav")), path));
    StreamLength length;
    ASSERT_TRUE(measureStreamLength(path, length));
    EXPECT_DOUBLE_EQ(length.seconds, double(samples) / 44100);
    QByteArray bytes = test::fileBytes(path);
    bytes.chop(bytes.size() / 3);
    ASSERT_TRUE(test::writeFileBytes(path, bytes));
    ASSERT_TRUE(measureStreamLength(path, length));
    EXPECT_LT(length.seconds, 22.0);
}

struct FlacSplitCase {
    const char* name;
    int sourceChannels;
    FlacSettings settings;
    int threads;
    int maxSeconds;
};

class FlacSegments : public testing::TestWithParam<FlacSplitCase> {};

// Split across threads, FLAC output is the very file one thread writes: the same frames and
// a stream information block with the whole length and checksum, which `flac -t` verifies.
TEST_P(FlacSegments, MatchTheOneThreadFileByteForByte)
{
    const FlacSplitCase& param = GetParam();
    const test::TempDir dir;
    const QString source = dir.file(QStringLiteral("source.wav"));
    const qint64 samples = 44100 * 13 + 777;
    std::vector<qint16> pcm = test::noise(44100, param.sourceChannels, 14.0, 9);
    pcm.resize(size_t(samples * param.sourceChannels));
    ASSERT_TRUE(test::writePcmWav(source, pcm, 44100, param.sourceChannels));
    OutputSettings settings;
    settings.flac = param.settings;

    AudioFile reader;
    AudioFile writer;
    (void)writer.configure(settings);
    const QString single = dir.file(QStringLiteral("single.flac"));
    ASSERT_TRUE(Transcoder(reader, writer).transcodeFile(source, single));
    SegmentedTranscode segmented(settings, param.threads);
    segmented.setMaxSegmentSeconds(param.maxSeconds);
    TranscodeObserver observer;
    auto outcome = Outcome::NotApplicable;
    const QString parallel = dir.file(QStringLiteral("parallel.flac"));
    ASSERT_TRUE(segmented.run(source, parallel, observer, outcome));
    ASSERT_EQ(outcome, Outcome::Done);
    EXPECT_EQ(segmented.framesWritten(), samples);
    const QByteArray expected = test::fileBytes(single);
    ASSERT_GT(expected.size(), 44100);
    EXPECT_TRUE(test::fileBytes(parallel) == expected);
    bool tested = false;
    test::toolOutput(QStringLiteral("flac"), test::args({"-t", "-s"}) + QStringList{parallel},
                     &tested);
    EXPECT_TRUE(tested);
}

INSTANTIATE_TEST_SUITE_P(
    Splits, FlacSegments,
    testing::Values(FlacSplitCase{"StereoTwoSegments", 2, {}, 2, 60},
                    FlacSplitCase{"MonoToStereoFastest", 1, {0, 0, 2, 0, false}, 3, 60},
                    FlacSplitCase{"ManySmallestVerified", 2, {8, 0, 0, 0, true}, 2, 3}),
    [](const testing::TestParamInfo<FlacSplitCase>& info) { return info.param.name; });

struct DeepSplitCase {
    const char* name;
    const char* codec; // of the source WAV
    double gain;
    int channels; // of the output; 0 follows the source
};

class DeepFlacSegments : public testing::TestWithParam<DeepSplitCase> {};

// A deeper source split across threads gives the 24-bit file one thread writes, its own
// samples whole (rounded from floating point) unless a gain or a change of channels works on
// them at 16 bits, and measures as loud.
TEST_P(DeepFlacSegments, MatchTheOneThreadFile)
{
    const DeepSplitCase& param = GetParam();
    const test::TempDir dir;
    const QString source = dir.file(QStringLiteral("deep.wav"));
    ASSERT_TRUE(test::runFfmpeg(
        test::args({"-f", "lavfi", "-i",
                    "aevalsrc=exprs=random(0)*1.8-0.9|random(1)*1.6-0.8:s=44100:d=8.3", "-c:a",
                    param.codec}) +
        QStringList{source}));
    OutputSettings settings;
    settings.flac.channels = param.channels;
    AudioFile reader;
    AudioFile writer;
    ASSERT_TRUE(writer.configure(settings));
    Transcoder single(reader, writer);
    single.setGain(param.gain);
    single.setMeasureLoudness(true);
    const QString one = dir.file(QStringLiteral("single.flac"));
    ASSERT_TRUE(single.transcodeFile(source, one));
    SegmentedTranscode segmented(settings, 2);
    segmented.setMaxSegmentSeconds(3);
    segmented.setGain(param.gain);
    segmented.setMeasureLoudness(true);
    TranscodeObserver observer;
    auto outcome = Outcome::NotApplicable;
    const QString parallel = dir.file(QStringLiteral("parallel.flac"));
    ASSERT_TRUE(segmented.run(source, parallel, observer, outcome));
    ASSERT_EQ(outcome, Outcome::Done);
    EXPECT_TRUE(test::fileBytes(parallel) == test::fileBytes(one));
    bool tested = false;
    test::toolOutput(QStringLiteral("flac"), test::args({"-t", "-s"}) + QStringList{parallel},
                     &tested);
    EXPECT_TRUE(tested);
    if (param.gain == 1.0 && param.channels == 0 && QByteArray(param.codec) == "pcm_s24le") {
        EXPECT_TRUE(test::ffmpegDecode(parallel, "s32le") == test::ffmpegDecode(source, "s32le"));
    }

    const std::vector<LoudnessMeter> meters = segmented.takeLoudnessMeters();
    std::vector<const LoudnessMeter*> parts;
    for (const LoudnessMeter& meter : meters)
        parts.push_back(&meter);
    ASSERT_EQ(single.loudnessMeters().size(), 1u);
    const Loudness whole = single.loudnessMeters().front().result();
    EXPECT_NEAR(LoudnessMeter::combined(parts).lufs, whole.lufs, 0.01);
    EXPECT_DOUBLE_EQ(LoudnessMeter::combined(parts).peak, whole.peak);
}

INSTANTIATE_TEST_SUITE_P(Sources, DeepFlacSegments,
                         testing::Values(DeepSplitCase{"Integer24", "pcm_s24le", 1.0, 0},
                                         DeepSplitCase{"FloatRounded", "pcm_f32le", 1.0, 0},
                                         DeepSplitCase{"Integer24WithGain", "pcm_s24le", 0.5, 0},
                                         DeepSplitCase{"Integer24ToMono", "pcm_s24le", 1.0, 1}),
                         [](const testing::TestParamInfo<DeepSplitCase>& info) {
                             return info.param.name;
                         });

} // namespace
} // namespace tunevale
