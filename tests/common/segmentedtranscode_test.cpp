#include "convert/segmentedtranscode.h"

#include "common/audio/audiofile.h"
#include "convert/transcoder.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>

#include <sys/resource.h>

namespace tunevale {
namespace {

using test::Decoded;
using test::decodeFile;
using test::fileBytes;
using test::TempDir;

constexpr qint64 kFrameSamples = 1152;
using Outcome = SegmentedTranscode::Outcome;

enum class Signal { Tone, Transients, SilenceAtSeams };
enum class Mode { Cbr, Vbr, Abr };

// Where the plan cuts a source into segments: equal parts on the frame grid.
std::vector<qint64> cuts(qint64 samples, int segments)
{
    std::vector<qint64> cuts;
    for (int index = 1; index < segments; ++index)
        cuts.push_back(samples / kFrameSamples * index / segments * kFrameSamples);
    return cuts;
}

std::vector<qint16> makeSignal(Signal signal, int rate, int channels, qint64 samples, int segments)
{
    const double seconds = double(samples) / rate;
    std::vector<qint16> pcm = test::sine(523.25, rate, channels, seconds, 0.3);
    const std::vector<qint16> noise = test::noise(rate, channels, seconds);
    pcm.resize(size_t(samples * channels));
    for (qint64 i = 0; i < samples; ++i) {
        bool quiet = false;
        if (signal == Signal::Transients) // 20 ms bursts of noise every 100 ms
            quiet = (i * 10 / rate) % 10 != 0 && (i * 50 / rate) % 5 != 0;
        for (const qint64 cut : cuts(samples, segments)) {
            if (signal == Signal::SilenceAtSeams)
                quiet = quiet || (i > cut - rate && i < cut + 2 * rate);
        }
        for (int channel = 0; channel < channels; ++channel) {
            const auto at = size_t(i * channels + channel);
            if (signal == Signal::Transients)
                pcm[at] = quiet ? 0 : noise[at];

            else if (quiet)
                pcm[at] = 0;
        }
    }
    return pcm;
}

// Coding error over frames [from, to), in dB below full scale; -100 at most.
double errorDb(const Decoded& output, std::span<const qint16> source, int channels, qint64 from,
               qint64 to)
{
    double sum = 0;
    for (qint64 i = from * channels; i < to * channels; ++i) {
        const double difference = double(output.samples[size_t(i)]) - source[size_t(i)];
        sum += difference * difference;
    }
    const double mean = sum / double((to - from) * channels) / (32768.0 * 32768.0);
    return std::max(-100.0, 10 * std::log10(mean + 1e-30));
}

// What the ffmpeg tool says when it decodes path (nothing for a clean stream).
QString ffmpegMessages(const QString& path)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), test::args({"-nostdin", "-v", "error", "-i"})
                                               << path << test::args({"-f", "null", "-"}));
    if (!ffmpeg.waitForFinished(60000))
        return QStringLiteral("ffmpeg did not finish");
    return QString::fromUtf8(ffmpeg.readAllStandardError()).trimmed();
}

Mp3Encoder mp3Settings(Mode mode, int rate, int channels)
{
    Mp3Encoder mp3;
    (void)mp3.setSampleRate(rate);
    (void)mp3.setChannels(channels);
    (void)mp3.setBitrate(mode == Mode::Cbr ? 128 : 32);
    if (mode == Mode::Vbr) {
        (void)mp3.setVbrMethod(Mp3Encoder::kVbrNew);
        (void)mp3.setVbrQuality(2);
    } else if (mode == Mode::Abr) {
        (void)mp3.setVbrMethod(Mp3Encoder::kVbrAbr);
        (void)mp3.setAbrBitrate(112);
    }
    return mp3;
}

Status convertOnOneThread(const OutputSettings& settings, const QString& source,
                          const QString& output)
{
    AudioFile reader;
    AudioFile writer;
    (void)writer.configure(settings);
    return Transcoder(reader, writer).transcodeFile(source, output);
}

struct SeamCase {
    const char* name;
    Signal signal;
    int segments;
    int rate;
    int channels;
    Mode mode;
    int threads = 0;    // 0: one per segment
    int maxSeconds = 0; // longest segment; 0: the default
};

SegmentedTranscode makeSegmented(const OutputSettings& settings, int segments, int threads,
                                 int maxSeconds)
{
    SegmentedTranscode segmented(settings, threads > 0 ? threads : segments);
    if (maxSeconds > 0)
        segmented.setMaxSegmentSeconds(maxSeconds);
    return segmented;
}

class Mp3Seams : public testing::TestWithParam<SeamCase> {};

// Joined from segments, the stream decodes cleanly to the source's exact length, and around
// every seam its coding error is within 1 dB of the one-thread conversion's.
TEST_P(Mp3Seams, AreNeitherHeardNorMeasured)
{
    const SeamCase& test = GetParam();
    // Segments of three and a half seconds plus a length off the frame grid.
    const qint64 samples = qint64(test.rate) * 7 / 2 * test.segments + 777;
    const std::vector<qint16> pcm =
        makeSignal(test.signal, test.rate, test.channels, samples, test.segments);
    TempDir dir;
    const QString source = dir.file(QStringLiteral("source.wav"));
    ASSERT_TRUE(test::writePcmWav(source, pcm, test.rate, test.channels));
    OutputSettings settings;
    settings.mp3 = mp3Settings(test.mode, test.rate, test.channels);

    const QString single = dir.file(QStringLiteral("single.mp3"));
    const QString parallel = dir.file(QStringLiteral("parallel.mp3"));
    ASSERT_TRUE(convertOnOneThread(settings, source, single));
    SegmentedTranscode segmented =
        makeSegmented(settings, test.segments, test.threads, test.maxSeconds);
    TranscodeObserver observer;
    auto outcome = Outcome::NotApplicable;
    ASSERT_TRUE(segmented.run(source, parallel, observer, outcome));
    ASSERT_EQ(outcome, Outcome::Done);
    ASSERT_EQ(segmented.seams().size(), size_t(test.segments - 1));

    EXPECT_EQ(ffmpegMessages(parallel), QString());
    const Decoded one = decodeFile(single);
    const Decoded split = decodeFile(parallel);
    ASSERT_EQ(one.frames(), samples);
    ASSERT_EQ(split.frames(), samples);
    const std::vector<qint64> planned = cuts(samples, test.segments);
    for (size_t index = 0; index < planned.size(); ++index) {
        const qint64 seam = segmented.seams()[index] * kFrameSamples;
        if (test.signal == Signal::SilenceAtSeams) {
            ASSERT_GE(seam, planned[index]);
            ASSERT_LT(seam, planned[index] + 3 * test.rate / 2);
        }
        // Frame f's first granule overlaps frame f - 1's last: 576 samples from
        // f * 1152 - 576 in source time, after the decoder's trim.
        const qint64 centre = seam - 288;
        const qint64 half = test.rate / 40;
        const double oneError = errorDb(one, pcm, test.channels, centre - half, centre + half);
        const double splitError = errorDb(split, pcm, test.channels, centre - half, centre + half);
        EXPECT_NEAR(splitError, oneError, 1.0) << "seam " << index << " at frame " << seam;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, Mp3Seams,
    testing::Values(
        SeamCase{"ToneStereo44kCbr2", Signal::Tone, 2, 44100, 2, Mode::Cbr},
        SeamCase{"SilenceMono48kVbr3", Signal::SilenceAtSeams, 3, 48000, 1, Mode::Vbr},
        SeamCase{"TransientsStereo32kAbr7", Signal::Transients, 7, 32000, 2, Mode::Abr},
        SeamCase{"TransientsMono44kVbr2", Signal::Transients, 2, 44100, 1, Mode::Vbr},
        SeamCase{"ToneMono32kCbr3", Signal::Tone, 3, 32000, 1, Mode::Cbr},
        SeamCase{"SilenceStereo44kCbr7", Signal::SilenceAtSeams, 7, 44100, 2, Mode::Cbr},
        SeamCase{"ToneStereo48kVbr7", Signal::Tone, 7, 48000, 2, Mode::Vbr},
        // More segments than threads: each thread takes several in turn.
        SeamCase{"ToneStereo44kCbr6On2", Signal::Tone, 6, 44100, 2, Mode::Cbr, 2, 4},
        SeamCase{"TransientsMono32kVbr9On3", Signal::Transients, 9, 32000, 1, Mode::Vbr, 3, 4}),
    [](const testing::TestParamInfo<SeamCase>& info) { return std::string(info.param.name); });

struct WavCase {
    const char* name;
    int sourceChannels;
    WavFormat output;
    int segments;
    bool mp3Source;
    int threads = 0;
    int maxSeconds = 0;
};

class WavSegments : public testing::TestWithParam<WavCase> {};

// Written in segments, WAV output is the very file one thread writes.
TEST_P(WavSegments, MatchTheOneThreadFileByteForByte)
{
    const WavCase& test = GetParam();
    TempDir dir;
    const int rate = test.output.sampleRate;
    const qint64 samples = qint64(rate) * 7 / 2 * test.segments + 333;
    std::vector<qint16> pcm = test::noise(rate, test.sourceChannels, double(samples) / rate);
    pcm.resize(size_t(samples * test.sourceChannels));
    QString source = dir.file(QStringLiteral("source.wav"));
    ASSERT_TRUE(test::writePcmWav(source, pcm, rate, test.sourceChannels));
    if (test.mp3Source) {
        const QString mp3 = dir.file(QStringLiteral("source.mp3"));
        ASSERT_TRUE(test::runFfmpeg(QStringList{QStringLiteral("-i"), source} +
                                        test::args({"-c:a", "libmp3lame", "-b:a", "128k"})
                                    << mp3));
        source = mp3;
    }
    OutputSettings settings;
    settings.wav = test.output;
    const QString single = dir.file(QStringLiteral("single.wav"));
    const QString parallel = dir.file(QStringLiteral("parallel.wav"));
    ASSERT_TRUE(convertOnOneThread(settings, source, single));
    SegmentedTranscode segmented =
        makeSegmented(settings, test.segments, test.threads, test.maxSeconds);
    TranscodeObserver observer;
    auto outcome = Outcome::NotApplicable;
    ASSERT_TRUE(segmented.run(source, parallel, observer, outcome));
    ASSERT_EQ(outcome, Outcome::Done);
    const QByteArray expected = fileBytes(single);
    ASSERT_GT(expected.size(), samples);
    EXPECT_TRUE(fileBytes(parallel) == expected);
}

INSTANTIATE_TEST_SUITE_P(
    WavOutputs, WavSegments,
    testing::Values(WavCase{"Stereo16Bit", 2, {44100, 2, 16}, 3, false},
                    WavCase{"MonoTo8BitStereoOddLength", 1, {48000, 2, 8}, 2, false},
                    WavCase{"StereoTo8BitMono", 2, {32000, 1, 8}, 7, false},
                    WavCase{"FromMp3", 2, {44100, 2, 16}, 2, true},
                    WavCase{"MonoTo8BitStereo8On2", 1, {32000, 2, 8}, 8, false, 2, 4}),
    [](const testing::TestParamInfo<WavCase>& info) { return std::string(info.param.name); });

class SegmentedRun : public testing::Test {
protected:
    Outcome run(const QString& source, const QString& output, int threads = 4)
    {
        SegmentedTranscode segmented(m_settings, threads);
        TranscodeObserver observer;
        auto outcome = Outcome::Done;
        EXPECT_TRUE(segmented.run(source, output, observer, outcome));
        EXPECT_FALSE(QFile::exists(output)) << output.toStdString();
        return outcome;
    }

    QString source(const QString& name, int rate, double seconds)
    {
        const QString path = m_dir.file(name);
        const bool made = name.endsWith(u".wav")
                              ? test::writePcmWav(path, test::noise(rate, 2, seconds), rate, 2)
                              : test::makeWithFfmpeg(path, test::noise(rate, 2, seconds), rate, 2);
        EXPECT_TRUE(made);
        return path;
    }

    TempDir m_dir;
    OutputSettings m_settings;
};

// Whatever cannot be split safely is left to the one-thread conversion, untouched.
TEST_F(SegmentedRun, LeavesWhatCannotBeSplitToOneThread)
{
    const QString longWav = source(QStringLiteral("long.wav"), 44100, 7);
    EXPECT_EQ(run(longWav, m_dir.file(QStringLiteral("one.mp3")), 1), Outcome::NotApplicable);
    EXPECT_EQ(run(longWav, m_dir.file(QStringLiteral("out.ogg"))), Outcome::NotApplicable);
    EXPECT_EQ(run(longWav, m_dir.file(QStringLiteral("out.wma"))), Outcome::NotApplicable);
    // Too short for two segments.
    EXPECT_EQ(run(source(QStringLiteral("short.wav"), 44100, 5.9),
                  m_dir.file(QStringLiteral("short.mp3"))),
              Outcome::NotApplicable);
    // A rate the output must be resampled to.
    EXPECT_EQ(
        run(source(QStringLiteral("rate.wav"), 22050, 8), m_dir.file(QStringLiteral("r.mp3"))),
        Outcome::NotApplicable);
    // A codec whose seeking is not sample-exact.
    EXPECT_EQ(
        run(source(QStringLiteral("long.wma"), 44100, 8), m_dir.file(QStringLiteral("w.mp3"))),
        Outcome::NotApplicable);
    EXPECT_EQ(run(m_dir.file(QStringLiteral("missing.wav")), m_dir.file(QStringLiteral("m.mp3"))),
              Outcome::NotApplicable);
}

// Through the transcoder, a file too short to split is the one-thread file exactly, and a
// long one comes out whole.
TEST_F(SegmentedRun, TranscoderWithThreadsSplitsOnlyWhatItShould)
{
    for (const double seconds : {4.0, 9.0}) {
        const QString wav = source(QStringLiteral("in.wav"), 44100, seconds);
        AudioFile reader;
        AudioFile writer;
        Transcoder transcoder(reader, writer);
        const QString one = m_dir.file(QStringLiteral("one.mp3"));
        const QString three = m_dir.file(QStringLiteral("three.mp3"));
        ASSERT_TRUE(transcoder.transcodeFile(wav, one));
        transcoder.setThreads(3);
        ASSERT_TRUE(transcoder.transcodeFile(wav, three));
        EXPECT_EQ(fileBytes(one) == fileBytes(three), seconds < 6) << seconds;
        EXPECT_EQ(decodeFile(three).frames(), qint64(44100 * seconds));
        QFile::remove(one);
        QFile::remove(three);
    }
}

// Asks to stop once the progress reaches a percentage.
class StopLater final : public TranscodeObserver {
public:
    explicit StopLater(double percent)
        : m_stopAt(percent)
    {}
    void progressChanged(double percent) override { m_percent = percent; }
    bool stopRequested() const override { return m_percent >= m_stopAt; }

private:
    double m_stopAt;
    double m_percent = 0;
};

// Caps the size of files this process writes, as a full disk would, while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

TEST_F(SegmentedRun, StopLeavesACompleteShorterFile)
{
    const QString wav = source(QStringLiteral("in.wav"), 44100, 30);
    for (const char* name : {"stopped.mp3", "stopped.wav", "stopped.flac"}) {
        const QString output = m_dir.file(QLatin1String(name));
        SegmentedTranscode segmented(m_settings, 3);
        StopLater observer(0);
        auto outcome = Outcome::NotApplicable;
        ASSERT_TRUE(segmented.run(wav, output, observer, outcome)) << name;
        ASSERT_EQ(outcome, Outcome::Done);
        EXPECT_EQ(ffmpegMessages(output), QString()) << name;
        const qint64 frames = decodeFile(output).frames();
        EXPECT_GT(frames, 0) << name;
        EXPECT_LT(frames, 44100 * 10) << name;
    }
}

// Stopped after some segments went to the output, the MP3 is whole and as long as it says.
TEST_F(SegmentedRun, StopAfterSeveralSegmentsLeavesACompleteFile)
{
    const QString wav = source(QStringLiteral("in.wav"), 44100, 40);
    const QString output = m_dir.file(QStringLiteral("later.mp3"));
    SegmentedTranscode segmented(m_settings, 2);
    segmented.setMaxSegmentSeconds(3);
    StopLater observer(40);
    auto outcome = Outcome::NotApplicable;
    ASSERT_TRUE(segmented.run(wav, output, observer, outcome));
    ASSERT_EQ(outcome, Outcome::Done);
    EXPECT_EQ(ffmpegMessages(output), QString());
    const qint64 frames = decodeFile(output).frames();
    EXPECT_EQ(frames, segmented.framesWritten());
    EXPECT_GT(frames, 44100 * 6);
    EXPECT_LT(frames, 44100 * 40);
}

// A write that fails for want of room reads the same on every path: the system's reason and
// the name the output was to have, not the temporary file's.
TEST_F(SegmentedRun, AFullDiskReadsAsOnOneThread)
{
    const QString wav = source(QStringLiteral("in.wav"), 44100, 20);
    for (const char* name : {"full.mp3", "full.wav", "full.flac"}) {
        QStringList reasons;
        for (const int threads : {1, 2}) {
            AudioFile reader;
            AudioFile writer;
            Transcoder transcoder(reader, writer);
            transcoder.setThreads(threads);
            const FileSizeLimit limit(64 * 1024);
            reasons << transcoder.transcodeFile(wav, m_dir.file(QLatin1String(name))).message();
        }
        EXPECT_EQ(reasons[1], reasons[0]);
        EXPECT_EQ(
            reasons[1],
            QStringLiteral("Cannot write %1: File too large").arg(m_dir.file(QLatin1String(name))));
    }
}

// Where no frame near a cut leaves the next segment's reservoir room, a frame restated at a
// higher bitrate makes it: the file is still split, whole and clean. (With these tones over
// noise LAME's fresh encoder at the first cut keeps more reservoir than the one-pass encoder.)
TEST_F(SegmentedRun, SeamsWithoutRoomAreJoinedAtAHigherBitrate)
{
    const QString wav = m_dir.file(QStringLiteral("tones.wav"));
    ASSERT_TRUE(test::runFfmpeg(
        test::args({"-f", "lavfi", "-i",
                    "aevalsrc=0.25*sin(2*PI*(440+110*floor(t/20))*t)+0.08*(2*random(0)-1)|"
                    "0.2*sin(2*PI*(660+55*floor(t/15))*t)+0.05*sin(2*PI*3000*t)+"
                    "0.08*(2*random(1)-1):s=44100:d=40",
                    "-c:a", "pcm_s16le"})
        << wav));
    ASSERT_TRUE(m_settings.mp3.setBitrate(128));
    const QString output = m_dir.file(QStringLiteral("tones.mp3"));
    SegmentedTranscode segmented(m_settings, 3);
    TranscodeObserver observer;
    auto outcome = Outcome::NotApplicable;
    ASSERT_TRUE(segmented.run(wav, output, observer, outcome));
    ASSERT_EQ(outcome, Outcome::Done);
    EXPECT_EQ(ffmpegMessages(output), QString());
    EXPECT_EQ(decodeFile(output).frames(), 40 * 44100);
}

} // namespace
} // namespace tunevale
