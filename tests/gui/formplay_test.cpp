#include "app/formmain.h"
#include "common/audio/audiofile.h"
#include "filelist/filelistview.h"
#include "player/formplay.h"
#include "player/visualisation.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using namespace tunevale;
using namespace tunevale::test;

namespace {

class Player : public ::testing::Test {
protected:
    static void SetUpTestSuite() { qputenv("TUNEVALE_AUDIO", "null"); }
    static void TearDownTestSuite() { qunsetenv("TUNEVALE_AUDIO"); }

    QString makeWav(const QString& name, double seconds)
    {
        const QString path = m_dir.file(name);
        EXPECT_TRUE(writePcmWav(path, sine(440, 8000, 1, seconds), 8000, 1));
        return path;
    }

    // Runs the event loop until done() is true or the time runs out.
    static bool waitFor(const std::function<bool()>& done, int milliseconds)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < milliseconds)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    TempDir m_dir;
    int m_visualStyle = 3;
};

TEST_F(Player, OpensWithCaptionLengthAndStyle)
{
    FormPlay player(nullptr, makeWav(QStringLiteral("tone.wav"), 1.0), QStringLiteral("00:00:01"),
                    m_visualStyle);
    EXPECT_EQ(player.windowTitle(), u" Play - tone.wav");
    EXPECT_EQ(player.totalText(), u"Total: 00:00:01");
    EXPECT_TRUE(player.isPlaying());
    EXPECT_TRUE(player.buttonShowsPause());
    EXPECT_EQ(player.slider()->maximum(), 1000);
    EXPECT_EQ(player.visualisation()->style(), 2);
    const QList<QAction*> styles = player.styleActions();
    ASSERT_EQ(styles.size(), 6);
    const char* captions[] = {"Analog", "Linear", "Normal", "Fire", "Glass", "Kryptonite"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(styles[i]->text(), QString::fromLatin1(captions[i]));
        EXPECT_EQ(styles[i]->isChecked(), i == 2);
    }
}

TEST_F(Player, StyleChoiceIsKeptAcrossOpenings)
{
    const QString path = makeWav(QStringLiteral("tone.wav"), 0.5);
    {
        FormPlay player(nullptr, path, QString(), m_visualStyle);
        player.styleActions()[5]->trigger();
        EXPECT_EQ(m_visualStyle, 6);
        EXPECT_EQ(player.visualisation()->style(), 5);
        player.styleActions()[5]->trigger(); // the checked item again
        EXPECT_TRUE(player.styleActions()[5]->isChecked());
    }
    FormPlay again(nullptr, path, QString(), m_visualStyle);
    EXPECT_EQ(again.visualisation()->style(), 5);
    EXPECT_TRUE(again.styleActions()[5]->isChecked());
    EXPECT_FALSE(again.styleActions()[2]->isChecked());
}

TEST_F(Player, NameWithoutFolderAndFilesThatCannotPlay)
{
    // No selected row: the design caption and times stay, nothing plays.
    FormPlay none(nullptr, QString(), QString(), m_visualStyle);
    EXPECT_EQ(none.windowTitle(), u" Tunevale");
    EXPECT_EQ(none.totalText(), u"00:00:00");
    EXPECT_EQ(none.elapsedText(), u"00:00:00");
    EXPECT_FALSE(none.isPlaying());

    FormPlay missing(nullptr, QStringLiteral("loose.mp3"), QString(), m_visualStyle);
    EXPECT_EQ(missing.windowTitle(), u" Play - loose.mp3");
    EXPECT_FALSE(missing.isPlaying());

    const QString empty = m_dir.file(QStringLiteral("empty.wav"));
    ASSERT_TRUE(writePcmWav(empty, {}, 44100, 2));
    FormPlay silent(nullptr, empty, QStringLiteral("00:00:00"), m_visualStyle);
    EXPECT_FALSE(silent.isPlaying());
    EXPECT_TRUE(silent.buttonShowsPause());
    EXPECT_EQ(silent.elapsedText(), u"00:00:00");
}

TEST_F(Player, PlaysRatesTheSoundOutputRefuses)
{
    for (const int rate : {192000, 176400, 4000}) {
        SCOPED_TRACE(rate);
        const QString path = m_dir.file(QStringLiteral("rate%1.wav").arg(rate));
        ASSERT_TRUE(writePcmWav(path, sine(440, rate, 2, 0.3), rate, 2));
        FormPlay player(nullptr, path, QStringLiteral("00:00:00"), m_visualStyle);
        EXPECT_TRUE(player.isPlaying());
        EXPECT_TRUE(waitFor([&] { return player.player().samplesPlayed() > rate / 20; }, 3000));
        EXPECT_TRUE(waitFor([&] { return !player.isPlaying(); }, 3000)); // and it ends
    }
}

TEST_F(Player, EndOfFileResetsAndThePlayButtonStartsAgain)
{
    FormPlay player(nullptr, makeWav(QStringLiteral("short.wav"), 0.4), QString(), m_visualStyle);
    ASSERT_TRUE(player.isPlaying());
    ASSERT_TRUE(waitFor([&] { return !player.isPlaying(); }, 5000));
    EXPECT_EQ(player.slider()->value(), 0);
    EXPECT_FALSE(player.buttonShowsPause());
    EXPECT_TRUE(player.isPaused());
    EXPECT_EQ(player.basePosition(), 0);

    player.CmdPause_Click();
    EXPECT_TRUE(player.buttonShowsPause());
    EXPECT_FALSE(player.isPaused());
    EXPECT_TRUE(waitFor([&] { return player.player().samplesPlayed() > 0; }, 3000));
}

TEST_F(Player, SeekWhilePausedShowsTheNewTimeAndKeepsPaused)
{
    FormPlay player(nullptr, makeWav(QStringLiteral("long.wav"), 10.0), QString(), m_visualStyle);
    player.CmdPause_Click();
    ASSERT_TRUE(player.isPaused());
    EXPECT_FALSE(player.buttonShowsPause());

    player.seekTo(500);
    EXPECT_EQ(player.basePosition(), 40000); // half of 10 s at 8 kHz
    EXPECT_EQ(player.elapsedText(), u"00:00:05");
    EXPECT_TRUE(player.isPaused());
    EXPECT_FALSE(player.buttonShowsPause());

    // Past the length the slider stays at its end.
    Q_EMIT player.player().Timer(200000, 0, 0);
    EXPECT_EQ(player.slider()->value(), 1000);
}

// The handle's centre while the slider is at its start, from the handle's length: the style's
// handle rectangle needs the option the slider fills itself, and a style sheet (the skin, which
// a main window of an earlier test leaves on the application) places it elsewhere without.
QPoint startHandleCentre(const QSlider& slider)
{
    QStyleOptionSlider option;
    option.initFrom(&slider);
    const int length = slider.style()->pixelMetric(QStyle::PM_SliderLength, &option, &slider);
    return {length / 2, slider.height() / 2};
}

TEST_F(Player, HoldingTheHandleNeverSeeksAndDraggingToTheEndKeepsTheTime)
{
    FormPlay player(nullptr, makeWav(QStringLiteral("long.wav"), 10.0), QString(), m_visualStyle);
    player.show();
    QSlider* slider = player.slider();
    QTest::mousePress(slider, Qt::LeftButton, {}, startHandleCentre(*slider));
    ASSERT_TRUE(slider->isSliderDown());

    // Held still while the timer moves the handle: the sound runs on unbroken.
    waitFor([] { return false; }, 600);
    EXPECT_EQ(player.basePosition(), 0);
    EXPECT_GT(player.player().samplesPlayed(), 8000 * 4 / 10);

    // Dragged to the very end: the file ends there, showing its end time, not zero.
    QTest::mouseMove(slider, QPoint(slider->width() - 1, slider->height() / 2));
    EXPECT_EQ(player.elapsedText(), u"00:00:10");
    ASSERT_TRUE(waitFor([&] { return !player.isPlaying(); }, 3000));
    waitFor([] { return false; }, 100);
    EXPECT_EQ(player.elapsedText(), u"00:00:10");
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, 1));
    EXPECT_EQ(player.elapsedText(), u"00:00:10");
}

struct EncodedSource {
    const char* name;
    const char* codec;
    int sampleRate;
};

// The other inputs play through the reader like the four formats: the position moves on, the
// whole length plays and the end comes without an error.
TEST_F(Player, PlaysTheOtherInputFormats)
{
    constexpr double kSeconds = 0.6;
    for (const auto& [name, codec, rate] :
         {EncodedSource{"tone.flac", "flac", 44100}, EncodedSource{"tone.opus", "libopus", 48000},
          EncodedSource{"tone.oga", "flac", 44100}, EncodedSource{"aac.m4a", "aac", 44100},
          EncodedSource{"alac.m4a", "alac", 44100}, EncodedSource{"tone.aiff", "pcm_s16be", 44100},
          EncodedSource{"tone.webm", "libopus", 48000}, EncodedSource{"tone.mka", "flac", 44100}}) {
        SCOPED_TRACE(name);
        const QString path = m_dir.file(QLatin1String(name));
        ASSERT_TRUE(makeWithFfmpeg(path, sine(440, rate, 2, kSeconds), rate, 2,
                                   QStringList{QStringLiteral("-c:a"), QLatin1String(codec)}));
        AudioFile reader; // the length the player's position is measured against
        ASSERT_TRUE(reader.open(path));
        EXPECT_EQ(reader.sampleRate(), rate);
        EXPECT_NEAR(double(reader.totalLength()), kSeconds * rate, rate * 0.025);

        FormPlay player(nullptr, path, QString(), m_visualStyle);
        ASSERT_TRUE(player.isPlaying());
        EXPECT_TRUE(waitFor([&] { return player.slider()->value() > 0; }, 3000));
        ASSERT_TRUE(waitFor([&] { return !player.isPlaying(); }, 5000));
        EXPECT_EQ(player.player().status(), 0);
        EXPECT_NEAR(double(player.player().samplesToMilliseconds(player.player().samplesPlayed())),
                    kSeconds * 1000, 25);
    }
}

// Files the program writes itself play to their end at their own rate.
TEST_F(Player, PlaysTheFlacOpusAndM4aItWrites)
{
    constexpr double kSeconds = 0.6;
    for (const auto& [name, rate] : {std::pair{"made.flac", 44100}, std::pair{"made.opus", 48000},
                                     std::pair{"made.m4a", 44100}}) {
        SCOPED_TRACE(name);
        const QString path = m_dir.file(QLatin1String(name));
        AudioFile writer;
        writer.setSourceFormat({{44100, 2}, 16});
        ASSERT_TRUE(writer.create(path));
        ASSERT_TRUE(writer.setInputFormat(44100, 2));
        ASSERT_TRUE(writer.write(sine(440, 44100, 2, kSeconds)));
        ASSERT_TRUE(writer.close());
        AudioFile reader;
        ASSERT_TRUE(reader.open(path));
        EXPECT_EQ(reader.sampleRate(), rate);

        FormPlay player(nullptr, path, QString(), m_visualStyle);
        ASSERT_TRUE(player.isPlaying());
        ASSERT_TRUE(waitFor([&] { return !player.isPlaying(); }, 5000));
        EXPECT_EQ(player.player().status(), 0);
        EXPECT_NEAR(double(player.player().samplesToMilliseconds(player.player().samplesPlayed())),
                    kSeconds * 1000, 25);
    }
}

TEST_F(Player, ClosingStopsTheSound)
{
    FormPlay player(nullptr, makeWav(QStringLiteral("tone.wav"), 5.0), QString(), m_visualStyle);
    player.show();
    ASSERT_TRUE(player.isPlaying());
    player.close();
    EXPECT_FALSE(player.isPlaying());
    const qint64 played = player.player().samplesPlayed();
    waitFor([] { return false; }, 200);
    EXPECT_EQ(player.player().samplesPlayed(), played);
}

// Past the end nothing is left to resume: let go there, the slider shows the start and Play
// plays the file from its beginning.
TEST_F(Player, DraggingPastTheEndLetsPlayStartAgain)
{
    FormPlay player(nullptr, makeWav(QStringLiteral("tone.wav"), 1.0), QString(), m_visualStyle);
    player.show();
    QSlider* slider = player.slider();
    const QPoint end(slider->width() - 1, slider->height() / 2);
    QTest::mousePress(slider, Qt::LeftButton, {}, startHandleCentre(*slider));
    QTest::mouseMove(slider, end);
    ASSERT_TRUE(waitFor([&] { return !player.isPlaying(); }, 3000)); // the file ends there
    QTest::mouseMove(slider, end);                                   // and the drag goes on
    QTest::mouseRelease(slider, Qt::LeftButton, {}, end);
    EXPECT_EQ(slider->value(), 0);

    player.CmdPause_Click();
    EXPECT_TRUE(waitFor([&] { return player.player().samplesPlayed() > 800; }, 3000));
    EXPECT_LT(player.basePosition(), 800);
}

// Focus alone chooses no file: without a selected row the player opens and plays nothing.
TEST_F(Player, PlayWithoutASelectedRowPlaysNothing)
{
    FormMain window;
    FileListView& list = *window.ListView1();
    list.AddFileRow(makeWav(QStringLiteral("tone.wav"), 1.0));
    list.clearSelection();
    list.setCurrentItem(list.topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
    std::optional<bool> playing;
    QString caption;
    std::function<void()> inspect = [&] {
        auto* form = qobject_cast<FormPlay*>(QApplication::activeModalWidget());
        if (!form) {
            QTimer::singleShot(10, &window, inspect);
            return;
        }
        playing = form->isPlaying();
        caption = form->windowTitle();
        form->reject();
    };
    QTimer::singleShot(0, &window, inspect);
    window.M_Play_Click();
    EXPECT_EQ(playing, false);
    EXPECT_EQ(caption, u" Tunevale");
}

// Input that arrives together with a seek's waits for it, as it does on the null output.
class PlayerOnTheSoundServer : public Player {
protected:
    static void SetUpTestSuite() { qunsetenv("TUNEVALE_AUDIO"); }
};

TEST_F(PlayerOnTheSoundServer, InputQueuedBehindASeekWaitsForIt)
{
    // Silence, which adds nothing to what tests that record the server hear meanwhile.
    const QString path = m_dir.file(QStringLiteral("silence.wav"));
    ASSERT_TRUE(writePcmWav(path, std::vector<qint16>(80000), 8000, 1));
    FormPlay player(nullptr, path, QString(), m_visualStyle);
    if (!player.player().usesSoundDevice()) {
        if (qgetenv("TUNEVALE_REQUIRE_SOUND_DEVICE") == "1")
            FAIL() << "TUNEVALE_REQUIRE_SOUND_DEVICE=1 but no sound output was found";
        GTEST_SKIP() << "no sound output";
    }
    player.show();
    QSlider* slider = player.slider();

    // Fifty PageUps in one batch: fifty steps of 1 %, and the sound goes there, not back to
    // where the first one led.
    const int before = slider->value();
    for (int key = 0; key < 50; ++key)
        QCoreApplication::postEvent(slider, new QKeyEvent(QEvent::KeyPress, Qt::Key_PageUp, {}));
    waitFor([] { return false; }, 100);
    EXPECT_NEAR(double(player.basePosition()), (before + 500) * 80.0, 80.0 * 20);
}

} // namespace
