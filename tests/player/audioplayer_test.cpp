#include "player/audioplayer.h"

#include "common/audio/audiofile.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMediaDevices>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace tunevale {
namespace {

// Runs the event loop until done() holds or the time runs out; never hangs.
bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void runFor(int milliseconds)
{
    runUntil([] { return false; }, milliseconds);
}

enum class Kind { Request, Timer, EndArray, EndPlay };

struct Event {
    Kind kind;
    qint64 samples; // the Timer's count, else samplesPlayed() when the event arrived
    int left = 0;
    int right = 0;
};

// Stands in for the player window: records every event and answers a request for more
// with the next of the arrays given to it, while any are left.
struct Listener {
    explicit Listener(AudioPlayer& player, std::vector<QVector<qint16>> toFeed = {})
        : pending(std::move(toFeed))
    {
        auto record = [this, &player](Kind kind) {
            return [this, &player, kind] {
                events.push_back({kind, player.samplesPlayed()});
            };
        };
        QObject::connect(&player, &AudioPlayer::RequestOnLoadArray, &player, [this, &player] {
            events.push_back({Kind::Request, player.samplesPlayed()});
            if (!pending.empty()) {
                player.queueArray(pending.front());
                pending.erase(pending.begin());
            }
        });
        QObject::connect(&player, &AudioPlayer::Timer, &player,
                         [this](qint64 samples, int left, int right) {
                             events.push_back({Kind::Timer, samples, left, right});
                         });
        QObject::connect(&player, &AudioPlayer::EndArrayPlay, &player, record(Kind::EndArray));
        QObject::connect(&player, &AudioPlayer::EndPlay, &player, record(Kind::EndPlay));
    }

    int count(Kind kind) const
    {
        return static_cast<int>(std::count_if(events.begin(), events.end(),
                                              [kind](const Event& e) { return e.kind == kind; }));
    }
    bool ended() const { return count(Kind::EndPlay) > 0; }

    std::vector<Event> events;
    std::vector<QVector<qint16>> pending;
};

// Element i holds i (wrapping), so any stretch tells where in the stream it came from.
QVector<qint16> ramp(qint64 elements, qint64 first = 0)
{
    QVector<qint16> samples(elements);
    for (qint64 i = 0; i < elements; ++i)
        samples[i] = static_cast<qint16>((first + i) % 32768);
    return samples;
}

QVector<qint16> tone(int sampleRate, int channels, double seconds)
{
    const std::vector<qint16> samples = test::sine(440, sampleRate, channels, seconds);
    return QVector<qint16>(samples.begin(), samples.end());
}

// Sets or clears TUNEVALE_AUDIO for one test and puts it back afterwards.
class AudioEnvironment {
public:
    explicit AudioEnvironment(const char* value)
        : m_wasSet(qEnvironmentVariableIsSet("TUNEVALE_AUDIO"))
        , m_saved(qgetenv("TUNEVALE_AUDIO"))
    {
        if (value)
            qputenv("TUNEVALE_AUDIO", value);
        else
            qunsetenv("TUNEVALE_AUDIO");
    }
    ~AudioEnvironment()
    {
        if (m_wasSet)
            qputenv("TUNEVALE_AUDIO", m_saved);
        else
            qunsetenv("TUNEVALE_AUDIO");
    }
    Q_DISABLE_COPY_MOVE(AudioEnvironment)

private:
    bool m_wasSet;
    QByteArray m_saved;
};

class AudioPlayerTest : public ::testing::Test {
    AudioEnvironment m_nullOutput{"null"};
};

struct Format {
    int sampleRate;
    int channels;
};

class AudioPlayerFormatTest : public AudioPlayerTest,
                              public ::testing::WithParamInterface<Format> {};

TEST_P(AudioPlayerFormatTest, PlaysArraysFedOnRequestWithEventsInOrder)
{
    const auto [rate, channels] = GetParam();
    AudioPlayer player;
    player.setOutputFormat(rate, channels);
    ASSERT_EQ(player.status(), 0);
    EXPECT_EQ(player.millisecondsToSamples(1500), rate * 3 / 2);
    EXPECT_EQ(player.samplesToMilliseconds(rate * 3 / 2), 1500);
    EXPECT_EQ(player.samplesToMilliseconds(rate - 1), 999); // never ahead of what played

    // A square wave, left at +-10000 and right at +-20000, in three 100 ms arrays that are
    // handed over only when the player asks.
    const qint64 arrayFrames = rate / 10;
    QVector<qint16> wave(3 * arrayFrames * channels, 0);
    for (qint64 frame = 0; frame < 3 * arrayFrames; ++frame) {
        const int sign = (frame / (rate / 200)) % 2 == 0 ? 1 : -1;
        wave[frame * channels] = static_cast<qint16>(sign * 10'000);
        wave[frame * channels + (channels > 1 ? 1 : 0)] = static_cast<qint16>(sign * 20'000);
    }
    std::vector<QVector<qint16>> arrays;
    for (int i = 0; i < 3; ++i)
        arrays.push_back(wave.mid(i * arrayFrames * channels, arrayFrames * channels));
    Listener listener(player, arrays);

    player.beginArrayPlayback();
    ASSERT_EQ(player.status(), 0);
    EXPECT_FALSE(player.usesSoundDevice());
    ASSERT_TRUE(runUntil([&] { return listener.ended(); }, 5000));
    runFor(100); // nothing may follow the end

    const std::vector<Event>& events = listener.events;
    EXPECT_EQ(events.front().kind, Kind::Request);
    EXPECT_EQ(events.back().kind, Kind::EndPlay);
    EXPECT_EQ(events.back().samples, 3 * arrayFrames);
    EXPECT_EQ(listener.count(Kind::EndPlay), 1);
    EXPECT_EQ(listener.count(Kind::EndArray), 3);
    EXPECT_GE(listener.count(Kind::Timer), 2);
    qint64 lastTimer = 0;
    int arraysEnded = 0;
    for (const Event& event : events) {
        if (event.kind == Kind::Timer && event.samples > 0) {
            EXPECT_GE(event.samples, lastTimer);
            EXPECT_LE(event.samples, 3 * arrayFrames);
            EXPECT_EQ(event.left, channels == 1 ? 20'000 : 10'000);
            EXPECT_EQ(event.right, 20'000);
            lastTimer = event.samples;
        } else if (event.kind == Kind::EndArray) {
            EXPECT_GE(event.samples, ++arraysEnded * arrayFrames);
        }
    }
    EXPECT_EQ(player.samplesPlayed(), 3 * arrayFrames);
    EXPECT_EQ(player.lastPlayedSamples(channels * 50), wave.mid(wave.size() - channels * 50));
}

INSTANTIATE_TEST_SUITE_P(AudioPlayerFormats, AudioPlayerFormatTest,
                         ::testing::Values(Format{8000, 1}, Format{44100, 2}, Format{96000, 6}),
                         [](const auto& info) {
                             return std::to_string(info.param.sampleRate) + "Hz" +
                                    std::to_string(info.param.channels) + "ch";
                         });

// Files made by the program's own FLAC, Opus and M4A writers play whole: every frame of the
// source and no encoder priming, FLAC's values exactly as they went in.
TEST_F(AudioPlayerTest, PlaysTheFlacOpusAndM4aTheProgramWrites)
{
    constexpr int kRate = 44100;
    constexpr double kSeconds = 0.5;
    const std::vector<qint16> source = test::sine(440, kRate, 2, kSeconds, 0.5);
    const test::TempDir dir;
    struct Made {
        const char* name;
        int fileRate;
    };
    for (const auto& [name, fileRate] :
         {Made{"made.flac", kRate}, Made{"made.opus", 48000}, Made{"made.m4a", kRate}}) {
        SCOPED_TRACE(name);
        const QString path = dir.file(QLatin1String(name));
        AudioFile writer;
        writer.setSourceFormat({{kRate, 2}, 16});
        ASSERT_TRUE(writer.create(path));
        ASSERT_TRUE(writer.setInputFormat(kRate, 2));
        ASSERT_TRUE(writer.write(source));
        ASSERT_TRUE(writer.close());

        AudioFile reader;
        ASSERT_TRUE(reader.open(path));
        ASSERT_EQ(reader.sampleRate(), fileRate);
        ASSERT_EQ(reader.channels(), 2);
        std::vector<QVector<qint16>> arrays;
        QVector<qint16> decoded;
        for (std::vector<qint16> block; reader.read(4096 * 2, block) && !block.empty();) {
            arrays.emplace_back(block.begin(), block.end());
            decoded += arrays.back();
        }
        const qint64 frames = decoded.size() / 2;
        const qint64 sourceFrames = qint64(kSeconds * fileRate);
        EXPECT_EQ(frames, sourceFrames);
        if (QLatin1String(name).endsWith(u".flac")) {
            EXPECT_TRUE(std::equal(source.begin(), source.end(), decoded.begin(), decoded.end()));
        }

        AudioPlayer player;
        player.setOutputFormat(fileRate, 2);
        Listener listener(player, arrays);
        player.beginArrayPlayback();
        ASSERT_TRUE(runUntil([&] { return listener.ended(); }, 5000));
        EXPECT_EQ(player.status(), 0);
        EXPECT_EQ(player.samplesPlayed(), frames);
        EXPECT_EQ(player.lastPlayedSamples(200), decoded.mid(decoded.size() - 200));
    }
}

TEST_F(AudioPlayerTest, PlaysAtRoughlyRealTimeAndStopSilences)
{
    AudioPlayer player;
    player.setOutputFormat(44100, 2);
    Listener listener(player);
    player.queueArray(tone(44100, 2, 2.0));
    QElapsedTimer clock;
    player.beginArrayPlayback();
    clock.start();
    runFor(300);
    const double ratio = player.samplesPlayed() / (clock.elapsed() * 44.1);
    EXPECT_GT(ratio, 0.5);
    EXPECT_LT(ratio, 1.5);

    player.stop();
    const std::size_t eventsAtStop = listener.events.size();
    const qint64 playedAtStop = player.samplesPlayed();
    runFor(150);
    EXPECT_EQ(listener.events.size(), eventsAtStop);
    EXPECT_EQ(player.samplesPlayed(), playedAtStop);
    EXPECT_EQ(player.status(), 0);

    // The rest of the tone is gone: a new start has nothing to play.
    player.beginArrayPlayback();
    ASSERT_TRUE(runUntil([&] { return listener.ended(); }, 3000));
    EXPECT_EQ(player.samplesPlayed(), 0);
    EXPECT_EQ(listener.count(Kind::EndArray), 0);
}

TEST_F(AudioPlayerTest, DrawsTheValuesJustPlayed)
{
    AudioPlayer player;
    player.setOutputFormat(8000, 2);
    player.queueArray(ramp(8000 * 2));
    QVector<qint16> drawn;
    qint64 playedBefore = 0;
    qint64 playedAfter = 0;
    QObject::connect(&player, &AudioPlayer::Timer, &player, [&](qint64 samples, int, int) {
        if (drawn.isEmpty() && samples > 100) {
            playedBefore = player.samplesPlayed();
            drawn = player.lastPlayedSamples(64);
            playedAfter = player.samplesPlayed();
        }
    });
    player.beginArrayPlayback();
    ASSERT_TRUE(runUntil([&] { return !drawn.isEmpty(); }, 3000));
    // A stretch of the ramp that ends where playback stood (the clock runs on meanwhile).
    const qint64 end = drawn.back() + 1;
    EXPECT_EQ(drawn, ramp(64, end - 64));
    EXPECT_GE(end, playedBefore * 2);
    EXPECT_LE(end, playedAfter * 2);
}

TEST_F(AudioPlayerTest, FlushRestartsTheCountAndDropsWhatWasQueued)
{
    AudioPlayer player;
    player.setOutputFormat(8000, 1);
    Listener listener(player);
    player.queueArray(ramp(8000));
    player.queueArray(ramp(8000));
    player.beginArrayPlayback();
    ASSERT_TRUE(runUntil([&] { return player.samplesPlayed() >= 800; }, 3000));

    player.flush();
    EXPECT_EQ(player.samplesPlayed(), 0);
    const std::size_t eventsAtSeek = listener.events.size();
    player.queueArray(ramp(1600, 5000)); // as after a seek: two chunks
    player.queueArray(ramp(1600, 6600));
    ASSERT_TRUE(runUntil([&] { return listener.ended(); }, 5000));

    // Only the arrays queued after the flush end, and the count covers only them.
    EXPECT_EQ(player.samplesPlayed(), 3200);
    EXPECT_EQ(listener.count(Kind::EndArray), 2);
    const auto firstTimer =
        std::find_if(listener.events.begin() + static_cast<std::ptrdiff_t>(eventsAtSeek),
                     listener.events.end(), [](const Event& e) { return e.kind == Kind::Timer; });
    ASSERT_NE(firstTimer, listener.events.end());
    EXPECT_LT(firstTimer->samples, 1600);
    EXPECT_EQ(player.lastPlayedSamples(3), ramp(3, 8200 - 3));
}

TEST_F(AudioPlayerTest, IgnoresArraysWithoutWholeFrames)
{
    AudioPlayer player;
    player.setOutputFormat(8000, 2);
    Listener listener(player);
    player.queueArray({});
    player.queueArray(ramp(1));
    player.queueArray(ramp(801));
    player.queueArray(ramp(20));
    player.beginArrayPlayback();
    ASSERT_TRUE(runUntil([&] { return listener.ended(); }, 3000));
    EXPECT_EQ(listener.count(Kind::EndArray), 1);
    EXPECT_EQ(player.samplesPlayed(), 10);
    // More asked for than was played: zeros first.
    QVector<qint16> expected(12, 0);
    expected.append(ramp(20));
    EXPECT_EQ(player.lastPlayedSamples(32), expected);
}

TEST_F(AudioPlayerTest, AsksOnceWhenLowAndEndsWhenNothingArrives)
{
    AudioPlayer player;
    player.setOutputFormat(44100, 2);
    Listener listener(player);
    player.queueArray(tone(44100, 2, 0.1));
    player.beginArrayPlayback();
    ASSERT_TRUE(runUntil([&] { return listener.ended(); }, 3000));
    runFor(60);
    EXPECT_EQ(listener.count(Kind::Request), 1);
    EXPECT_EQ(listener.count(Kind::EndPlay), 1);

    // Data after the end plays on, and ends once more.
    player.queueArray(tone(44100, 2, 0.05));
    ASSERT_TRUE(runUntil([&] { return listener.count(Kind::EndPlay) == 2; }, 3000));
    EXPECT_EQ(player.samplesPlayed(), 4410 + 2205);
}

// A fresh or flushed queue fills in one go, so the output starts (and a seek sounds) at once.
TEST_F(AudioPlayerTest, AsksAgainWhileTheWindowAnswers)
{
    AudioPlayer player;
    player.setOutputFormat(8000, 1);
    Listener listener(player, std::vector<QVector<qint16>>(30, ramp(1600)));
    player.beginArrayPlayback();
    ASSERT_TRUE(runUntil([&] { return listener.count(Kind::Request) > 0; }, 3000));
    EXPECT_GE(listener.count(Kind::Request), 5);
    EXPECT_LT(listener.count(Kind::Request), 30); // but only so far ahead
}

TEST_F(AudioPlayerTest, RefusesFormatsOutsideTheRange)
{
    AudioPlayer player;
    Listener listener(player);
    for (const Format format :
         {Format{0, 2}, Format{1'000'000, 2}, Format{44100, 0}, Format{44100, 9}}) {
        player.setOutputFormat(format.sampleRate, format.channels);
        player.beginArrayPlayback();
        EXPECT_LT(player.status(), 0) << format.sampleRate << " Hz " << format.channels;
    }
    runFor(60);
    EXPECT_TRUE(listener.events.empty());

    player.setOutputFormat(22050, 1);
    player.beginArrayPlayback();
    EXPECT_EQ(player.status(), 0);
    EXPECT_TRUE(runUntil([&] { return listener.ended(); }, 3000));
}

// Rates a sound server refuses (the null output keeps the same rule) are resampled: the
// counts stay in the arrays' own frames and every array still ends.
TEST_F(AudioPlayerTest, ResamplesRatesTheOutputRefuses)
{
    for (const Format format : {Format{192000, 2}, Format{176400, 1}, Format{4000, 1}}) {
        SCOPED_TRACE(format.sampleRate);
        AudioPlayer player;
        player.setOutputFormat(format.sampleRate, format.channels);
        ASSERT_EQ(player.status(), 0);
        EXPECT_GE(player.outputSampleRate(), 8000);
        EXPECT_LE(player.outputSampleRate(), 96000);
        const QVector<qint16> wave = tone(format.sampleRate, format.channels, 0.3);
        const qsizetype third = wave.size() / 3;
        Listener listener(player,
                          {wave.mid(0, third), wave.mid(third, third), wave.mid(2 * third)});
        player.beginArrayPlayback();
        ASSERT_EQ(player.status(), 0);
        ASSERT_TRUE(runUntil([&] { return listener.ended(); }, 5000));
        EXPECT_EQ(listener.count(Kind::EndArray), 3);
        const qint64 frames = wave.size() / format.channels;
        EXPECT_NEAR(double(player.samplesPlayed()), double(frames), frames * 0.002);
        for (const Event& event : listener.events) {
            if (event.kind == Kind::Timer) {
                EXPECT_LE(event.samples, frames);
            }
        }
        const QVector<qint16> drawn = player.lastPlayedSamples(400);
        EXPECT_GT(*std::max_element(drawn.begin(), drawn.end()), 8000); // the tone, not silence
    }
}

// Needs a sound server (CI starts one with a null sink); without one it is skipped, unless
// TUNEVALE_REQUIRE_SOUND_DEVICE=1 says the server should be there.
class AudioPlayerRealOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QMediaDevices::audioOutputs().isEmpty()) {
            if (qgetenv("TUNEVALE_REQUIRE_SOUND_DEVICE") == "1")
                FAIL() << "TUNEVALE_REQUIRE_SOUND_DEVICE=1 but no sound output was found";
            GTEST_SKIP() << "no sound output";
        }
    }

    AudioEnvironment m_defaultOutput{nullptr};
};

// What the server plays, heard through the monitor of its default sink: 16-bit stereo at
// 44,100 Hz.
class MonitorRecording {
public:
    bool start()
    {
        m_parec.start(QStringLiteral("parec"),
                      {QStringLiteral("--device=@DEFAULT_MONITOR@"), QStringLiteral("--raw"),
                       QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                       QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20")});
        if (!m_parec.waitForStarted())
            return false;
        runFor(300);
        return true;
    }
    // Waits first for what the server holds to reach the monitor.
    QByteArray stop(int waitMs = 500)
    {
        runFor(waitMs);
        m_parec.terminate();
        m_parec.waitForFinished();
        return m_parec.readAllStandardOutput();
    }

private:
    QProcess m_parec;
};

// Stereo 44,100 Hz frames that carry their own index (never 0, so silence stands out).
QVector<qint16> indexed(qint64 frames)
{
    QVector<qint16> samples(frames * 2);
    for (qint64 i = 0; i < frames; ++i) {
        samples[2 * i] = static_cast<qint16>(1000 + i % 30000);
        samples[2 * i + 1] = static_cast<qint16>(1000 + i / 30000);
    }
    return samples;
}

// The indexes heard, in order; -1 for silence or anything else.
std::vector<qint64> heardIndexes(const QByteArray& recording)
{
    const auto* values = reinterpret_cast<const qint16*>(recording.constData());
    std::vector<qint64> heard(recording.size() / 4, -1);
    for (size_t i = 0; i < heard.size(); ++i) {
        const int left = values[2 * i] - 1000;
        const int right = values[2 * i + 1] - 1000;
        if (left >= 0 && left < 30000 && right >= 0)
            heard[i] = qint64{right} * 30000 + left;
    }
    return heard;
}

// The longest run of sound in a recording, in seconds.
double longestSound(const QByteArray& recording)
{
    const auto* values = reinterpret_cast<const qint16*>(recording.constData());
    const qsizetype frames = recording.size() / 4;
    constexpr qsizetype kWindow = 441; // 10 ms
    qsizetype run = 0;
    qsizetype longest = 0;
    for (qsizetype start = 0; start + kWindow <= frames; start += kWindow) {
        const bool loud = std::any_of(values + start * 2, values + (start + kWindow) * 2,
                                      [](qint16 value) { return std::abs(value) > 1000; });
        run = loud ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest * kWindow / 44100.0;
}

TEST_F(AudioPlayerRealOutput, AShortSoundIsHeardWholeBeforeTheEnd)
{
    MonitorRecording recording;
    if (!recording.start())
        GTEST_SKIP() << "parec is not installed";
    AudioPlayer player;
    player.setOutputFormat(44100, 2);
    Listener listener(player);
    QObject::connect(&player, &AudioPlayer::EndPlay, &player, [&player] {
        player.stop(); // as the window does
    });
    player.queueArray(tone(44100, 2, 0.1));
    player.beginArrayPlayback();
    EXPECT_TRUE(player.usesSoundDevice());
    ASSERT_TRUE(runUntil([&] { return listener.ended(); }, 10'000));
    EXPECT_EQ(player.status(), 0);
    EXPECT_EQ(player.samplesPlayed(), 4410);

    // 20 ms, twice, each heard to its last frame. (A fresh stream on the test server's null
    // sink may lose up to its first 10 ms on the monitor, so only the end counts.)
    constexpr qint64 kFrames = 882;
    for (int play = 1; play <= 2; ++play) {
        runFor(300);
        player.queueArray(indexed(kFrames));
        player.beginArrayPlayback();
        ASSERT_TRUE(runUntil([&] { return listener.count(Kind::EndPlay) > play; }, 10'000));
        EXPECT_EQ(player.samplesPlayed(), kFrames);
    }
    const QByteArray sound = recording.stop(2000);
    EXPECT_GE(longestSound(sound), 0.08);
    const std::vector<qint64> heard = heardIndexes(sound);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), kFrames - 1), 2);
}

// The position is what the server has played: stopped at it, the sound heard ends there.
TEST_F(AudioPlayerRealOutput, PositionIsWhatHasBeenHeard)
{
    MonitorRecording recording;
    if (!recording.start())
        GTEST_SKIP() << "parec is not installed";
    AudioPlayer player;
    player.setOutputFormat(44100, 2);
    player.queueArray(indexed(3 * 44100));
    player.beginArrayPlayback();
    ASSERT_TRUE(runUntil([&] { return player.samplesPlayed() > 44100; }, 10'000));
    runFor(200);
    player.stop();
    const qint64 position = player.samplesPlayed();
    const std::vector<qint64> heard = heardIndexes(recording.stop());
    const qint64 lastHeard = *std::max_element(heard.begin(), heard.end());
    EXPECT_NEAR(double(lastHeard), double(position), 44100 * 0.04); // 40 ms
}

// A window thread that is busy for 400 ms at a time (a loaded machine) leaves no gap in the
// sound: the output holds enough, and the player asks for 200 ms arrays far enough ahead.
TEST_F(AudioPlayerRealOutput, PlaysOnThroughABusyThread)
{
    MonitorRecording recording;
    if (!recording.start())
        GTEST_SKIP() << "parec is not installed";
    AudioPlayer player;
    player.setOutputFormat(44100, 2);
    constexpr qint64 kFrames = 3 * 44100;
    const QVector<qint16> sound = indexed(kFrames);
    std::vector<QVector<qint16>> arrays;
    for (qint64 start = 0; start < kFrames; start += 8820)
        arrays.push_back(sound.mid(start * 2, 8820 * 2));
    Listener listener(player, arrays);
    player.beginArrayPlayback();
    player.flush(); // twice, as seeks do: each restarts the stream
    player.flush();
    ASSERT_TRUE(runUntil([&] { return player.samplesPlayed() > 44100 / 2; }, 10'000));
    for (int stall = 0; stall < 2; ++stall) {
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < 400) {
        }
        runFor(300);
    }
    ASSERT_TRUE(runUntil([&] { return listener.ended(); }, 10'000));

    const std::vector<qint64> heard = heardIndexes(recording.stop());
    auto frame = std::find_if(heard.begin(), heard.end(), [](qint64 i) { return i >= 0; });
    int breaks = 0;
    for (; frame + 1 < heard.end() && *frame != kFrames - 1; ++frame)
        breaks += frame[1] != *frame + 1 ? 1 : 0;
    EXPECT_EQ(breaks, 0);
    EXPECT_EQ(*frame, kFrames - 1);
}

// Restarting the output runs no queued event: a handler that seeks, pauses or resumes
// must not have the next input handled inside it.
TEST_F(AudioPlayerRealOutput, RestartingTheOutputHandlesNoQueuedEvent)
{
    AudioPlayer player;
    player.setOutputFormat(44100, 2);
    player.queueArray(tone(44100, 2, 1.0));
    player.beginArrayPlayback();
    ASSERT_TRUE(player.usesSoundDevice());
    runFor(100);
    bool handled = false;
    QMetaObject::invokeMethod(
        &player, [&handled] { handled = true; }, Qt::QueuedConnection);
    player.flush();
    player.stop();
    player.beginArrayPlayback();
    EXPECT_FALSE(handled);
    runFor(20);
    EXPECT_TRUE(handled);
}

TEST_F(AudioPlayerRealOutput, PlaysAToneThroughTheSoundServer)
{

    AudioPlayer player;
    player.setOutputFormat(44100, 2);
    Listener listener(player);
    const QVector<qint16> samples = tone(44100, 2, 0.5);
    player.queueArray(samples);
    player.beginArrayPlayback();
    EXPECT_EQ(player.status(), 0);
    EXPECT_TRUE(player.usesSoundDevice());
    // The test server's null sink can stall for a couple of seconds when a stream starts.
    EXPECT_TRUE(runUntil([&] { return listener.ended(); }, 10'000));
    EXPECT_EQ(player.status(), 0);
    EXPECT_EQ(listener.count(Kind::EndPlay), 1);
    EXPECT_EQ(listener.count(Kind::EndArray), 1);
    EXPECT_EQ(player.samplesPlayed(), samples.size() / 2);
    EXPECT_EQ(player.lastPlayedSamples(8), samples.mid(samples.size() - 8));

    // Rates beyond what the server takes play through it too, resampled where it must.
    int ends = 1;
    for (const int rate : {192000, 4000}) {
        SCOPED_TRACE(rate);
        player.setOutputFormat(rate, 2);
        player.queueArray(tone(rate, 2, 0.2));
        player.beginArrayPlayback();
        EXPECT_EQ(player.status(), 0);
        EXPECT_TRUE(player.usesSoundDevice());
        ++ends;
        EXPECT_TRUE(runUntil([&] { return listener.count(Kind::EndPlay) == ends; }, 10'000));
        EXPECT_EQ(player.status(), 0);
        EXPECT_NEAR(double(player.samplesPlayed()), rate * 0.2, rate * 0.002);
    }
}

} // namespace
} // namespace tunevale
