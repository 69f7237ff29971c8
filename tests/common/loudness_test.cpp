#include "common/audio/audiofile.h"
#include "common/audio/audioinformation.h"
#include "common/blockthread.h"
#include "common/codecs/outputformat.h"
#include "common/tags/replaygaintags.h"
#include "convert/batchrun.h"
#include "convert/loudness.h"
#include "convert/outputnaming.h"
#include "convert/segmentedtranscode.h"
#include "convert/transcoder.h"
#include "settings/encodersettings.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

using namespace tunevale;
using namespace tunevale::test;

namespace {

constexpr int kRate = 48000;

// A stereo sine with both channels alike; a 1 kHz sine at both channels measures its RMS
// level in dBFS plus 3.01 as LUFS, so amplitude 10^(-20/20) reads -20 LUFS (to 0.05).
std::vector<qint16> sine(double peakDb, double seconds, double frequency = 1000)
{
    const double amplitude = 32767.0 * std::pow(10.0, peakDb / 20.0);
    std::vector<qint16> samples;
    for (qint64 frame = 0; frame < qint64(seconds * kRate); ++frame) {
        const auto value = qint16(std::lround(
            amplitude * std::sin(2 * std::numbers::pi * frequency * double(frame) / kRate)));
        samples.insert(samples.end(), {value, value});
    }
    return samples;
}

Loudness measure(std::span<const qint16> samples)
{
    LoudnessMeter meter;
    EXPECT_TRUE(meter.start(kRate, 2));
    EXPECT_TRUE(meter.add(samples));
    return meter.result();
}

// The tags of a file as mutagen reads them; names upper-cased but for M4A's freeform ones.
std::map<QString, QString> gainTagsRead(const QString& path)
{
    const QString script = QStringLiteral(R"(
import json, mutagen, sys
out = {}
for key, value in (mutagen.File(sys.argv[1]).tags or {}).items():
    value = getattr(value, 'text', value)
    value = value[0] if isinstance(value, list) else value
    value = value.decode() if isinstance(value, bytes) else str(value)
    if 'GAIN' in key.upper() or 'PEAK' in key.upper():
        out[key if key.startswith('----') else key.upper()] = value
print(json.dumps(out))
)");
    bool ok = false;
    const QString json =
        toolOutput(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path}, &ok);
    EXPECT_TRUE(ok) << path.toStdString();
    std::map<QString, QString> tags;
    const QJsonObject object = QJsonDocument::fromJson(json.toUtf8()).object();
    for (auto it = object.begin(); it != object.end(); ++it)
        tags[it.key()] = it.value().toString();
    return tags;
}

} // namespace

TEST(LoudnessMeter, SineAtAKnownLevelAndSilence)
{
    const Loudness loud = measure(sine(-20, 10));
    EXPECT_FALSE(loud.silent);
    EXPECT_NEAR(loud.lufs, -20.0, 0.05);
    EXPECT_NEAR(loud.peak, std::pow(10.0, -20 / 20.0), 0.002);
    EXPECT_NEAR(replayGainDb(loud.lufs), 2.0, 0.05);
    EXPECT_EQ(gainText(replayGainDb(-21.214)), QStringLiteral("3.21 dB"));
    EXPECT_EQ(gainText(replayGainDb(-14.786)), QStringLiteral("-3.21 dB"));
    EXPECT_EQ(peakText(0.5), QStringLiteral("0.500000"));
    EXPECT_EQ(r128GainQ78(-20.0), -768); // 3 dB below -23 LUFS is -3 * 256
    EXPECT_EQ(r128GainQ78(-200.0), 32767);

    const std::vector<qint16> silence(size_t(kRate) * 2 * 5, 0);
    EXPECT_TRUE(measure(silence).silent);
}

TEST(LoudnessMeter, CombinedMeasuresTheConcatenation)
{
    const std::vector<qint16> quiet = sine(-23, 20, 500);
    const std::vector<qint16> loud = sine(-17, 20, 2000);
    std::vector<qint16> both = quiet;
    both.insert(both.end(), loud.begin(), loud.end());
    LoudnessMeter first;
    LoudnessMeter second;
    ASSERT_TRUE(first.start(kRate, 2));
    ASSERT_TRUE(second.start(kRate, 2));
    ASSERT_TRUE(first.add(quiet));
    ASSERT_TRUE(second.add(loud));
    const std::array<const LoudnessMeter*, 2> meters{&first, &second};
    const Loudness combined = LoudnessMeter::combined(meters);
    EXPECT_NEAR(combined.lufs, measure(both).lufs, 0.05);
    EXPECT_NEAR(combined.peak, second.result().peak, 1e-9);
}

// Blocks handed to a meter on a thread of its own, with the buffers it recycles and a finish
// between them, measure exactly what the same blocks measure on the caller's thread.
TEST(BlockThread, MeterFedOnItsOwnThreadMeasuresEveryBlockInOrder)
{
    const std::vector<qint16> quiet = sine(-30, 3, 500);
    const std::vector<qint16> loud = sine(-12, 2, 3000);
    std::vector<std::span<const qint16>> blocks;
    for (const std::vector<qint16>* part : {&quiet, &loud, &quiet, &loud}) {
        for (size_t at = 0; at < part->size(); at += size_t(kRate) / 5 * 2)
            blocks.push_back(
                std::span(*part).subspan(at, std::min(part->size() - at, size_t(kRate) / 5 * 2)));
    }
    LoudnessMeter direct;
    LoudnessMeter aside;
    ASSERT_TRUE(direct.start(kRate, 2));
    ASSERT_TRUE(aside.start(kRate, 2));
    {
        BlockThread<qint16> thread(
            [&aside](std::span<const qint16> samples) { return aside.add(samples); });
        for (size_t index = 0; index < blocks.size(); ++index) {
            ASSERT_TRUE(direct.add(blocks[index]));
            thread.add(blocks[index]);
            if (index == blocks.size() / 2) {
                ASSERT_TRUE(thread.finish());
            }
        }
        ASSERT_TRUE(thread.finish());
        EXPECT_EQ(aside.result().lufs, direct.result().lufs);
        EXPECT_EQ(aside.result().peak, direct.result().peak);
    }
}

class GainTagsPerFormat : public testing::TestWithParam<OutputKind> {};

// Converted with track gains, then given an album gain, then a silent measurement: each
// format's names, replaced rather than added to.
TEST_P(GainTagsPerFormat, TrackThenAlbumThenSilence)
{
    const OutputKind kind = GetParam();
    TempDir dir;
    ASSERT_TRUE(writePcmWav(dir.file(QStringLiteral("tone.wav")), sine(-20, 5), kRate, 2));
    AudioFile reader;
    AudioFile writer;
    AudioInformation information;
    ASSERT_TRUE(EncoderSettings().applyTo(writer));
    BatchRun batch(reader, writer, information);
    BatchOptions options;
    options.outputFolder = dir.path() + QStringLiteral("/");
    options.loudness.replayGain = ReplayGainMode::Track;
    const QString output = dir.file(QStringLiteral("tone") + targetExtension(kind));
    // A WAV output cannot take its source's name.
    const QString source = dir.file(QStringLiteral("tone.wav"));
    ASSERT_EQ(batch.run({source}, kind, options), 1);
    const QString written =
        kind == OutputKind::Wav ? dir.file(QStringLiteral("New_tone.wav")) : output;

    const bool opus = kind == OutputKind::Opus;
    const bool m4a = kind == OutputKind::M4a;
    const bool id3 = kind == OutputKind::Mp3 || kind == OutputKind::Wav;
    const auto name = [&](const char* base) {
        const QString text = QString::fromLatin1(base);
        if (m4a)
            return QStringLiteral("----:com.apple.iTunes:") + text.toLower();
        return id3 ? QStringLiteral("TXXX:") + text : text;
    };
    std::map<QString, QString> tags = gainTagsRead(written);
    if (opus) {
        ASSERT_EQ(tags.size(), 1u);
        EXPECT_NEAR(tags[QStringLiteral("R128_TRACK_GAIN")].toInt(), -768, 15);
    } else {
        ASSERT_EQ(tags.size(), 2u);
        EXPECT_TRUE(tags[name("REPLAYGAIN_TRACK_GAIN")].endsWith(QStringLiteral(" dB")));
        // Lossy encoders move the level a little; the measurement is of the source.
        EXPECT_NEAR(tags[name("REPLAYGAIN_TRACK_GAIN")].chopped(3).toDouble(), 2.0, 0.05);
        EXPECT_NEAR(tags[name("REPLAYGAIN_TRACK_PEAK")].toDouble(), 0.1, 0.002);
    }

    const GainTagValues album{-12.0, 0.25};
    ASSERT_TRUE(writeGainTags(written, kind, GainScope::Album, &album));
    tags = gainTagsRead(written);
    if (opus) {
        EXPECT_EQ(tags[QStringLiteral("R128_ALBUM_GAIN")], QStringLiteral("-2816"));
        EXPECT_EQ(tags.size(), 2u);
    } else {
        EXPECT_EQ(tags[name("REPLAYGAIN_ALBUM_GAIN")], QStringLiteral("-6.00 dB"));
        EXPECT_EQ(tags[name("REPLAYGAIN_ALBUM_PEAK")], QStringLiteral("0.250000"));
        EXPECT_EQ(tags.size(), 4u);
    }

    // A new track measurement replaces every gain there, the album's too.
    ASSERT_TRUE(writeGainTags(written, kind, GainScope::Track, nullptr));
    EXPECT_TRUE(gainTagsRead(written).empty());
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, GainTagsPerFormat, testing::ValuesIn(everyOutputKind()));

namespace {

// Stops the run once stopAfter rows have finished.
class StoppingObserver final : public BatchObserver {
public:
    explicit StoppingObserver(int stopAfter)
        : m_stopAfter(stopAfter)
    {}
    void rowFinished(const RowResult& result) override
    {
        EXPECT_TRUE(result.saved) << result.output.toStdString();
        ++m_finished;
    }
    bool stopRequested() const override { return m_finished >= m_stopAfter; }
    void logLine(const QString& line) override { lines << line; }
    void yield() override { turnsAfterRows[m_finished]++; }
    QStringList lines;
    std::map<int, int> turnsAfterRows; // event-loop turns given after so many rows finished

private:
    int m_stopAfter;
    int m_finished = 0;
};

} // namespace

// Three untagged tracks of one folder make one album, whose gain is written only once the
// run has finished all three.
TEST(AlbumGain, WrittenOnlyWhenEveryTrackFinished)
{
    TempDir dir;
    const std::vector<std::vector<qint16>> tracks{sine(-30, 4, 440), sine(-20, 5, 1000),
                                                  sine(-10, 3, 3000)};
    QStringList sources;
    std::vector<qint16> album;
    for (size_t index = 0; index < tracks.size(); ++index) {
        sources << dir.file(QStringLiteral("t%1.wav").arg(index));
        ASSERT_TRUE(writePcmWav(sources.back(), tracks[index], kRate, 2));
        album.insert(album.end(), tracks[index].begin(), tracks[index].end());
    }
    AudioFile reader;
    AudioFile writer;
    AudioInformation information;
    ASSERT_TRUE(EncoderSettings().applyTo(writer));
    BatchRun batch(reader, writer, information);
    BatchOptions options;
    options.loudness.replayGain = ReplayGainMode::Album;
    const QString gain = QStringLiteral("REPLAYGAIN_TRACK_GAIN");
    const QString albumGain = QStringLiteral("REPLAYGAIN_ALBUM_GAIN");

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("stopped")));
    options.outputFolder = dir.file(QStringLiteral("stopped/"));
    StoppingObserver stopping(1);
    ASSERT_EQ(batch.run(sources, OutputKind::Flac, options, &stopping), 1);
    std::map<QString, QString> tags = gainTagsRead(dir.file(QStringLiteral("stopped/t0.flac")));
    EXPECT_EQ(tags[gain], gainText(replayGainDb(measure(tracks[0]).lufs)));
    EXPECT_EQ(tags.count(albumGain), 0u);

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("whole")));
    options.outputFolder = dir.file(QStringLiteral("whole/"));
    StoppingObserver never(4);
    ASSERT_EQ(batch.run(sources, OutputKind::Flac, options, &never), 3);
    const double expected = replayGainDb(measure(album).lufs);
    for (size_t index = 0; index < tracks.size(); ++index) {
        const QString output = dir.file(QStringLiteral("whole/t%1.flac").arg(index));
        // The copy that took each file's place holds all of its audio.
        bool whole = false;
        toolOutput(QStringLiteral("flac"), args({"-t", "-s"}) + QStringList{output}, &whole);
        EXPECT_TRUE(whole) << index;
        tags = gainTagsRead(output);
        EXPECT_EQ(tags[gain], gainText(replayGainDb(measure(tracks[index]).lufs)));
        EXPECT_NEAR(tags[albumGain].chopped(3).toDouble(), expected, 0.02) << index;
        EXPECT_EQ(tags[QStringLiteral("REPLAYGAIN_ALBUM_PEAK")], peakText(measure(tracks[2]).peak));
    }
    // The album step gives a window's event loop a turn after each file it rewrites.
    EXPECT_EQ(never.turnsAfterRows[3], 3);
    // Nothing is left of the copies the album gains were written into.
    EXPECT_EQ(QDir(dir.file(QStringLiteral("whole"))).entryList(QDir::Files | QDir::Hidden).size(),
              3);
}

// A file split across threads is measured whole: each segment over its own stretch, the MP3
// segments' overlap at their seams counted once. The seams are quieter than the rest, so an
// overlap counted twice would lower the loudness.
TEST(SegmentedLoudness, MeasuresTheWholeFileOnce)
{
    TempDir dir;
    const double seconds = 30;
    std::vector<qint16> samples = sine(-14, seconds, 1000);
    const std::vector<qint16> quiet = sine(-26, seconds, 1000);
    for (const double seam : {7.5, 15.0, 22.5}) {
        const auto from = size_t((seam - 2.5) * kRate) * 2;
        const auto to = size_t((seam + 2.5) * kRate) * 2;
        std::copy(quiet.begin() + qsizetype(from), quiet.begin() + qsizetype(to),
                  samples.begin() + qsizetype(from));
    }
    const QString source = dir.file(QStringLiteral("long.wav"));
    ASSERT_TRUE(writePcmWav(source, samples, kRate, 2));
    OutputSettings settings;
    ASSERT_TRUE(settings.mp3.setSampleRate(kRate));
    SegmentedTranscode segmented(settings, 2);
    segmented.setMaxSegmentSeconds(8);
    segmented.setMeasureLoudness(true);
    TranscodeObserver observer;
    auto outcome = SegmentedTranscode::Outcome::NotApplicable;
    ASSERT_TRUE(segmented.run(source, dir.file(QStringLiteral("long.mp3")), observer, outcome));
    ASSERT_EQ(outcome, SegmentedTranscode::Outcome::Done);
    const std::vector<LoudnessMeter> meters = segmented.takeLoudnessMeters();
    ASSERT_GE(meters.size(), 4u);
    std::vector<const LoudnessMeter*> parts;
    for (const LoudnessMeter& meter : meters)
        parts.push_back(&meter);
    const Loudness whole = measure(samples);
    EXPECT_NEAR(LoudnessMeter::combined(parts).lufs, whole.lufs, 0.05);
    EXPECT_NEAR(LoudnessMeter::combined(parts).peak, whole.peak, 1e-9);
}

class SegmentedGating : public testing::TestWithParam<OutputKind> {};

// Split into many segments, a file whose level changes every 50 ms measures as one meter
// measures it: no gating block at a seam missed or counted twice.
TEST_P(SegmentedGating, MeasuresAsOneMeter)
{
    TempDir dir;
    std::vector<qint16> samples = sine(0, 40, 997);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> levelDb(-40.0, 0.0);
    const size_t stretch = kRate / 20 * 2;
    for (size_t from = 0; from < samples.size(); from += stretch) {
        const double gain = std::pow(10.0, levelDb(random) / 20);
        for (size_t index = from; index < std::min(samples.size(), from + stretch); ++index)
            samples[index] = qint16(std::lround(samples[index] * gain));
    }
    const QString source = dir.file(QStringLiteral("varied.wav"));
    ASSERT_TRUE(writePcmWav(source, samples, kRate, 2));
    OutputSettings settings;
    ASSERT_TRUE(settings.mp3.setSampleRate(kRate));
    settings.wav.sampleRate = kRate;
    SegmentedTranscode segmented(settings, 2);
    segmented.setMaxSegmentSeconds(3);
    segmented.setMeasureLoudness(true);
    TranscodeObserver observer;
    auto outcome = SegmentedTranscode::Outcome::NotApplicable;
    ASSERT_TRUE(segmented.run(source, dir.file(QStringLiteral("out") + targetExtension(GetParam())),
                              observer, outcome));
    ASSERT_EQ(outcome, SegmentedTranscode::Outcome::Done);
    const std::vector<LoudnessMeter> meters = segmented.takeLoudnessMeters();
    ASSERT_GE(meters.size(), 10u);
    std::vector<const LoudnessMeter*> parts;
    for (const LoudnessMeter& meter : meters)
        parts.push_back(&meter);
    EXPECT_NEAR(LoudnessMeter::combined(parts).lufs, measure(samples).lufs, 0.01);
}

INSTANTIATE_TEST_SUITE_P(SplitFormats, SegmentedGating,
                         testing::Values(OutputKind::Wav, OutputKind::Mp3));

// Normalising reaches the target, or stops at the true-peak ceiling and says so.
TEST(Normalize, ReachesTheTargetOrTheCeiling)
{
    TempDir dir;
    std::vector<qint16> peaky = sine(-30, 10, 1000);
    // One loud click: the target would need 16 dB more, which it cannot take.
    peaky[size_t(kRate) * 2 * 5] = 31000;
    ASSERT_TRUE(writePcmWav(dir.file(QStringLiteral("tone.wav")), sine(-20, 10), kRate, 2));
    ASSERT_TRUE(writePcmWav(dir.file(QStringLiteral("peaky.wav")), peaky, kRate, 2));
    AudioFile reader;
    AudioFile writer;
    AudioInformation information;
    ASSERT_TRUE(EncoderSettings().applyTo(writer));
    BatchRun batch(reader, writer, information);
    BatchOptions options;
    options.outputFolder = dir.file(QStringLiteral("out/"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("out")));
    options.loudness.normalizeLufs = -14.0;
    options.loudness.truePeakDb = -1.0;
    StoppingObserver observer(3);
    ASSERT_EQ(
        batch.run({dir.file(QStringLiteral("tone.wav")), dir.file(QStringLiteral("peaky.wav"))},
                  OutputKind::Flac, options, &observer),
        2);

    Loudness reached;
    ASSERT_TRUE(measureFileLoudness(dir.file(QStringLiteral("out/tone.flac")), reached));
    EXPECT_NEAR(reached.lufs, -14.0, 0.1);
    Loudness held;
    ASSERT_TRUE(measureFileLoudness(dir.file(QStringLiteral("out/peaky.flac")), held));
    EXPECT_NEAR(20 * std::log10(held.peak), -1.0, 0.1);
    EXPECT_LT(held.lufs, -15.0);
    EXPECT_TRUE(observer.lines.join(u'\n').contains(
        QStringLiteral(
            "peaky.wav reaches %1 LUFS, not -14.0 LUFS, to keep its true peak at -1.0 dBTP")
            .arg(held.lufs, 0, 'f', 1)))
        << observer.lines.join(u'\n').toStdString();
    const NormalizeGain gain = normalizeGain(measure(peaky), -14.0, -1.0);
    EXPECT_TRUE(gain.limited);
    EXPECT_FALSE(normalizeGain(measure(sine(-20, 10)), -14.0, -1.0).limited);
    EXPECT_EQ(normalizeGain(Loudness{}, -14.0, -1.0).gainDb, 0.0); // silence
}
