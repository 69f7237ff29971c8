#include "app/formmain.h"
#include "convert/formconvert.h"
#include "filelist/filelistview.h"

#include "support/fixtures.h"
#include "support/signals.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace {

class Conversion : public ::testing::Test {
protected:
    QString makeWav(const QString& name, double seconds = 1.0)
    {
        const QString path = m_dir.file(name);
        EXPECT_TRUE(writePcmWav(path, sine(440, 22050, 2, seconds), 22050, 2));
        m_main.ListView1()->AddFileRow(path);
        return path;
    }

    // The log without timestamps: everything from ": " on.
    static QStringList withoutTimestamps(const QStringList& lines)
    {
        QStringList texts;
        for (const QString& line : lines)
            texts.append(line.mid(line.indexOf(QStringLiteral(": "))));
        return texts;
    }

    TempDir m_dir;
    FormMain m_main;
};

TEST_F(Conversion, SummaryDescribesEachTargetFormat)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EncoderSettings& settings = m_main.settings();
    settings.TargetFormat = QStringLiteral("OGG");
    FormConvert dialog(m_main);
    EXPECT_EQ(dialog.summary(), u"OGG 44,100 Hz; Stereo; 128 Kbps");
    settings.OggVbrEnabled = true;
    settings.OggMinBitrate = 96;
    settings.OggMaxBitrate = 160;
    dialog.UpdateFormatSummary();
    EXPECT_EQ(dialog.summary(), u"OGG 44,100 Hz; Stereo; 96-160Kbps VBR");
    settings.OggQualityEnabled = true;
    settings.OggQuality = 425;
    dialog.UpdateFormatSummary();
    EXPECT_EQ(dialog.summary(), u"OGG 44,100 Hz; Stereo; Quality - 4.25");
    settings.OggQuality = 300;
    dialog.UpdateFormatSummary();
    EXPECT_EQ(dialog.summary(), u"OGG 44,100 Hz; Stereo; Quality - 3.0");

    settings.TargetFormat = QStringLiteral("WAV");
    dialog.UpdateFormatSummary();
    EXPECT_EQ(dialog.summary(), u"WAV 44,100 Hz; Stereo; 16 bit");
    settings.WavSampleRate = 22050;
    settings.WavChannels = 1;
    settings.WavBitsPerSample = 8;
    dialog.UpdateFormatSummary();
    EXPECT_EQ(dialog.summary(), u"WAV 22,050 Hz; Mono; 8 bit");

    settings.TargetFormat = QStringLiteral("MP3");
    dialog.UpdateFormatSummary();
    EXPECT_EQ(dialog.summary(), settings.OutputFormatText);
    (void)m_main.MP3Lame().setVbrMethod(Mp3Encoder::kVbrNew);
    dialog.UpdateFormatSummary();
    EXPECT_EQ(dialog.summary(), settings.OutputFormatText + QStringLiteral(" VBR"));

    settings.TargetFormat = QStringLiteral("WMA");
    settings.WmaProfileIndex = 35;
    dialog.UpdateFormatSummary();
    EXPECT_EQ(dialog.summary(), m_main.FileW().settingsDescription());
    EXPECT_TRUE(dialog.summary().contains(u"16000"));
    QLocale::setDefault(QLocale::system());
}

TEST_F(Conversion, RunConvertsEveryRowInOrderAndNamesOutputsFreshly)
{
    const QString a = makeWav(QStringLiteral("a.wav"));
    const QString b = makeWav(QStringLiteral("b.wav"));
    m_main.ListView1()->clearSelection(); // unselected rows are converted too
    m_main.settings().TargetFormat = QStringLiteral("WAV");
    FormConvert dialog(m_main);
    dialog.CmdConvert_Click();
    EXPECT_EQ(
        withoutTimestamps(dialog.log()),
        (QStringList{QStringLiteral(": Reading - ") + a, QStringLiteral(": Converting - New_a.wav"),
                     QStringLiteral(": Saved - ") + m_dir.file(QStringLiteral("New_a.wav")),
                     QStringLiteral(": Reading - ") + b, QStringLiteral(": Converting - New_b.wav"),
                     QStringLiteral(": Saved - ") + m_dir.file(QStringLiteral("New_b.wav"))}));
    EXPECT_EQ(dialog.status(), u"Processed 2 files.");
    EXPECT_FALSE(dialog.flgConvert());
    EXPECT_EQ(dialog.windowTitle(), u" Tunevale");

    dialog.CmdConvert_Click(); // the log grows; names collide once more
    EXPECT_EQ(dialog.log().size(), 12);
    EXPECT_TRUE(QFile::exists(m_dir.file(QStringLiteral("New_New_a.wav"))));
}

TEST_F(Conversion, StopDuringTheFirstFileKeepsItAndEndsTheRun)
{
    makeWav(QStringLiteral("one.wav"), 6.0);
    makeWav(QStringLiteral("two.wav"));
    makeWav(QStringLiteral("three.wav"));
    m_main.settings().TargetFormat = QStringLiteral("OGG");
    FormConvert dialog(m_main);
    bool refusedClose = false;
    QTimer::singleShot(0, &dialog, [&] {
        QCloseEvent close;
        QCoreApplication::sendEvent(&dialog, &close);
        refusedClose = !close.isAccepted() && dialog.flgConvert();
        EXPECT_EQ(dialog.windowTitle(), u" Converting, please wait...");
        dialog.CmdStop_Click();
    });
    dialog.CmdConvert_Click();
    EXPECT_TRUE(refusedClose);
    const QStringList log = withoutTimestamps(dialog.log());
    ASSERT_EQ(log.size(), 3);
    EXPECT_TRUE(log[2].startsWith(u": Saved - ")) << log[2].toStdString();
    EXPECT_EQ(dialog.status(), u"Processed 1 file.");
    const Decoded kept = decodeFile(m_dir.file(QStringLiteral("one.ogg")));
    ASSERT_TRUE(kept.ok);
    EXPECT_LT(kept.frames(), 6 * 44100);
}

TEST_F(Conversion, AFailingRowIsLoggedAndTheRunGoesOn)
{
    makeWav(QStringLiteral("good.wav"));
    const QString doomed = makeWav(QStringLiteral("doomed.wav"));
    makeWav(QStringLiteral("last.wav"));
    ASSERT_TRUE(QFile::remove(doomed)); // vanished after it was listed
    m_main.settings().TargetFormat = QStringLiteral("MP3");
    FormConvert dialog(m_main);
    dialog.CmdConvert_Click();
    const QStringList log = withoutTimestamps(dialog.log());
    ASSERT_EQ(log.size(), 9);
    EXPECT_TRUE(log[2].startsWith(u": Saved - "));
    EXPECT_TRUE(log[5].startsWith(u": Error - doomed.mp3 ")) << log[5].toStdString();
    // The reason makes the line long: the whole of it shows as the line's tooltip.
    const QListWidgetItem* error = dialog.findChild<QListWidget*>()->item(5);
    EXPECT_EQ(error->toolTip(), error->text());
    EXPECT_TRUE(log[8].startsWith(u": Saved - "));
    EXPECT_FALSE(QFile::exists(m_dir.file(QStringLiteral("doomed.mp3"))));
    EXPECT_EQ(dialog.status(), u"Processed 3 files.");
}

TEST_F(Conversion, ASpecifiedFolderReceivesTheOutputs)
{
    makeWav(QStringLiteral("song.wav"));
    TempDir out;
    QFile existing(out.file(QStringLiteral("song.ogg")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    m_main.settings().TargetFormat = QStringLiteral("OGG");
    m_main.settings().OutputFolder = out.path() + QDir::separator();
    FormConvert dialog(m_main);
    dialog.Option2_Click();
    dialog.CmdConvert_Click();
    EXPECT_TRUE(decodeFile(out.file(QStringLiteral("New_song.ogg"))).ok)
        << dialog.log().join(u'\n').toStdString();
    EXPECT_EQ(QFileInfo(out.file(QStringLiteral("song.ogg"))).size(), 0); // not overwritten
}

TEST_F(Conversion, TagSwitchIsOnAtEveryOpening)
{
    m_main.settings().TargetFormat = QStringLiteral("WAV");
    m_main.settings().OutputFolder = m_dir.path() + QDir::separator();
    FormConvert dialog(m_main);
    EXPECT_TRUE(m_main.settings().CopyTags);
    m_main.settings().CopyTags = false;
    FormConvert again(m_main);
    EXPECT_TRUE(m_main.settings().CopyTags); // checked at every opening
}

} // namespace
