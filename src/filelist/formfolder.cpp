#include "filelist/formfolder.h"

#include "common/localfile.h"
#include "filelist/filelistview.h"
#include "filelist/folderscan.h"
#include "filelist/listfeed.h"
#include "filelist/rowtexts.h"
#include "widgets/artwork.h"
#include "widgets/folderbrowser.h"
#include "widgets/labelbuddies.h"
#include "widgets/named.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunevale {

FormFolder::FormFolder(FileListView& list, QWidget* mainWindow, QString& lastScanFolder)
    : QDialog(nullptr)
    , m_list(list)
    , m_mainWindow(mainWindow)
    , m_lastScanFolder(lastScanFolder)
{
    setObjectName(QStringLiteral("FormFolder"));
    setWindowTitle(tr(" Add Folder"));
    setWindowIcon(applicationIcon());
    setModal(false);

    m_inputsFrame = named(new QFrame(this), u"Frame1");
    auto* inputs = new QGridLayout(m_inputsFrame);
    inputs->setContentsMargins(0, 0, 0, 0);
    m_folderText = named(new QLineEdit(m_inputsFrame), u"TextPath");
    m_browseButton = named(new QPushButton(tr("Browse..."), m_inputsFrame), u"CmdBrowse");
    m_filterList = named(new QComboBox(m_inputsFrame), u"ComboParttern");
    m_filterList->setEditable(true);
    // Completing inline would turn a typed "*.mp3" into the first entry that starts with it,
    // the whole set; the list's own drop-down offers the entries.
    m_filterList->setCompleter(nullptr);
    const QString others = otherAudioPatterns().join(u';');
    m_filterList->addItems({QStringLiteral("*.mp3;*.wma;*.wav;*.ogg;") + others,
                            QStringLiteral("*.mp3"), QStringLiteral("*.wma"),
                            QStringLiteral("*.wav"), QStringLiteral("*.ogg"), others});
    m_subfoldersBox = named(new QCheckBox(tr("Search sub-folders"), m_inputsFrame), u"CheckSub");
    m_subfoldersBox->setChecked(true);
    auto* folderLabel = named(new QLabel(tr("Folder:"), m_inputsFrame), u"Label2");
    folderLabel->setBuddy(m_folderText);
    inputs->addWidget(folderLabel, 0, 0);
    inputs->addWidget(m_folderText, 0, 1);
    inputs->addWidget(m_browseButton, 0, 2);
    auto* filterLabel = named(new QLabel(tr("Filter:"), m_inputsFrame), u"Label1");
    filterLabel->setBuddy(m_filterList);
    nameComboBoxFields(*m_inputsFrame);
    inputs->addWidget(filterLabel, 1, 0);
    inputs->addWidget(m_filterList, 1, 1, 1, 2);
    inputs->addWidget(m_subfoldersBox, 2, 1, 1, 2);
    inputs->setColumnStretch(1, 1);

    m_skippedLabel = named(new QLabel(tr("Skipped files:"), this), u"LabelSkipped");
    m_skippedList = named(new QPlainTextEdit(this), u"TextSkipped");
    m_skippedList->setReadOnly(true);
    m_skippedLabel->setBuddy(m_skippedList);
    m_skippedList->setTabChangesFocus(true);
    m_skippedList->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_skippedList->setMaximumHeight(m_skippedList->fontMetrics().lineSpacing() * 8);
    m_skippedLabel->hide();
    m_skippedList->hide();

    m_countLabel = named(new QLabel(tr("Added 0 file"), this), u"LabelS");
    m_startButton = named(new QPushButton(tr("Start"), this), u"CmdStart");
    m_stopButton = named(new QPushButton(tr("Stop"), this), u"CmdStop");
    m_stopButton->setEnabled(false);
    m_startButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_countLabel, 1);
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_stopButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_inputsFrame);
    layout->addLayout(buttons);
    layout->addWidget(m_skippedLabel);
    layout->addWidget(m_skippedList);
    resize(460, sizeHint().height());

    connect(m_browseButton, &QPushButton::clicked, this, &FormFolder::CmdBrowse_Click);
    connect(m_startButton, &QPushButton::clicked, this, &FormFolder::CmdStart_Click);
    connect(m_stopButton, &QPushButton::clicked, this, &FormFolder::CmdStop_Click);
    Form_Load();
}

void FormFolder::Form_Load()
{
    if (m_mainWindow)
        m_mainWindow->hide();
    m_filterList->setCurrentIndex(0);
    m_folderText->setText(m_lastScanFolder);
}

void FormFolder::CmdBrowse_Click()
{
    const QString chosen =
        browseForReadableFolder(this, tr("Please select a folder."), m_folderText->text());
    if (!chosen.isEmpty())
        m_folderText->setText(chosen);
}

void FormFolder::CmdStart_Click()
{
    const QString folder = m_folderText->text().trimmed();
    if (folder.isEmpty() || !LocalFileInfo::of(folder).isDir) {
        QMessageBox::critical(this, tr("Error"), tr("Please select a folder"));
        return;
    }
    m_stopScan = false;
    setScanning(true);
    m_addedCount = 0;
    m_lastScanFolder = m_folderText->text();
    m_countLabel->setText(tr("Added 0 file"));
    showSkipped({});

    const auto turn = [] {
        QCoreApplication::processEvents();
    };
    const auto stopRequested = [this] {
        return m_stopScan;
    };
    const auto rowAdded = [this](int added) {
        m_addedCount = added;
        showAddedCount();
    };
    ListFeed feed(m_list, {turn, stopRequested, rowAdded}, m_probeThreads);
    FolderScan scan({{}, turn, stopRequested});
    scan.setFolderFilesFound(
        [&feed, &folder](const QStringList& paths) { return feed.add(paths, folder); });
    scan.run(folder, m_filterList->currentText(), m_subfoldersBox->isChecked());
    if (!m_closed)
        showSkipped(skippedFilesText(feed.skipped()));

    setScanning(false);
    if (m_closed)
        deleteLater(); // closed during the scan: its frames are gone from the stack now
}

void FormFolder::CmdStop_Click()
{
    m_stopScan = true;
}

void FormFolder::showSkipped(const QString& text)
{
    m_skippedList->setPlainText(text);
    m_skippedLabel->setVisible(!text.isEmpty());
    m_skippedList->setVisible(!text.isEmpty());
}

void FormFolder::showAddedCount()
{
    m_countLabel->setText(tr("Added %1 files").arg(m_addedCount));
}

void FormFolder::setScanning(bool scanning)
{
    m_scanning = scanning;
    m_stopButton->setEnabled(scanning);
    m_startButton->setEnabled(!scanning);
    m_inputsFrame->setEnabled(!scanning);
}

void FormFolder::reject()
{
    close(); // Esc closes like the close box
}

void FormFolder::closeEvent(QCloseEvent* event)
{
    m_stopScan = true;
    if (m_mainWindow)
        m_mainWindow->show();
    m_closed = true;
    event->accept();
    if (!m_scanning)
        deleteLater();
}

} // namespace tunevale
