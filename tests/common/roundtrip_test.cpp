#include "common/audio/audiofile.h"
#include "convert/transcoder.h"
#include "settings/encodersettings.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>

#include <gtest/gtest.h>

#include <tuple>

using namespace tunevale;
using namespace tunevale::test;

namespace {

struct Format {
    const char* name;
    const char* extension;
    QStringList ffmpegArguments; // how the ffmpeg tool makes a source of this type
    int frameTolerance;          // samples a codec may add or drop at 44.1 kHz
};

const Format kFormats[] = {
    {"Mp3", "mp3", args({"-c:a", "libmp3lame", "-b:a", "128k"}), 1152},
    {"Wma", "wma", args({"-c:a", "wmav2", "-b:a", "128k"}), 2048 + 800},
    {"Ogg", "ogg", args({"-c:a", "libvorbis"}), 64},
    {"Wav", "wav", {}, 0},
};

void PrintTo(const Format& format, std::ostream* out)
{
    *out << format.name;
}

enum class Signal { Tone, Silence };

class RoundTrip : public ::testing::TestWithParam<std::tuple<Format, Format, Signal>> {};

TEST_P(RoundTrip, KeepsLengthRateChannelsAndSound)
{
    const auto& [source, target, signal] = GetParam();
    TempDir dir;
    const QString sourcePath =
        dir.file(QStringLiteral("source ä.") + QLatin1String(source.extension));
    const auto samples =
        signal == Signal::Tone ? sine(1000, 44100, 2, 3.0) : silence(44100, 2, 3.0);
    ASSERT_TRUE(makeWithFfmpeg(sourcePath, samples, 44100, 2, source.ffmpegArguments));
    const Decoded original = decodeFile(sourcePath);
    ASSERT_TRUE(original.ok);

    AudioFile reader;
    AudioFile writer;
    EXPECT_TRUE(EncoderSettings().applyTo(writer));
    Transcoder transcoder(reader, writer);
    const QString outputPath =
        dir.file(QStringLiteral("output.") + QLatin1String(target.extension));
    const Status status = transcoder.transcodeFile(sourcePath, outputPath);
    ASSERT_TRUE(status) << status.message().toStdString();

    const Decoded converted = decodeFile(outputPath);
    ASSERT_TRUE(converted.ok);
    EXPECT_EQ(converted.format, (PcmFormat{44100, 2}));
    EXPECT_NEAR(converted.frames(), original.frames(), target.frameTolerance + 16);
    if (signal == Signal::Tone) {
        EXPECT_NEAR(dominantFrequency(converted.samples, 44100, 2, 0), 1000.0, 5.0);
        EXPECT_NEAR(rmsLevel(converted.samples), rmsLevel(original.samples), 0.05);
    } else {
        EXPECT_LT(rmsLevel(converted.samples), 0.001);
    }
}

std::string caseName(const ::testing::TestParamInfo<RoundTrip::ParamType>& info)
{
    const auto& [source, target, signal] = info.param;
    return std::string(source.name) + "To" + target.name +
           (signal == Signal::Tone ? "Tone" : "Silence");
}

INSTANTIATE_TEST_SUITE_P(AllPairs, RoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kFormats),
                                            ::testing::ValuesIn(kFormats),
                                            ::testing::Values(Signal::Tone, Signal::Silence)),
                         caseName);

class CountingObserver : public TranscodeObserver {
public:
    void progressChanged(double percent) override { progress.push_back(percent); }
    void yield() override { ++blocks; }
    bool stopRequested() const override { return stopAfter > 0 && blocks >= stopAfter; }
    void busyChanged(bool busy) override { busyChanges.push_back(busy); }

    std::vector<double> progress;
    std::vector<bool> busyChanges;
    int blocks = 0;
    int stopAfter = 0;
};

TEST(Transcoder, ReportsProgressPerOneSecondBlock)
{
    TempDir dir;
    const QString source = dir.file(QStringLiteral("five.wav"));
    ASSERT_TRUE(writePcmWav(source, sine(440, 8000, 1, 4.5), 8000, 1));
    AudioFile reader;
    AudioFile writer;
    Transcoder transcoder(reader, writer);
    CountingObserver observer;
    ASSERT_TRUE(transcoder.transcodeFile(source, dir.file(QStringLiteral("out.wav")), &observer));

    EXPECT_EQ(observer.blocks, 5);
    const std::vector<double> expected{0,           100.0 / 4.5, 200.0 / 4.5, 300.0 / 4.5,
                                       400.0 / 4.5, 100,         100,         0};
    ASSERT_EQ(observer.progress.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(observer.progress[i], expected[i], 1e-9) << i;
    EXPECT_EQ(observer.busyChanges, (std::vector<bool>{true, false}));
}

TEST(Transcoder, StopLeavesAShorterCompleteOutput)
{
    TempDir dir;
    const QString source = dir.file(QStringLiteral("long.wav"));
    ASSERT_TRUE(writePcmWav(source, sine(440, 22050, 2, 10.0), 22050, 2));
    AudioFile reader;
    AudioFile writer;
    Transcoder transcoder(reader, writer);
    CountingObserver observer;
    observer.stopAfter = 3;
    const QString output = dir.file(QStringLiteral("short.ogg"));
    ASSERT_TRUE(transcoder.transcodeFile(source, output, &observer));

    const Decoded decoded = decodeFile(output);
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(decoded.frames(), 3 * 44100, 64); // three one-second blocks, at 44.1 kHz
}

TEST(Transcoder, EmptySourceIsAnErrorAndLeavesNothing)
{
    TempDir dir;
    const QString source = dir.file(QStringLiteral("empty.wav"));
    ASSERT_TRUE(writePcmWav(source, {}, 44100, 2));
    AudioFile reader;
    AudioFile writer;
    Transcoder transcoder(reader, writer);
    CountingObserver observer;
    const QString output = dir.file(QStringLiteral("empty-out.wav"));
    const Status status = transcoder.transcodeFile(source, output, &observer);
    EXPECT_EQ(status.message(), QStringLiteral("The source holds no audio that can be decoded"));
    EXPECT_EQ(observer.progress, (std::vector<double>{0, 100}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("empty.wav")});
}

} // namespace
