#include "app/formmain.h"
#include "convert/formconvert.h"
#include "filelist/filelistview.h"
#include "filelist/listfeed.h"
#include "settings/formatdialog.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

using namespace tunevale;
using namespace tunevale::test;

namespace {

template <typename Widget> Widget* control(const QWidget& dialog, const char* name)
{
    auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// Clicks near the left end, where radio buttons and check boxes have their box and caption.
void press(const QWidget& dialog, const char* button)
{
    QAbstractButton* widget = control<QAbstractButton>(dialog, button);
    QTest::mouseClick(widget, Qt::LeftButton, {},
                      QPoint(std::min(8, widget->width() / 2), widget->height() / 2));
}

// The log without timestamps: everything from ": " on.
QStringList withoutTimestamps(const QStringList& lines)
{
    QStringList texts;
    for (const QString& line : lines)
        texts.append(line.mid(line.indexOf(QStringLiteral(": "))));
    return texts;
}

// Saves what the window shows when the tests run with TUNEVALE_SHOTS naming a folder.
void screenshot(QWidget& window, const QString& name)
{
    const QString folder = qEnvironmentVariable("TUNEVALE_SHOTS");
    if (!folder.isEmpty())
        window.grab().save(QDir(folder).filePath(name));
}

class Conversion : public ::testing::Test {
protected:
    QString makeWav(const QString& name, double seconds = 1.0)
    {
        const QString path = m_dir.file(name);
        EXPECT_TRUE(writePcmWav(path, sine(440, 22050, 2, seconds), 22050, 2));
        m_paths.append(path);
        return path;
    }

    EncoderSettings settingsFor(OutputKind target) const
    {
        EncoderSettings settings;
        settings.TargetFormat = target;
        settings.OutputFolder = m_dir.path() + QDir::separator();
        return settings;
    }

    TempDir m_dir;
    QStringList m_paths;
};

TEST_F(Conversion, ShowsTheTargetFormatsSummaryAndConfigCaption)
{
    for (OutputKind target : everyOutputKind()) {
        const EncoderSettings settings = settingsFor(target);
        FormConvert dialog(nullptr, m_paths, settings, {});
        EXPECT_EQ(dialog.summary(), settings.summary());
        EXPECT_EQ(control<QPushButton>(dialog, "CmdSet")->text(),
                  QStringLiteral("Config ") + formatCaption(target));
    }
}

TEST_F(Conversion, RunConvertsEveryRowInOrderAndNamesOutputsFreshly)
{
    const QString a = makeWav(QStringLiteral("a.wav"));
    const QString b = makeWav(QStringLiteral("b.wav"));
    FormConvert dialog(nullptr, m_paths, settingsFor(OutputKind::Wav), {});
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

// After a run the dialog says where it stands and offers the folder the outputs went to.
TEST_F(Conversion, RunShowsFileCountAndOffersTheOutputFolder)
{
    makeWav(QStringLiteral("a.wav"));
    makeWav(QStringLiteral("b.wav"));
    FormConvert dialog(nullptr, m_paths, settingsFor(OutputKind::Wav), {});
    QStringList opened;
    dialog.setFolderOpener([&opened](const QString& folder) { opened.append(folder); });
    auto* open = control<QPushButton>(dialog, "CmdOpenFolder");
    auto* run = control<QLabel>(dialog, "LabelRun");
    EXPECT_TRUE(open->isHidden());
    EXPECT_TRUE(run->isHidden());

    dialog.CmdConvert_Click();
    EXPECT_FALSE(run->isHidden());
    EXPECT_TRUE(run->text().startsWith(u"file 2 of 2, elapsed 00:00:0"))
        << run->text().toStdString();
    EXPECT_TRUE(run->text().endsWith(u", remaining 00:00:00")) << run->text().toStdString();
    EXPECT_FALSE(open->isHidden());
    open->click();
    EXPECT_EQ(opened, QStringList{QFileInfo(m_dir.path()).absoluteFilePath()});

    // A run that writes nothing offers no folder.
    QFile::remove(m_paths.first());
    QFile::remove(m_paths.last());
    dialog.CmdConvert_Click();
    EXPECT_TRUE(open->isHidden());
    EXPECT_TRUE(dialog.outputFolder().isEmpty());
}

// The same rows, a failing one in the middle, with three jobs and with one: the log reads
// the same line for line and the encoder writes the same bytes.
// The dialog's log names what a row's output could not keep, right after its saved line.
TEST_F(Conversion, LogNamesFieldsTheOutputDidNotKeep)
{
    const QString tagged = m_dir.file(QStringLiteral("tagged.ogg"));
    ASSERT_TRUE(makeWithFfmpeg(
        tagged, sine(440, 22050, 2, 0.5), 22050, 2,
        args({"-c:a", "libvorbis", "-metadata", "track=3/12", "-metadata", "ISRC=USX9P0100001"})));
    const QString plain = makeWav(QStringLiteral("plain.wav"), 0.5);
    FormConvert dialog(nullptr, {tagged, plain}, settingsFor(OutputKind::Wma), {});
    dialog.show();
    dialog.CmdConvert_Click();
    const QString output = m_dir.file(QStringLiteral("tagged.wma"));
    EXPECT_EQ(
        withoutTimestamps(dialog.log()),
        (QStringList{
            QStringLiteral(": Reading - ") + tagged, QStringLiteral(": Converting - tagged.wma"),
            QStringLiteral(": Saved - ") + output,
            QStringLiteral(": Not kept - ") + output + QStringLiteral(": track total"),
            QStringLiteral(": Reading - ") + plain, QStringLiteral(": Converting - plain.wma"),
            QStringLiteral(": Saved - ") + m_dir.file(QStringLiteral("plain.wma"))}));
    screenshot(dialog, QStringLiteral("convert-not-kept.png"));
}

TEST_F(Conversion, ThreeJobsLogAndWriteExactlyAsOne)
{
    for (int row = 0; row < 7; ++row)
        makeWav(QStringLiteral("take%1.wav").arg(row), 0.5 + 0.25 * row);
    ASSERT_TRUE(QFile::remove(m_paths[3])); // vanished after it was listed

    const auto convertInto = [&](const QString& name, int jobs) {
        const QString folder = m_dir.file(name);
        EXPECT_TRUE(QDir().mkpath(folder));
        EncoderSettings settings = settingsFor(OutputKind::Mp3);
        settings.OutputFolder = folder + QDir::separator();
        FormConvert dialog(nullptr, m_paths, settings, {});
        dialog.setJobs(jobs);
        dialog.Option2_Click();
        dialog.CmdConvert_Click();
        EXPECT_EQ(dialog.status(), u"Processed 7 files.");
        return withoutTimestamps(dialog.log()).join(u'\n').replace(folder, QStringLiteral("OUT"));
    };
    const QString one = convertInto(QStringLiteral("one"), 1);
    const QString three = convertInto(QStringLiteral("three"), 3);
    EXPECT_EQ(three, one);
    const QStringList lines = one.split(u'\n');
    ASSERT_EQ(lines.size(), 21);
    EXPECT_TRUE(lines[11].startsWith(u": Error - take3.mp3 ")) << lines[11].toStdString();
    EXPECT_EQ(lines[20], u": Saved - OUT/take6.mp3");

    for (int row = 0; row < 7; ++row) {
        const QString name = QStringLiteral("take%1.mp3").arg(row);
        const QByteArray written = fileBytes(m_dir.file(QStringLiteral("one/") + name));
        EXPECT_EQ(written.isEmpty(), row == 3) << row;
        EXPECT_TRUE(written == fileBytes(m_dir.file(QStringLiteral("three/") + name))) << row;
    }
}

// Stop while three jobs run: each file in progress ends after its block, is saved and logged
// in list order, and no other row begins.
TEST_F(Conversion, StopEndsEveryRunningFileAndBeginsNoOther)
{
    for (int row = 0; row < 7; ++row)
        makeWav(QStringLiteral("long%1.wav").arg(row), 6.0);
    ASSERT_TRUE(QFile::remove(m_paths[1]));
    FormConvert dialog(nullptr, m_paths, settingsFor(OutputKind::Ogg), {});
    dialog.setJobs(3);
    dialog.show();
    bool refusedClose = false;
    QTimer::singleShot(0, &dialog, [&] {
        QCloseEvent close;
        QCoreApplication::sendEvent(&dialog, &close);
        refusedClose = !close.isAccepted() && dialog.flgConvert();
        EXPECT_EQ(dialog.windowTitle(), u" Converting, please wait...");
        press(dialog, "CmdStop");
        EXPECT_EQ(dialog.windowTitle(), u" Tunevale"); // idle at once
    });
    dialog.CmdConvert_Click();
    EXPECT_TRUE(refusedClose);
    const QStringList log = withoutTimestamps(dialog.log());
    ASSERT_EQ(log.size(), 9) << log.join(u'\n').toStdString();
    const int rows[] = {0, 1, 2};
    for (int row : rows) {
        const QString name = QStringLiteral("long%1.ogg").arg(row);
        EXPECT_EQ(log[3 * row], QStringLiteral(": Reading - ") + m_paths[row]);
        EXPECT_EQ(log[3 * row + 1], QStringLiteral(": Converting - ") + name);
        if (row == 1) {
            EXPECT_TRUE(log[5].startsWith(u": Error - long1.ogg ")) << log[5].toStdString();
            continue;
        }
        EXPECT_EQ(log[3 * row + 2], QStringLiteral(": Saved - ") + m_dir.file(name));
        const Decoded kept = decodeFile(m_dir.file(name));
        ASSERT_TRUE(kept.ok) << row;
        EXPECT_LT(kept.frames(), 6 * 44100) << row;
    }
    EXPECT_FALSE(QFileInfo::exists(m_dir.file(QStringLiteral("long3.ogg"))));
    // The reason makes the error line long: the whole of it shows as the line's tooltip.
    const QListWidgetItem* error = dialog.findChild<QListWidget*>()->item(5);
    EXPECT_EQ(error->toolTip(), error->text());
    EXPECT_EQ(dialog.status(), u"Processed 3 files.");
}

// The output choice made while a run goes on applies from the next row that begins.
TEST_F(Conversion, OutputChoiceChangedDuringTheRunAppliesToRowsNotYetBegun)
{
    for (int row = 0; row < 3; ++row)
        makeWav(QStringLiteral("song%1.wav").arg(row), 0.5);
    TempDir out;
    EncoderSettings settings = settingsFor(OutputKind::Ogg);
    settings.OutputFolder = out.path() + QDir::separator();
    FormConvert dialog(nullptr, m_paths, settings, {});
    dialog.setJobs(1);
    dialog.show();
    auto* log = control<QListWidget>(dialog, "List1");
    QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, &dialog, [&] {
        if (log->count() == 3) // the first row's ": Saved - "
            press(dialog, "Option2");
    });
    dialog.CmdConvert_Click();
    EXPECT_TRUE(QFileInfo::exists(m_dir.file(QStringLiteral("song0.ogg"))));
    for (const char* name : {"song1.ogg", "song2.ogg"}) {
        EXPECT_TRUE(QFileInfo::exists(out.file(QString::fromLatin1(name)))) << name;
        EXPECT_FALSE(QFileInfo::exists(m_dir.file(QString::fromLatin1(name)))) << name;
    }
}

TEST_F(Conversion, ChoicesStartAfreshAtEveryOpeningAndComeBackInTheSettings)
{
    EncoderSettings settings = settingsFor(OutputKind::Wav);
    settings.UseOutputFolder = true;
    settings.CopyTags = false;
    FormConvert dialog(nullptr, m_paths, settings, {});
    dialog.show();
    EXPECT_TRUE(control<QCheckBox>(dialog, "Check1")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(dialog, "Option1")->isChecked());
    EXPECT_TRUE(dialog.settings().CopyTags);
    EXPECT_FALSE(dialog.settings().UseOutputFolder);

    press(dialog, "Check1");
    press(dialog, "Option2");
    EXPECT_FALSE(dialog.settings().CopyTags);
    EXPECT_TRUE(dialog.settings().UseOutputFolder);
    EXPECT_EQ(dialog.settings().rowOutputFolder(), settings.OutputFolder);
}

// The saved outputs of a run, named below folder, in log order.
QStringList savedBelow(const QStringList& log, const QString& folder)
{
    QStringList saved;
    const QString mark = QStringLiteral(": Saved - ");
    for (const QString& line : log) {
        if (const qsizetype at = line.indexOf(mark); at >= 0)
            saved.append(line.mid(at + mark.size()).remove(0, folder.size()));
    }
    return saved;
}

// The preview's names, less the source names before the arrows.
QStringList previewNames(const FormConvert& dialog)
{
    QStringList names;
    const QString preview = control<QPlainTextEdit>(dialog, "TextPreview")->toPlainText();
    for (const QString& line : preview.split(u'\n')) {
        const qsizetype arrow = line.indexOf(QStringLiteral(" \u2192 "));
        names.append(arrow < 0 ? line : line.mid(arrow + 3));
    }
    return names;
}

// Tree kept and names from tags: the preview shows what the run then writes.
TEST_F(Conversion, PreviewShowsTheNamesTheRunWrites)
{
    QDir root(m_dir.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("in/Lena/Blue")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("out")));
    const QString tagged = m_dir.file(QStringLiteral("in/Lena/Blue/one.ogg"));
    ASSERT_TRUE(makeWithFfmpeg(tagged, sine(440, 22050, 2, 0.3), 22050, 2,
                               args({"-c:a", "libvorbis", "-metadata", "title=Sky"})));
    const QString plain = m_dir.file(QStringLiteral("in/two.wav"));
    ASSERT_TRUE(writePcmWav(plain, sine(440, 22050, 2, 0.3), 22050, 2));
    EncoderSettings settings = settingsFor(OutputKind::Wav);
    const QString out = m_dir.file(QStringLiteral("out")) + QDir::separator();
    settings.OutputFolder = out;
    FormConvert dialog(nullptr, {tagged, plain}, settings, {});
    dialog.setRelativeFolders({QStringLiteral("Lena/Blue"), QString()});
    dialog.show();
    auto* keepTree = control<QCheckBox>(dialog, "CheckKeepTree");
    EXPECT_FALSE(keepTree->isEnabled()); // outputs beside their sources have no tree to keep
    EXPECT_EQ(previewNames(dialog),
              (QStringList{QStringLiteral("one.wav"), QStringLiteral("New_two.wav")}));

    press(dialog, "Option2");
    EXPECT_TRUE(keepTree->isEnabled());
    press(dialog, "CheckKeepTree");
    control<QLineEdit>(dialog, "TextPattern")->setText(QStringLiteral("{title|untitled} ({ext})"));
    const QStringList expected{QStringLiteral("Lena/Blue/Sky (ogg).wav"),
                               QStringLiteral("untitled (wav).wav")};
    EXPECT_EQ(previewNames(dialog), expected);
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral("Lena"))); // a preview makes no folder
    QCoreApplication::processEvents();                             // the preview lays out its lines
    screenshot(dialog, QStringLiteral("dialog-names-before-run.png"));

    dialog.CmdConvert_Click();
    EXPECT_EQ(savedBelow(dialog.log(), out), expected);
    screenshot(dialog, QStringLiteral("dialog-names-after-run.png"));
    EXPECT_TRUE(dialog.settings().Naming.keepTree);
    EXPECT_EQ(dialog.settings().Naming.pattern, QStringLiteral("{title|untitled} ({ext})"));

    control<QLineEdit>(dialog, "TextPattern")->setText(QStringLiteral("{artst}"));
    EXPECT_EQ(previewNames(dialog),
              QStringList{QStringLiteral("unknown field {artst} in the name pattern")});
}

// Numbering gives taken names a number in the preview and in the run alike, and the choice
// comes back to a dialog opened with the returned settings.
TEST_F(Conversion, TakenNamesAreNumberedAndTheChoiceLasts)
{
    QDir root(m_dir.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("a")) && root.mkpath(QStringLiteral("b")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("out")));
    const QStringList sources{m_dir.file(QStringLiteral("a/lena.wav")),
                              m_dir.file(QStringLiteral("b/lena.wav"))};
    for (const QString& source : sources)
        ASSERT_TRUE(writePcmWav(source, sine(440, 22050, 2, 0.2), 22050, 2));
    const QString out = m_dir.file(QStringLiteral("out")) + QDir::separator();
    ASSERT_TRUE(writeFileBytes(out + QStringLiteral("lena.mp3"), "taken"));
    EncoderSettings settings = settingsFor(OutputKind::Mp3);
    settings.OutputFolder = out;
    FormConvert dialog(nullptr, sources, settings, {});
    press(dialog, "Option2");
    control<QComboBox>(dialog, "ComboIfTaken")->setCurrentIndex(1);
    EXPECT_EQ(previewNames(dialog), (QStringList{QStringLiteral("lena.mp3 (exists, skipped)"),
                                                 QStringLiteral("New_lena.mp3")}));
    control<QComboBox>(dialog, "ComboIfTaken")->setCurrentIndex(2);
    const QStringList expected{QStringLiteral("lena (2).mp3"), QStringLiteral("lena (3).mp3")};
    EXPECT_EQ(previewNames(dialog), expected);
    dialog.CmdConvert_Click();
    EXPECT_EQ(savedBelow(dialog.log(), out), expected);
    EXPECT_EQ(dialog.settings().IfTaken, IfExists::Number);

    FormConvert reopened(nullptr, sources, dialog.settings(), {});
    EXPECT_EQ(control<QComboBox>(reopened, "ComboIfTaken")->currentIndex(), 2);
}

// The loudness choice reaches the run: the output carries its measured track gain.
TEST_F(Conversion, LoudnessChoiceWritesTheTrackGain)
{
    const QString source = makeWav(QStringLiteral("tone.wav"));
    const QString output = m_dir.file(QStringLiteral("tone.ogg"));
    FormConvert dialog(nullptr, m_paths, settingsFor(OutputKind::Ogg), {});
    control<QComboBox>(dialog, "ComboReplayGain")->setCurrentIndex(1);
    press(dialog, "CheckNormalize");
    control<QComboBox>(dialog, "ComboTarget")->setCurrentIndex(2);
    const LoudnessOptions chosen = dialog.settings().LoudnessChoice;
    EXPECT_EQ(chosen.replayGain, ReplayGainMode::Track);
    EXPECT_EQ(chosen.normalizeLufs, std::optional<double>(-16));
    EXPECT_EQ(chosen.truePeakDb, -1);

    dialog.CmdConvert_Click();
    ASSERT_TRUE(QFileInfo::exists(output)) << dialog.log().join(u'\n').toStdString();
    bool ok = false;
    const QString gain =
        toolOutput(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral("-c"),
                    QStringLiteral("import mutagen, sys; print(mutagen.File(sys.argv[1])"
                                   "['REPLAYGAIN_TRACK_GAIN'][0])"),
                    output},
                   &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(gain.trimmed().endsWith(QStringLiteral(" dB"))) << gain.toStdString();

    FormConvert reopened(nullptr, m_paths, dialog.settings(), {});
    EXPECT_EQ(reopened.settings().LoudnessChoice, chosen);
    EXPECT_TRUE(control<QCheckBox>(reopened, "CheckNormalize")->isChecked());
    EXPECT_EQ(control<QComboBox>(reopened, "ComboReplayGain")->currentIndex(), 1);
}

// The main window hands the dialog each row's folder below the folder it was dropped with.
TEST_F(Conversion, RowsAddedFromAFolderKeepTheirTreeInTheDialog)
{
    QDir root(m_dir.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("in/CD1")));
    ASSERT_TRUE(writePcmWav(m_dir.file(QStringLiteral("in/CD1/x.wav")), sine(440, 22050, 2, 0.2),
                            22050, 2));
    FormMain main;
    ListFeed feed(*main.ListView1(), {});
    feed.add({m_dir.file(QStringLiteral("in/CD1/x.wav"))}, m_dir.file(QStringLiteral("in")));
    ASSERT_EQ(main.ListView1()->rowCount(), 1);

    QString preview;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<FormConvert*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        press(*dialog, "Option2");
        press(*dialog, "CheckKeepTree");
        preview = control<QPlainTextEdit>(*dialog, "TextPreview")->toPlainText();
        dialog->close();
    });
    main.convertTo(OutputKind::Wav);
    EXPECT_EQ(preview,
              QStringLiteral("x.wav \u2192 CD1") + QDir::separator() + QStringLiteral("x.wav"));
}

// Config hides the dialog, shows the settings dialog over it and brings it back with the
// new summary; the log, the output choice and the status line stay.
TEST_F(Conversion, ConfigRoundTripKeepsTheDialogAndItsRun)
{
    FormMain main;
    makeWav(QStringLiteral("first.wav"));
    makeWav(QStringLiteral("second.wav"));
    for (const QString& path : m_paths)
        main.ListView1()->AddFileRow(path);

    QTimer guard; // a failing step must not leave a modal loop running
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            modal->reject();
    });
    guard.start(20000);

    QStringList logBefore;
    bool settingsShown = false;
    bool checked = false;
    // Presses OK in the settings dialog once it is up, after choosing mono there.
    const auto answerSettings = [&settingsShown](FormConvert* dialog) {
        QTimer::singleShot(0, [&settingsShown, dialog] {
            QWidget* settings = QApplication::activeModalWidget();
            ASSERT_NE(settings, nullptr);
            settingsShown = settings->objectName() == u"FormWAV" && !dialog->isVisible();
            press(*settings, "P1");
            press(*settings, "CmdOK");
        });
    };
    // What must hold once the conversion dialog's own loop has turned again.
    const auto afterRoundTrip = [&](FormConvert* dialog) {
        EXPECT_TRUE(settingsShown);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), dialog);
        EXPECT_EQ(dialog->summary(), QStringLiteral("WAV 44,100 Hz; Mono; 16 bit"));
        EXPECT_EQ(dialog->log(), logBefore);
        EXPECT_EQ(dialog->status(), QStringLiteral("Processed 2 files."));
        EXPECT_TRUE(control<QRadioButton>(*dialog, "Option2")->isChecked());
    };

    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<FormConvert*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        press(*dialog, "CmdConvert");
        press(*dialog, "Option2");
        logBefore = dialog->log();
        ASSERT_EQ(logBefore.size(), 6);
        screenshot(*dialog, QStringLiteral("config-before.png"));
        answerSettings(dialog);
        press(*dialog, "CmdSet");

        QTimer::singleShot(0, dialog, [&, dialog] {
            afterRoundTrip(dialog);
            screenshot(*dialog, QStringLiteral("config-after.png"));
            // Clicking the summary opens the settings dialog just as Config does.
            settingsShown = false;
            answerSettings(dialog);
            QTest::mouseClick(control<QLabel>(*dialog, "LabelFomartStr"), Qt::LeftButton);
            QTimer::singleShot(0, dialog, [&, dialog] {
                afterRoundTrip(dialog);
                checked = true;
                press(*dialog, "CmdClose");
            });
        });
    });
    main.convertTo(OutputKind::Wav);
    EXPECT_TRUE(checked);
    EXPECT_EQ(main.settings().Formats.wav.channels, 1); // the choice lasts beyond the dialog
    EXPECT_EQ(main.settings().TargetFormat, OutputKind::Wav);
}

} // namespace
