#include "player/audioplayer.h"

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

// The longest run of sound in 16-bit stereo at 44,100 Hz, in seconds.
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
    // What the server plays, heard through the monitor of its default sink.
    QProcess recorder;
    recorder.start(QStringLiteral("parec"),
                   {QStringLiteral("--device=@DEFAULT_MONITOR@"), QStringLiteral("--raw"),
                    QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                    QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20")});
    if (!recorder.waitForStarted())
        GTEST_SKIP() << "parec is not installed";
    runFor(300);

    AudioPlayer player;
    player.setOutputFormat(44100, 2);
    Listener listener(player);
    player.queueArray(tone(44100, 2, 0.1));
    player.beginArrayPlayback();
    EXPECT_TRUE(player.usesSoundDevice());
    ASSERT_TRUE(runUntil([&] { return listener.ended(); }, 10'000));
    EXPECT_EQ(player.status(), 0);
    EXPECT_EQ(player.samplesPlayed(), 4410);
    runFor(1000);
    recorder.terminate();
    recorder.waitForFinished();
    EXPECT_GE(longestSound(recorder.readAllStandardOutput()), 0.08);
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
