#include "app/commandbars.h"
#include "app/commandids.h"
#include "app/formatcommands.h"
#include "app/formmain.h"
#include "filelist/filelistview.h"
#include "filelist/formfolder.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace tunevale;
using namespace tunevale::test;

namespace {

// Answers the next message box with button and returns its text through the pointer.
void answerNextMessageBox(QMessageBox::StandardButton button, QString* text)
{
    QTimer::singleShot(0, qApp, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            answerNextMessageBox(button, text); // not up yet: look again
            return;
        }
        *text = box->windowTitle() + u'|' + box->text();
        box->button(button)->click();
    });
}

// The next message box's text and details, answered with OK.
void answerNextMessageBoxWithDetails(QString* text, QString* details)
{
    QTimer::singleShot(0, qApp, [text, details] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            answerNextMessageBoxWithDetails(text, details);
            return;
        }
        *text = box->text();
        *details = box->detailedText();
        box->button(QMessageBox::Ok)->click();
    });
}

// Closes any modal window left open for two seconds, so that a failing test cannot hang.
class ModalGuard {
public:
    ModalGuard()
    {
        m_timer.setInterval(2000);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal == m_lastSeen) {
                ADD_FAILURE() << "a modal window was left open: "
                              << modal->windowTitle().toStdString();
                modal->close();
            }
            m_lastSeen = modal;
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
    QWidget* m_lastSeen = nullptr;
};

// Programs are looked for in one folder while this lives: this machine's own opener plays no part.
struct PathReplaced {
    explicit PathReplaced(const QString& folder) { qputenv("PATH", QFile::encodeName(folder)); }
    ~PathReplaced() { qputenv("PATH", kept); }
    const QByteArray kept = qgetenv("PATH");
};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window.setConvertHandler([this] { ++m_converts; });
        m_window.setPlayHandler([this] { ++m_plays; });
        m_window.setFileChooser([this](QWidget*, const QString& start) {
            m_chooserStarts.append(start);
            return m_nextChoice;
        });
    }

    QString makeWav(const QString& name)
    {
        const QString path = m_dir.file(name);
        EXPECT_TRUE(writePcmWav(path, sine(440, 8000, 1, 0.1), 8000, 1));
        return path;
    }

    FileListView& list() { return *m_window.ListView1(); }

    ModalGuard m_guard;
    TempDir m_dir;
    FormMain m_window;
    QStringList m_nextChoice;
    QStringList m_chooserStarts;
    int m_converts = 0;
    int m_plays = 0;
};

TEST_F(MainWindow, StartsWithItsDefaults)
{
    EXPECT_EQ(m_window.windowTitle(), u" Tunevale");
    EXPECT_EQ(list().rowCount(), 0);
    EXPECT_EQ(m_window.centralWidget(), m_window.ListView1());
    EXPECT_TRUE(list().acceptDrops());
    EXPECT_EQ(m_window.VisualStyle, 3);
    EXPECT_EQ(m_window.settings().Formats.wmaProfile, 14);
    EXPECT_EQ(m_window.settings().Formats.mp3.bitrate(), 96);
    const QString format = m_window.settings().OutputFormatText();
    EXPECT_TRUE(format.contains(u"44100 Hz") && format.contains(u"96")) << format.toStdString();
    EXPECT_FALSE(format.endsWith(u"; "));
    EXPECT_TRUE(m_window.ProgramFolder().endsWith(QDir::separator()));
    EXPECT_FALSE(m_window.ProgramFolder().endsWith(QString(2, QDir::separator())));
    EXPECT_TRUE(m_window.LastFolder().isEmpty());
}

struct Entry {
    QString text;
    QString shortcut;
    QString toolTip;
    int id;
};

std::vector<Entry> entriesOf(const QList<QAction*>& actions)
{
    std::vector<Entry> entries;
    for (const QAction* action : actions)
        entries.push_back({action->isSeparator() ? QStringLiteral("|") : action->text(),
                           action->shortcut().toString(), action->toolTip(),
                           CommandBars::commandId(action)});
    return entries;
}

void expectEntries(const QList<QAction*>& actions, const std::vector<Entry>& expected)
{
    const auto actual = entriesOf(actions);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].text, expected[i].text) << i;
        if (expected[i].text == u"|")
            continue;
        EXPECT_EQ(actual[i].shortcut, expected[i].shortcut) << expected[i].text.toStdString();
        EXPECT_EQ(actual[i].toolTip, expected[i].toolTip) << expected[i].text.toStdString();
        EXPECT_EQ(actual[i].id, expected[i].id) << expected[i].text.toStdString();
    }
}

TEST_F(MainWindow, MenusToolbarAndContextMenuHoldTheCommands)
{
    const QList<QAction*> menus = m_window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(menus[0]->text(), u"&File");
    EXPECT_EQ(menus[1]->text(), u"&List");
    EXPECT_EQ(menus[2]->text(), u"&Convert");
    EXPECT_EQ(menus[3]->text(), u"&Help");
    const auto s = [](const char* text) {
        return QString::fromLatin1(text);
    };
    expectEntries(menus[0]->menu()->actions(),
                  {{s("Add Files"), s("Ctrl+O"), s("Add Files"), ID_ADDFILES},
                   {s("Add Folder"), {}, s("Add Folder"), ID_ADDFOLDER},
                   {s("|"), {}, {}, 0},
                   {s("Exit"), s("Ctrl+E"), s("Exit"), ID_EXIT}});
    const std::vector<Entry> listItems{
        {s("Select All"), s("Ctrl+A"), s("Select All"), ID_SELECTALL},
        {s("Invert Selection"), s("Ctrl+Alt+I"), s("Invert Selection   "), ID_INVERTSELECTION},
        {s("|"), {}, {}, 0},
        {s("Remove Selected Files"), s("Del"), s("Remove Selected Files"), ID_REMOVESELECTEDFILES},
        {s("Clear All"), s("Ctrl+L"), s("Clear All"), ID_CLEARALL}};
    std::vector<Entry> listMenu = listItems;
    listMenu.push_back({s("|"), {}, {}, 0});
    listMenu.push_back({s("Sort By"), {}, s("Sort By"), 0});
    expectEntries(menus[1]->menu()->actions(), listMenu);
    expectEntries(
        menus[1]->menu()->actions().last()->menu()->actions(),
        {{s("File Name"), s("Ctrl+1"), s("Sort by File Name"), ID_SORTBYFILENAME},
         {s("Type"), s("Ctrl+2"), s("Sort by Type"), ID_SORTBYFILENAME + 1},
         {s("File Size"), s("Ctrl+3"), s("Sort by File Size"), ID_SORTBYFILENAME + 2},
         {s("Audio Format"), s("Ctrl+4"), s("Sort by Audio Format"), ID_SORTBYFILENAME + 3},
         {s("Length"), s("Ctrl+5"), s("Sort by Length"), ID_SORTBYFILENAME + 4},
         {s("Modified"), s("Ctrl+6"), s("Sort by Modified"), ID_SORTBYLAST}});
    expectEntries(menus[2]->menu()->actions(),
                  {{s("Convert to MP3"), {}, s("Convert to MP3"), ID_CONVERTTOMP},
                   {s("Convert to WMA"), {}, s("Convert to WMA"), ID_CONVERTTOWMA},
                   {s("Convert to OGG"), {}, s("Convert to OGG"), ID_CONVERTTOOGG},
                   {s("Convert to WAV"), {}, s("Convert to WAV"), ID_CONVERTTOWAV},
                   {s("Convert to FLAC"), {}, s("Convert to FLAC"), ID_CONVERTTOFLAC},
                   {s("Convert to Opus"), {}, s("Convert to Opus"), ID_CONVERTTOOPUS},
                   {s("Convert to M4A"), {}, s("Convert to M4A"), ID_CONVERTTOM4A}});
    expectEntries(menus[3]->menu()->actions(), {{s("Website"), {}, s("Website"), ID_WEBSITE},
                                                {s("About..."), {}, s("About"), ID_ABOUT}});

    std::vector<Entry> contextItems = listItems;
    contextItems.erase(contextItems.begin() + 2);
    expectEntries(m_window.commandBars()->contextMenu()->actions(), contextItems);
    EXPECT_EQ(m_window.commandBars()->contextMenu()->title(), u"List");

    QToolBar* toolBar = m_window.commandBars()->toolBar();
    EXPECT_EQ(toolBar->windowTitle(), u"Toobar");
    EXPECT_EQ(toolBar->accessibleName(), u"Toolbar");
    expectEntries(toolBar->actions(),
                  {{s("Add"), {}, s("Add Files"), ID_ADDFILES},
                   {s("Add Folder"), {}, s("Add Folder"), ID_ADDFOLDER},
                   {s("Remove"), {}, s("Remove Selected Files"), ID_REMOVESELECTEDFILES},
                   {s("Play"), {}, s("Play"), ID_PLAY},
                   {s("|"), {}, {}, 0},
                   {s("MP3"), {}, s("Convert to MP3"), ID_CONVERTTOMP},
                   {s("WMA"), {}, s("Convert to WMA"), ID_CONVERTTOWMA},
                   {s("OGG"), {}, s("Convert to OGG"), ID_CONVERTTOOGG},
                   {s("WAV"), {}, s("Convert to WAV"), ID_CONVERTTOWAV},
                   {s("FLAC"), {}, s("Convert to FLAC"), ID_CONVERTTOFLAC},
                   {s("Opus"), {}, s("Convert to Opus"), ID_CONVERTTOOPUS},
                   {s("M4A"), {}, s("Convert to M4A"), ID_CONVERTTOM4A}});
    for (QAction* action : toolBar->actions())
        EXPECT_TRUE(action->isSeparator() || !action->icon().isNull())
            << action->text().toStdString();
}

TEST_F(MainWindow, HiddenShortcutKeysReachTheirCommands)
{
    const std::map<QString, int> expected{{QStringLiteral("F1"), ID_HELPCONTENTS},
                                          {QStringLiteral("F2"), ID_ADDFILES},
                                          {QStringLiteral("Ctrl+F2"), ID_ADDFOLDER},
                                          {QStringLiteral("F3"), ID_SELECTALL},
                                          {QStringLiteral("F4"), ID_INVERTSELECTION},
                                          {QStringLiteral("F5"), ID_CONVERTTOWMA},
                                          {QStringLiteral("F6"), ID_CONVERTTOMP},
                                          {QStringLiteral("F7"), ID_CONVERTTOOGG},
                                          {QStringLiteral("F8"), ID_CONVERTTOWAV},
                                          {QStringLiteral("Ctrl+Shift+F"), ID_CONVERTTOFLAC},
                                          {QStringLiteral("Ctrl+Shift+O"), ID_CONVERTTOOPUS},
                                          {QStringLiteral("Ctrl+Shift+M"), ID_CONVERTTOM4A},
                                          {QStringLiteral("Ctrl+E"), ID_EXIT},
                                          {QStringLiteral("Ctrl+L"), ID_CLEARALL},
                                          {QStringLiteral("Del"), ID_REMOVESELECTEDFILES},
                                          {QStringLiteral("Ctrl+O"), ID_ADDFILES},
                                          {QStringLiteral("Ctrl+Alt+I"), ID_INVERTSELECTION},
                                          {QStringLiteral("Ctrl+1"), ID_SORTBYFILENAME},
                                          {QStringLiteral("Ctrl+2"), ID_SORTBYFILENAME + 1},
                                          {QStringLiteral("Ctrl+3"), ID_SORTBYFILENAME + 2},
                                          {QStringLiteral("Ctrl+4"), ID_SORTBYFILENAME + 3},
                                          {QStringLiteral("Ctrl+5"), ID_SORTBYFILENAME + 4},
                                          {QStringLiteral("Ctrl+6"), ID_SORTBYLAST}};
    std::map<QString, int> bound;
    for (const QAction* action : m_window.commandBars()->actions()) {
        if (action->shortcut().isEmpty() || action->shortcutContext() == Qt::WidgetShortcut)
            continue;
        const QString key = action->shortcut().toString();
        EXPECT_FALSE(bound.count(key)) << "bound twice: " << key.toStdString();
        bound[key] = CommandBars::commandId(action);
    }
    EXPECT_EQ(bound, expected);
}

// The window's format table offers a format of the core table at most once, each with its own
// command id; every format of the core table has a row.
TEST(FormatCommands, EveryOfferedFormatHasOneConvertCommand)
{
    QSet<int> ids;
    for (const OutputFormat& format : outputFormats()) {
        const auto rows = std::count_if(
            formatCommands().begin(), formatCommands().end(),
            [&format](const FormatCommand& command) { return command.kind == format.kind; });
        EXPECT_LE(rows, 1) << format.caption.toString().toStdString();
        const FormatCommand* command = formatCommand(format.kind);
        EXPECT_EQ(command != nullptr, rows == 1);
        if (!command)
            continue;
        EXPECT_EQ(formatCommandWithId(command->commandId), command);
        ids.insert(command->commandId);
    }
    EXPECT_EQ(ids.size(), qsizetype(formatCommands().size()));
    EXPECT_EQ(formatCommands().size(), outputFormats().size());
}

// Keys reach the window as a user presses them.
class MainWindowKeys : public MainWindow {
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        m_window.show();
        QApplication::setActiveWindow(&m_window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    }
};

// Sorting without a mouse: each key sorts as a click on its header does, flipping the one
// order, and the header and the list's description say how the list is sorted.
TEST_F(MainWindowKeys, SortKeysSortByTheirColumnAndAnnounceTheOrder)
{
    for (const char* name : {"b.wav", "c.wav", "a.wav"})
        list().AddFileRow(makeWav(QString::fromLatin1(name)));
    ASSERT_EQ(list().rowCount(), 3);
    EXPECT_TRUE(list().sortDescription().isEmpty());
    EXPECT_FALSE(list().header()->isSortIndicatorShown());

    QTest::keyClick(&m_window, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(list().sortColumnIndex(), FileListView::FileSize);
    EXPECT_EQ(list().sortOrder(), Qt::DescendingOrder);
    EXPECT_TRUE(list().header()->isSortIndicatorShown());
    EXPECT_EQ(list().header()->sortIndicatorSection(), FileListView::FileSize);
    EXPECT_GE(list().header()->sectionSize(FileListView::FileSize),
              list().header()->sectionSizeHint(FileListView::FileSize)); // caption and arrow fit
    EXPECT_EQ(list().sortDescription(), u"sorted by File Size, descending");
    EXPECT_TRUE(list().accessibleDescription().endsWith(list().sortDescription()));

    QTest::keyClick(&m_window, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(list().header()->sortIndicatorSection(), FileListView::FileName);
    EXPECT_EQ(list().header()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(list().header()->accessibleDescription(), u"sorted by File Name, ascending");
    EXPECT_TRUE(list().paths().first().endsWith(u"a.wav"));
}

TEST_F(MainWindowKeys, EnterOnTheListPlaysAsADoubleClickDoes)
{
    list().AddFileRow(makeWav(QStringLiteral("a.wav")));
    list().setCurrentItem(list().topLevelItem(0));
    list().setFocus();
    QTest::keyClick(&list(), Qt::Key_Return);
    QTest::keyClick(&list(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(m_plays, 2);
    list().ClearAll();
    QTest::keyClick(&list(), Qt::Key_Return);
    EXPECT_EQ(m_plays, 2);
}

TEST_F(MainWindowKeys, HelpThatNoProgramCanShowIsReported)
{
    // The offscreen platform has no program to open pages with, as a desktop without a
    // browser has none.
    const TempDir noPrograms;
    const PathReplaced path(noPrograms.path());
    QString message;
    answerNextMessageBox(QMessageBox::Ok, &message);
    QTest::keyClick(&m_window, Qt::Key_F1);
    EXPECT_TRUE(message.startsWith(u"Tunevale|The help pages could not be opened"))
        << message.toStdString();
    EXPECT_TRUE(message.contains(u"index.html")) << message.toStdString();
}

// The desktop's opener may start and then find no browser: only its exit status tells.
TEST_F(MainWindowKeys, HelpIsReportedWhenTheOpenerFails)
{
    const TempDir bin;
    const PathReplaced path(bin.path());
    const QString opener = bin.file(QStringLiteral("xdg-open"));
    const auto install = [&](const char* status) {
        return writeFileBytes(opener, QByteArray("#!/bin/sh\necho \"$1\" >>\"$0.log\"\nexit ") +
                                          status + '\n') &&
               QFile::setPermissions(opener,
                                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    const auto opened = [&] {
        return fileBytes(opener + QStringLiteral(".log")).count("file:///");
    };

    ASSERT_TRUE(install("3")); // xdg-open's "no program found"
    QString message;
    answerNextMessageBox(QMessageBox::Ok, &message);
    QTest::keyClick(&m_window, Qt::Key_F1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !message.isEmpty(); }, 5000));
    EXPECT_TRUE(message.startsWith(u"Tunevale|The help pages could not be opened: no program"))
        << message.toStdString();
    EXPECT_EQ(opened(), 1);

    ASSERT_TRUE(install("0")); // a browser shows the pages: nothing to say
    QApplication::setActiveWindow(&m_window);
    QTest::keyClick(&m_window, Qt::Key_F1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return opened() == 2; }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// However narrow the window is made, every toolbar button stays in view.
TEST_F(MainWindowKeys, TheNarrowestWindowShowsTheWholeToolbar)
{
    m_window.resize(120, 100);
    const QToolBar* bar = m_window.commandBars()->toolBar();
    for (QAction* action : bar->actions()) {
        const QWidget* button = bar->widgetForAction(action);
        EXPECT_TRUE(action->isSeparator() ||
                    (button && button->isVisible() &&
                     button->geometry().right() <= bar->contentsRect().right()))
            << action->text().toStdString();
    }
}

TEST_F(MainWindowKeys, RightClickOnTheToolbarOffersNoWayToHideIt)
{
    QToolBar* toolBar = m_window.commandBars()->toolBar();
    QStringList offered;
    QTimer::singleShot(100, &m_window, [&offered] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (const QAction* action : menu->actions())
                offered << action->text();
            menu->close();
        }
    });
    // What a right click on the bar's empty end becomes.
    const QPoint where(toolBar->width() - 5, 5);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, where, toolBar->mapToGlobal(where));
    QApplication::sendEvent(toolBar, &rightClick);
    QTest::qWait(200);
    EXPECT_TRUE(offered.isEmpty()) << offered.join(u',').toStdString();
    EXPECT_TRUE(toolBar->isVisible());
}

TEST_F(MainWindow, EveryCommandReachesItsHandler)
{
    const QString a = makeWav(QStringLiteral("a.wav"));
    const QString b = makeWav(QStringLiteral("b.wav"));
    list().AddFileRow(a);
    list().AddFileRow(b);

    const std::pair<int, OutputKind> conversions[] = {
        {ID_CONVERTTOMP, OutputKind::Mp3},    {ID_CONVERTTOWMA, OutputKind::Wma},
        {ID_CONVERTTOOGG, OutputKind::Ogg},   {ID_CONVERTTOWAV, OutputKind::Wav},
        {ID_CONVERTTOFLAC, OutputKind::Flac}, {ID_CONVERTTOOPUS, OutputKind::Opus},
        {ID_CONVERTTOM4A, OutputKind::M4a}};
    for (const auto& [id, format] : conversions) {
        m_window.CommandBars1_Execute(id);
        EXPECT_EQ(m_window.settings().TargetFormat, format);
    }
    EXPECT_EQ(m_converts, 7);
    m_window.CommandBars1_Execute(ID_PLAY);
    EXPECT_EQ(m_plays, 1);
    m_window.show();
    m_window.CommandBars1_Execute(ID_ADDFOLDER);
    FormFolder* folder = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        folder = folder ? folder : qobject_cast<FormFolder*>(widget);
    ASSERT_NE(folder, nullptr);
    EXPECT_FALSE(m_window.isVisible()); // hidden while Add Folder is open
    folder->close();
    EXPECT_TRUE(m_window.isVisible());

    m_window.CommandBars1_Execute(ID_SELECTALL);
    EXPECT_EQ(list().selectedItems().size(), 2);
    m_window.CommandBars1_Execute(ID_INVERTSELECTION);
    EXPECT_EQ(list().selectedItems().size(), 0);
    m_window.CommandBars1_Execute(ID_INVERTSELECTION);
    m_window.CommandBars1_Execute(ID_REMOVESELECTEDFILES);
    EXPECT_EQ(list().rowCount(), 0);
    list().AddFileRow(a);
    m_window.CommandBars1_Execute(ID_CLEARALL);
    EXPECT_EQ(list().rowCount(), 0);

    m_nextChoice = {a};
    m_window.CommandBars1_Execute(ID_ADDFILES);
    EXPECT_EQ(list().paths(), QStringList{a});

    // Popups and the toolbar itself are no commands.
    for (const int id :
         {int(ID_FILE), int(ID_LIST), int(ID_HELP), int(ID_CONVERT), int(IDR_TOOBAR), 0, 9999})
        m_window.CommandBars1_Execute(id);
    EXPECT_EQ(m_converts, 7);
    EXPECT_EQ(m_plays, 1);
    EXPECT_EQ(list().rowCount(), 1);
}

TEST_F(MainWindow, EmptyListGuardAsksForFilesAndStopsTheCommand)
{
    const QString a = makeWav(QStringLiteral("a.wav"));
    m_nextChoice = {a};
    QString message;
    answerNextMessageBox(QMessageBox::Ok, &message);
    m_window.CommandBars1_Execute(ID_CONVERTTOMP);
    EXPECT_EQ(message, u"Tunevale|Please add file to the list.");
    EXPECT_EQ(m_chooserStarts.size(), 1);
    EXPECT_EQ(list().rowCount(), 1); // the file was added ...
    EXPECT_EQ(m_converts, 0);        // ... but the command did not go on

    list().ClearAll();
    answerNextMessageBox(QMessageBox::Ok, &message);
    m_nextChoice.clear();
    m_window.CommandBars1_Execute(ID_PLAY);
    EXPECT_EQ(m_plays, 0);
    EXPECT_EQ(m_chooserStarts.size(), 2);

    // A double-click in an empty list says nothing.
    Q_EMIT list().playRequested();
    EXPECT_EQ(m_plays, 0);
}

TEST_F(MainWindow, AddFilesRulesForOneAndSeveralFiles)
{
    const QString a = makeWav(QStringLiteral("a.wav"));
    const QString b = makeWav(QStringLiteral("b.wav"));
    const QString c = makeWav(QStringLiteral("c.wav"));
    const QString text = m_dir.file(QStringLiteral("notes.flac"));
    const QString other = m_dir.file(QStringLiteral("notes.txt"));
    for (const QString& path : {text, other}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("no audio here\n");
    }
    const QString gone = m_dir.file(QStringLiteral("gone.wav"));

    m_nextChoice = {a};
    m_window.OpenAddFilesDialog();
    EXPECT_EQ(list().paths(), QStringList{a});
    EXPECT_EQ(m_window.LastFolder(), QDir::toNativeSeparators(m_dir.path()) + QDir::separator());

    QString message;
    answerNextMessageBox(QMessageBox::Ok, &message);
    m_window.OpenAddFilesDialog();
    EXPECT_EQ(message, QStringLiteral("Tunevale|") + a + QStringLiteral(" already in list"));
    EXPECT_EQ(list().rowCount(), 1);

    // Duplicates in a multiple choice are skipped silently; the rest are named with why.
    m_nextChoice = {c, a, text, gone, other, b};
    QString details;
    answerNextMessageBoxWithDetails(&message, &details);
    m_window.OpenAddFilesDialog();
    EXPECT_EQ(list().paths(), (QStringList{a, c, b}));
    EXPECT_EQ(m_chooserStarts.last(), m_window.LastFolder());
    EXPECT_EQ(message, u"3 files were not added.");
    EXPECT_EQ(details, other + QStringLiteral(": not audio\n") + text +
                           QStringLiteral(": not audio\n") + gone + QStringLiteral(": unreadable"));

    m_nextChoice = {text};
    answerNextMessageBoxWithDetails(&message, &details);
    m_window.OpenAddFilesDialog();
    EXPECT_EQ(list().rowCount(), 3);
    EXPECT_EQ(message, u"1 file was not added.");
    EXPECT_EQ(details, text + QStringLiteral(": not audio"));

    const QString before = m_window.LastFolder();
    m_nextChoice.clear(); // cancelled
    m_window.OpenAddFilesDialog();
    EXPECT_EQ(m_window.LastFolder(), before);
    EXPECT_EQ(list().rowCount(), 3);
}

TEST_F(MainWindow, ExitAnsweredNoLeavesEverythingAsItWas)
{
    list().AddFileRow(makeWav(QStringLiteral("a.wav")));
    m_window.show();
    QString message;
    answerNextMessageBox(QMessageBox::No, &message);
    m_window.CommandBars1_Execute(ID_EXIT);
    EXPECT_EQ(message, u"Tunevale|Do you want to exit?");
    EXPECT_TRUE(m_window.isVisible());
    EXPECT_EQ(list().rowCount(), 1);
}

TEST_F(MainWindow, EveryHeaderIsInViewAndLongNamesShowInFullAsToolTips)
{
    m_window.show();
    const QString longName = QString(150, u'n') + QStringLiteral(".wav");
    for (int row = 0; row < 40; ++row)
        list().AddFileRow(makeWav(QString::number(row) + longName));
    QTest::qWait(300); // rows added while shown are laid out together
    ASSERT_TRUE(list().verticalScrollBar()->isVisible());
    const QHeaderView* header = list().header();
    for (int column = 0; column < FileListView::ColumnCount; ++column) {
        EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column),
                  header->viewport()->width())
            << column;
    }
    // The cell shows the file's name shortened in its middle, the folders reduced to an ellipsis.
    const QModelIndex first = list().model()->index(0, FileListView::FileName);
    QStyleOptionViewItem option;
    option.initFrom(&list());
    option.rect = list().visualRect(first);
    option.text = QString();
    QAbstractItemDelegate* cell = list().itemDelegateForColumn(FileListView::FileName);
    const QSize shown = cell->sizeHint(option, first);
    EXPECT_LE(shown.width(), option.rect.width());
    EXPECT_EQ(list().topLevelItem(0)->data(FileListView::FileName, Qt::ToolTipRole),
              m_dir.file(QStringLiteral("0") + longName));
    EXPECT_FALSE(list().topLevelItem(0)->data(FileListView::Type, Qt::ToolTipRole).isValid());

    // A format too long for its column leaves out its codec's long name, and shows whole as
    // the tool tip; the column keeps room for a short description.
    const QModelIndex format = list().model()->index(0, FileListView::AudioFormat);
    const QString formatText = list().topLevelItem(0)->text(FileListView::AudioFormat);
    EXPECT_EQ(list().topLevelItem(0)->data(FileListView::AudioFormat, Qt::ToolTipRole), formatText);
    option.rect = list().visualRect(format);
    const QString longFormat = QStringLiteral("Windows Media Audio 2 (a codec with a very long "
                                              "name); 44100 Hz; 128 Kbps; Stereo");
    list().topLevelItem(0)->setText(FileListView::AudioFormat, longFormat);
    const QSize formatShown = list().itemDelegateForIndex(format)->sizeHint(option, format);
    EXPECT_LE(formatShown.width(), option.rect.width());
    EXPECT_GE(header->sectionSize(FileListView::AudioFormat),
              list().fontMetrics().horizontalAdvance(
                  QStringLiteral("FLAC; 44100 Hz; 1411 Kbps; Stereo")));
}

// The action a key or menu choice triggers.
QAction* commandAction(FormMain& window, int id)
{
    for (QAction* action : window.commandBars()->actions()) {
        if (CommandBars::commandId(action) == id)
            return action;
    }
    return nullptr;
}

class MainWindowReading : public MainWindow {
protected:
    // Runs action from the event loop once the list holds rows rows.
    void whenListed(int rows, const std::function<void()>& action)
    {
        QTimer::singleShot(1, &m_window, [this, rows, action] {
            if (list().rowCount() >= rows)
                action();
            else
                whenListed(rows, action);
        });
    }

    QStringList makeWavs(int count)
    {
        QStringList paths;
        for (int i = 0; i < count; ++i)
            paths.append(makeWav(QStringLiteral("f%1.wav").arg(i)));
        return paths;
    }
};

TEST_F(MainWindowReading, AddFolderDuringAReadingOpensOnceEveryFileIsListed)
{
    // Enough files that the reading gives the event loop several turns (one every 20 ms).
    const QStringList paths = makeWavs(400);
    m_window.show();
    QAction* addFolder = commandAction(m_window, ID_ADDFOLDER);
    ASSERT_NE(addFolder, nullptr);
    int listedAtAddFolder = -1;
    whenListed(5, [&] {
        listedAtAddFolder = list().rowCount();
        addFolder->trigger();
    });
    Q_EMIT list().filesDropped(paths);
    ASSERT_GE(listedAtAddFolder, 0);
    EXPECT_LT(listedAtAddFolder, 400);
    EXPECT_EQ(list().rowCount(), 400);

    FormFolder* folder = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        folder = folder ? folder : qobject_cast<FormFolder*>(widget);
    ASSERT_NE(folder, nullptr);
    EXPECT_TRUE(folder->isVisible());
    folder->close();
    EXPECT_TRUE(m_window.isVisible());
}

TEST_F(MainWindowReading, ExitAnsweredYesDuringAReadingEndsAtOnce)
{
    const QStringList paths = makeWavs(400);
    m_window.show();
    int listedAtExit = -1;
    QString message;
    QTimer::singleShot(0, &m_window, [&] {
        whenListed(5, [&] {
            answerNextMessageBox(QMessageBox::Yes, &message);
            commandAction(m_window, ID_EXIT)->trigger();
            listedAtExit = list().rowCount();
        });
        Q_EMIT list().filesDropped(paths);
    });
    QTimer::singleShot(20'000, qApp, [] { QCoreApplication::exit(1); }); // never hang
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(message, u"Tunevale|Do you want to exit?");
    EXPECT_GE(listedAtExit, 5);
    EXPECT_LT(listedAtExit, 400);
    EXPECT_EQ(list().rowCount(), listedAtExit); // not one file read after the answer
    EXPECT_FALSE(m_window.isVisible());
}

// The conversion and the player take the list as it is: while a drop is read they wait for
// its last file, as Add Folder does.
TEST_F(MainWindowReading, ConvertAndPlayDuringAReadingWaitForEveryFile)
{
    const QStringList paths = makeWavs(400);
    m_window.show();
    int listedAtConvert = -1;
    int listedAtPlay = -1;
    m_window.setConvertHandler([&] { listedAtConvert = list().rowCount(); });
    m_window.setPlayHandler([&] { listedAtPlay = list().rowCount(); });
    whenListed(5, [&] { commandAction(m_window, ID_CONVERTTOWMA)->trigger(); });
    Q_EMIT list().filesDropped(paths.mid(0, 200));
    EXPECT_EQ(listedAtConvert, 200);
    EXPECT_EQ(m_window.settings().TargetFormat, OutputKind::Wma);

    whenListed(205, [&] { commandAction(m_window, ID_PLAY)->trigger(); });
    Q_EMIT list().filesDropped(paths);
    EXPECT_EQ(listedAtPlay, 400);
}

// A dropped folder adds nothing; what got no row is named with its reason.
TEST_F(MainWindow, DroppedFilesAreAddedInOrderWithoutFoldersAndSkippedOnesNamed)
{
    const QString a = makeWav(QStringLiteral("a.wav"));
    const QString b = makeWav(QStringLiteral("b.wav"));
    const QString folder = m_dir.file(QStringLiteral("inner.wav"));
    ASSERT_TRUE(QDir().mkpath(folder));
    makeWav(QStringLiteral("inner.wav/c.wav"));
    const QString readme = m_dir.file(QStringLiteral("readme.txt"));
    m_window.show();
    QString message;
    QString details;
    answerNextMessageBoxWithDetails(&message, &details);
    Q_EMIT list().filesDropped({b, folder, readme, a, b});
    EXPECT_EQ(list().paths(), (QStringList{b, a}));
    EXPECT_EQ(list().relativeFolders(), (QStringList{QString(), QString()}));
    EXPECT_EQ(message, u"2 files were not added.");
    EXPECT_EQ(details, folder + QStringLiteral(": a folder (Add Folder lists its files)\n") +
                           readme + QStringLiteral(": not audio"));
}

// Files a file manager's Open With names at start-up are skipped without a message.
TEST_F(MainWindow, FilesNamedAtStartUpAreSkippedSilently)
{
    const QString a = makeWav(QStringLiteral("a.wav"));
    const QString readme = m_dir.file(QStringLiteral("readme.txt"));
    m_window.show();
    bool finished = false;
    QObject::connect(&list(), &FileListView::readingFinished, [&finished] { finished = true; });
    // A message box would stay open until the fixture's guard closes it and fails the test.
    list().takeFilesLater({readme, a}, false);
    QElapsedTimer waited;
    waited.start();
    while (!finished && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(list().paths(), QStringList{a});
}

} // namespace
