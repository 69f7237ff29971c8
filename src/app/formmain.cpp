#include "app/formmain.h"

#include "app/commandbars.h"
#include "app/commandids.h"
#include "app/formatcommands.h"
#include "app/formflash.h"
#include "app/helppages.h"
#include "common/folderpath.h"
#include "convert/formconvert.h"
#include "filelist/addfiles.h"
#include "filelist/filelistview.h"
#include "filelist/formfolder.h"
#include "player/formplay.h"
#include "widgets/artwork.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QToolBar>
#include <QUrl>

#include <utility>

namespace tunevale {

namespace {

constexpr QSize kClientSize(708, 437);

} // namespace

FormMain::FormMain(QWidget* parent)
    : QMainWindow(parent)
    , m_fileChooser(chooseAudioFiles)
{
    setWindowTitle(QStringLiteral(" Tunevale"));
    setWindowIcon(applicationIcon());
    setFont(windowFont());
    resize(kClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Form_Load();
}

FormMain::~FormMain() = default;

void FormMain::Form_Load()
{
    m_list = new FileListView(m_audioInformation, this);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setAcceptDrops(true);
    setCentralWidget(m_list); // fills exactly the area the bars leave free
    m_lastFolder.clear();
    InitGlobals();

    m_commandBars = new CommandBars(*this, [this](int id) { CommandBars1_Execute(id); });
    loadSkin();

    connect(m_list, &FileListView::contextMenuRequested, this,
            [this](const QPoint& position) { m_commandBars->contextMenu()->popup(position); });
    connect(m_list, &FileListView::playRequested, this, [this] {
        if (!deferWhileReading(ID_PLAY))
            playSelected();
    });
    connect(m_list, &FileListView::filesDropped, this,
            [this](const QStringList& paths, bool reportSkipped) {
                const QList<SkippedFile> skipped = addFilesWithWaitWindow(*m_list, this, paths);
                if (reportSkipped)
                    showSkippedFiles(this, skipped);
            });
    connect(m_list, &FileListView::readingFinished, this, &FormMain::runDeferredCommand);
}

void FormMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    keepToolBarWhole();
}

void FormMain::keepToolBarWhole()
{
    // The main window's layout keeps every bar at least as wide as the bar asks.
    QToolBar* bar = m_commandBars->toolBar();
    bar->setMinimumWidth(bar->sizeHint().width());
}

bool FormMain::deferWhileReading(int commandId)
{
    if (!m_list->isReading())
        return false;
    m_commandAfterReading = commandId;
    return true;
}

void FormMain::runDeferredCommand()
{
    const int command = std::exchange(m_commandAfterReading, 0);
    // After Exit the window is hidden, and what was put off is dropped with it.
    if (command != 0 && isVisible())
        CommandBars1_Execute(command);
}

void FormMain::InitGlobals()
{
    m_programFolder =
        withTrailingSeparator(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    m_settings.OutputFolder = documents.isEmpty()
                                  ? QString()
                                  : withTrailingSeparator(QDir::toNativeSeparators(documents));
    VisualStyle = 3;
}

void FormMain::loadSkin()
{
    QFile skin(QStringLiteral(":/skin.qss"));
    if (skin.open(QIODevice::ReadOnly | QIODevice::Text))
        qApp->setStyleSheet(QString::fromUtf8(skin.readAll()));
}

QString FormMain::websiteAddress()
{
    return QStringLiteral("https://tunevale.example.com/");
}

void FormMain::setFileChooser(std::function<QStringList(QWidget*, const QString&)> chooser)
{
    m_fileChooser = std::move(chooser);
}

void FormMain::CommandBars1_Execute(int commandId)
{
    switch (commandId) {
    case ID_ADDFILES:
        return OpenAddFilesDialog();
    case ID_EXIT:
        return M_Exit_Click();
    case ID_SELECTALL:
        return M_SelectAll_Click();
    case ID_INVERTSELECTION:
        return M_Invert_Click();
    case ID_CLEARALL:
        return M_ClearAll_Click();
    case ID_REMOVESELECTEDFILES:
        return M_Remove_Click();
    case ID_ABOUT:
        return M_About_Click();
    case ID_WEBSITE:
        return M_Website_Click();
    case ID_PLAY:
        return M_Play_Click();
    case ID_HELPCONTENTS:
        return M_Contents_Click();
    case ID_ADDFOLDER:
        return M_AddFolder_Click();
    default:
        break;
    }
    if (commandId >= ID_SORTBYFILENAME && commandId <= ID_SORTBYLAST)
        return m_list->ColumnClick(commandId - ID_SORTBYFILENAME + 1);
    // The Convert commands; other ids are popups and the toolbar itself.
    if (const FormatCommand* command = formatCommandWithId(commandId))
        convertTo(command->kind);
}

bool FormMain::CheckListNotEmpty()
{
    if (m_list->rowCount() > 0)
        return true;
    QMessageBox::information(this, QStringLiteral("Tunevale"), tr("Please add file to the list."));
    OpenAddFilesDialog();
    return false;
}

void FormMain::OpenAddFilesDialog()
{
    tunevale::OpenAddFilesDialog(*m_list, this, m_lastFolder, m_fileChooser);
}

void FormMain::M_Exit_Click()
{
    const auto answer =
        QMessageBox::question(this, QStringLiteral("Tunevale"), tr("Do you want to exit?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    // Every window goes at once; a reading of files in progress stops when it sees this one
    // hidden, and the program ends as soon as control is back in its event loop.
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::exit(0);
}

void FormMain::M_SelectAll_Click()
{
    m_list->SelectAll();
}

void FormMain::M_Invert_Click()
{
    m_list->InvertSelection();
}

void FormMain::M_Remove_Click()
{
    m_list->RemoveSelected();
}

void FormMain::M_ClearAll_Click()
{
    m_list->ClearAll();
}

void FormMain::M_About_Click()
{
    FormFlash::showAbout(this);
}

void FormMain::M_Website_Click()
{
    QDesktopServices::openUrl(QUrl(websiteAddress()));
}

void FormMain::M_Contents_Click()
{
    // The default locale is the language the window was given at start-up.
    const QString page = extractHelpPages(QLocale());
    // Without a browser the key would otherwise do nothing at all.
    if (page.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Tunevale"),
                             tr("The help pages could not be opened."));
        return;
    }
    openInBrowser(page, this, [this, page] {
        QMessageBox::warning(this, QStringLiteral("Tunevale"),
                             tr("The help pages could not be opened: no program to "
                                "show them was found.\nThey are in %1")
                                 .arg(QDir::toNativeSeparators(page)));
    });
}

void FormMain::M_AddFolder_Click()
{
    // Add Folder hides this window, which would cut a reading of files short: it opens once
    // the reading is done.
    if (deferWhileReading(ID_ADDFOLDER))
        return;
    auto* form = new FormFolder(*m_list, this, m_lastScanFolder);
    form->show();
}

void FormMain::M_Play_Click()
{
    if (deferWhileReading(ID_PLAY))
        return;
    if (CheckListNotEmpty())
        playSelected();
}

void FormMain::playSelected()
{
    if (m_list->rowCount() == 0)
        return;
    if (m_playHandler) {
        m_playHandler();
        return;
    }
    // A row that only has the focus is not chosen: without a selected row nothing plays.
    const QString path = m_list->selectedItems().isEmpty() ? QString() : m_list->selectedPath();
    const QList<QTreeWidgetItem*> rows = m_list->findItems(path, Qt::MatchExactly);
    const QString length = rows.isEmpty() ? QString() : rows.first()->text(FileListView::Length);
    FormPlay player(this, path, length, VisualStyle);
    player.exec();
}

void FormMain::convertTo(OutputKind targetFormat)
{
    const FormatCommand* command = formatCommand(targetFormat);
    if (!command || deferWhileReading(command->commandId) || !CheckListNotEmpty())
        return;
    m_settings.TargetFormat = targetFormat;
    if (m_convertHandler) {
        m_convertHandler();
        return;
    }
    FormConvert dialog(this, m_list->paths(), m_settings, editFormatSettings);
    dialog.setRelativeFolders(m_list->relativeFolders());
    dialog.exec();
    m_settings = dialog.settings();
}

} // namespace tunevale
