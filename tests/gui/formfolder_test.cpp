#include "common/audio/audioinformation.h"
#include "filelist/filelistview.h"
#include "filelist/formfolder.h"
#include "widgets/folderbrowser.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace tunevale;
using namespace tunevale::test;

namespace {

class AddFolder : public ::testing::Test {
protected:
    AddFolder()
        : m_list(new FileListView(m_information, &m_mainWindow))
    {
        m_mainWindow.setCentralWidget(m_list);
        m_mainWindow.show();
    }

    QString makeWav(const QString& relative)
    {
        const QString path = m_dir.file(relative);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(writePcmWav(path, sine(440, 8000, 1, 0.05), 8000, 1));
        return QDir::toNativeSeparators(path);
    }

    FormFolder* open()
    {
        m_form = new FormFolder(*m_list, &m_mainWindow, m_lastScanFolder);
        m_form->show();
        return m_form;
    }

    template <typename T> T* child(const QString& text = {})
    {
        for (T* widget : m_form->findChildren<T*>()) {
            if (text.isEmpty() || widget->property("text").toString() == text)
                return widget;
        }
        return nullptr;
    }

    QString label() { return m_form->findChildren<QLabel*>().last()->text(); }

    void startScan(const QString& folder)
    {
        child<QLineEdit>()->setText(folder);
        m_form->CmdStart_Click();
    }

    AudioInformation m_information;
    QMainWindow m_mainWindow;
    FileListView* m_list;
    QString m_lastScanFolder;
    QPointer<FormFolder> m_form;
    TempDir m_dir;
};

TEST_F(AddFolder, OpensWithItsControlsAndHidesTheMainWindow)
{
    m_lastScanFolder = QStringLiteral("  /music with blanks  ");
    open();
    EXPECT_EQ(m_form->windowTitle(), u" Add Folder");
    EXPECT_EQ(m_form->parentWidget(), nullptr);
    EXPECT_FALSE(m_mainWindow.isVisible());
    EXPECT_EQ(child<QLineEdit>()->text(), m_lastScanFolder);
    auto* filter = child<QComboBox>();
    ASSERT_EQ(filter->count(), 6);
    EXPECT_EQ(filter->currentText(), u"*.mp3;*.wma;*.wav;*.ogg;*.flac;*.opus;*.oga;*.m4a;*.aac;"
                                     u"*.aif;*.aiff;*.aifc;*.caf;*.wv;*.ape;*.dsf;*.webm;*.mka");
    EXPECT_EQ(filter->itemText(4), u"*.ogg");
    EXPECT_EQ(filter->itemText(5),
              u"*.flac;*.opus;*.oga;*.m4a;*.aac;*.aif;*.aiff;*.aifc;*.caf;*.wv;*.ape;*.dsf;"
              u"*.webm;*.mka");
    EXPECT_TRUE(child<QCheckBox>()->isChecked());
    EXPECT_TRUE(child<QPushButton>(QStringLiteral("Start"))->isEnabled());
    EXPECT_FALSE(child<QPushButton>(QStringLiteral("Stop"))->isEnabled());
    EXPECT_EQ(label(), u"Added 0 file");
    m_form->close();
    EXPECT_TRUE(m_mainWindow.isVisible());
}

// A pattern typed in the filter box is scanned for as typed, not completed into the first
// entry that starts with it.
TEST_F(AddFolder, TypedFilterIsTakenAsTyped)
{
    makeWav(QStringLiteral("a.wav"));
    const QString flac = QDir::toNativeSeparators(m_dir.file(QStringLiteral("b.flac")));
    ASSERT_TRUE(makeWithFfmpeg(flac, sine(440, 8000, 1, 0.05), 8000, 1));
    open();
    QApplication::setActiveWindow(m_form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_form));
    auto* filter = child<QComboBox>();
    filter->setFocus();
    for (const QString& typed : {QStringLiteral("*.mp3"), QStringLiteral("*.flac")}) {
        filter->lineEdit()->clear();
        QTest::keyClicks(filter->lineEdit(), typed);
        EXPECT_EQ(filter->currentText(), typed);
    }
    startScan(m_dir.path());
    EXPECT_EQ(m_list->paths(), QStringList{flac});
    m_form->close();
}

TEST_F(AddFolder, StartWithoutAFolderSaysSo)
{
    open();
    for (const QString& text :
         {QString(), QStringLiteral("   "), m_dir.file(QStringLiteral("none"))}) {
        QString message;
        QTimer::singleShot(0, qApp, [&message] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                message = box->windowTitle() + u'|' + box->text();
                box->accept();
            }
        });
        startScan(text);
        EXPECT_EQ(message, u"Error|Please select a folder");
        EXPECT_TRUE(child<QPushButton>(QStringLiteral("Start"))->isEnabled());
    }
    m_form->close();
}

TEST_F(AddFolder, ScanAddsRowsCountsThemAndAddsNothingTheSecondTime)
{
    const QString a = makeWav(QStringLiteral("a.wav"));
    const QString b = makeWav(QStringLiteral("sub/b.wav"));
    makeWav(QStringLiteral(".dot/c.wav"));
    open();
    const QString typed = QStringLiteral("  ") + m_dir.path() + QStringLiteral(" ");
    startScan(typed);
    EXPECT_EQ(m_list->paths(), (QStringList{a, b}));
    EXPECT_EQ(label(), u"Added 2 files");
    EXPECT_EQ(m_lastScanFolder, typed); // kept as typed
    // Each row knows where it sits below the scanned folder, for keeping the tree.
    EXPECT_EQ(m_list->relativeFolders(), (QStringList{QString(), QStringLiteral("sub")}));

    startScan(typed);
    EXPECT_EQ(m_list->rowCount(), 2);
    EXPECT_EQ(label(), u"Added 0 file");

    m_list->ClearAll();
    child<QCheckBox>()->setChecked(false);
    startScan(typed);
    EXPECT_EQ(m_list->paths(), QStringList{a});
    EXPECT_EQ(label(), u"Added 1 files");
    m_form->close();
}

TEST_F(AddFolder, StopAndCloseDuringAScanKeepTheRowsAddedSoFar)
{
    for (int i = 0; i < 30; ++i)
        makeWav(QStringLiteral("f%1.wav").arg(i, 2, 10, QLatin1Char('0')));
    open();
    // Stop, and later close, once the first row is in, however busy the machine is.
    const auto atFirstRow = [this](std::function<void()> act) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(m_list->model(), &QAbstractItemModel::rowsInserted, qApp,
                                       [connection, act] {
                                           QObject::disconnect(*connection);
                                           QTimer::singleShot(0, qApp, act);
                                       });
    };
    atFirstRow([this] { child<QPushButton>(QStringLiteral("Stop"))->click(); });
    startScan(m_dir.path());
    const int afterStop = m_list->rowCount();
    EXPECT_GT(afterStop, 0);
    EXPECT_LT(afterStop, 30);
    EXPECT_TRUE(child<QPushButton>(QStringLiteral("Start"))->isEnabled());
    EXPECT_FALSE(child<QPushButton>(QStringLiteral("Stop"))->isEnabled());

    m_list->ClearAll();
    atFirstRow([this] { m_form->close(); });
    startScan(m_dir.path());
    EXPECT_GT(m_list->rowCount(), 0);
    EXPECT_LT(m_list->rowCount(), 30);
    EXPECT_TRUE(m_mainWindow.isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(m_form.isNull()); // the window is gone once the scan has returned
}

} // namespace

namespace {

TEST(FolderBrowsing, FolderExistsEntersFoldersOnly)
{
    TempDir dir;
    const QString before = QDir::currentPath();
    const QString file = dir.file(QStringLiteral("file.txt"));
    QFile(file).open(QIODevice::WriteOnly);
    EXPECT_FALSE(tunevale::FolderExists(file));
    EXPECT_FALSE(tunevale::FolderExists(QString()));
    EXPECT_FALSE(tunevale::FolderExists(dir.file(QStringLiteral("missing"))));
    EXPECT_EQ(QDir::currentPath(), before);
    EXPECT_TRUE(tunevale::FolderExists(dir.path()));
    EXPECT_EQ(QDir(QDir::currentPath()).canonicalPath(), QDir(dir.path()).canonicalPath());
    QDir::setCurrent(before);
}

// Opens the folder picker at start and, once it is up, acts as the user would before Open.
QString pickFolder(const QString& start, const std::function<void(QFileDialog&)>& user)
{
    QTimer::singleShot(0, [&user] {
        auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(picker, nullptr);
        user(*picker);
        picker->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
    });
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    guard.start(5000);
    return BrowseForFolder(nullptr, QStringLiteral("Please select a folder."), start);
}

QString statusLine(const QFileDialog& picker)
{
    return picker.findChild<QLabel*>(QStringLiteral("StatusText"))->text();
}

// The picker's status line carries the whole path of what Choose would answer, however
// long: the folder shown at first, then each folder the user highlights.
TEST(FolderBrowsing, PickerShowsTheWholePathOfTheSelection)
{
    TempDir dir;
    const QString start = dir.file(QStringLiteral("a folder with a rather long name to show/"
                                                  "and another long one nested inside it"));
    const QString chosen = start + QStringLiteral("/the folder chosen at last");
    ASSERT_TRUE(QDir().mkpath(chosen));
    QStringList shown;
    const QString answer = pickFolder(start, [&](QFileDialog& picker) {
        shown << statusLine(picker);
        // A click on the one folder inside, as the user makes it.
        auto* view = picker.findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) == 1; }));
        const QRect row = view->visualRect(view->model()->index(0, 0, view->rootIndex()));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
        shown << statusLine(picker);
    });
    EXPECT_EQ(answer, QDir::toNativeSeparators(chosen));
    EXPECT_EQ(shown,
              (QStringList{QDir::toNativeSeparators(start), QDir::toNativeSeparators(chosen)}));
}

// After a click in the sidebar the line follows the folder entered, not a name typed in the
// folder left behind.
TEST(FolderBrowsing, PickerStatusFollowsASidebarClick)
{
    TempDir dir;
    const QString start = dir.file(QStringLiteral("start"));
    const QString place = dir.file(QStringLiteral("a place in the sidebar"));
    ASSERT_TRUE(QDir().mkpath(start + QStringLiteral("/inner")) && QDir().mkpath(place));
    QStringList shown;
    const QString answer = pickFolder(start, [&](QFileDialog& picker) {
        picker.setSidebarUrls({QUrl::fromLocalFile(place)});
        QTest::keyClicks(picker.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")),
                         QStringLiteral("inner"));
        shown << statusLine(picker);
        auto* sidebar = picker.findChild<QListView*>(QStringLiteral("sidebar"));
        ASSERT_NE(sidebar, nullptr);
        const QRect entry = sidebar->visualRect(sidebar->model()->index(0, 0));
        QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {}, entry.center());
        shown << statusLine(picker);
    });
    EXPECT_EQ(answer, QDir::toNativeSeparators(place));
    EXPECT_EQ(shown, (QStringList{QDir::toNativeSeparators(start + QStringLiteral("/inner")),
                                  QDir::toNativeSeparators(place)}));
}

} // namespace

namespace {

// Rows come in scan order whichever probe finishes first; skipped files are named with why.
TEST_F(AddFolder, ParallelProbeKeepsScanOrderAndNamesSkippedFiles)
{
    QStringList expected;
    for (int i = 0; i < 24; ++i) {
        const QString relative =
            QStringLiteral("%1/t%2.wav").arg(i < 12 ? u"a" : u"b").arg(i, 2, 10, QLatin1Char('0'));
        const QString path = m_dir.file(relative);
        QDir().mkpath(QFileInfo(path).path());
        // Longer files first, so that later probes tend to finish earlier.
        ASSERT_TRUE(writePcmWav(path, sine(440, 8000, 1, 0.05 * (24 - i)), 8000, 1));
        expected.append(QDir::toNativeSeparators(path));
    }
    const QString junk = m_dir.file(QStringLiteral("a/junk.mp3"));
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a frame in sight\n");
    file.close();
    open()->setProbeThreads(3);
    startScan(m_dir.path());
    EXPECT_EQ(m_list->paths(), expected);
    EXPECT_EQ(label(), u"Added 24 files");
    auto* skipped = m_form->findChild<QPlainTextEdit*>();
    ASSERT_NE(skipped, nullptr);
    EXPECT_FALSE(skipped->isHidden());
    EXPECT_EQ(skipped->toPlainText(),
              QDir::toNativeSeparators(junk) + QStringLiteral(": not audio"));

    startScan(m_dir.path()); // a rescan adds nothing and names the skipped file again
    EXPECT_EQ(skipped->toPlainText(),
              QDir::toNativeSeparators(junk) + QStringLiteral(": not audio"));
    m_list->ClearAll();
    QFile::remove(junk);
    startScan(m_dir.path());
    EXPECT_TRUE(skipped->isHidden());
    m_form->close();
}

} // namespace
