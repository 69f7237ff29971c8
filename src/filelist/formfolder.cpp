#include "filelist/formfolder.h"

#include "filelist/filelistview.h"
#include "filelist/folderscan.h"
#include "filelist/rowtexts.h"
#include "widgets/artwork.h"
#include "widgets/folderbrowser.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunevale {

FormFolder::FormFolder(FileListView& list, QWidget* mainWindow, QString& lastScanFolder)
    : QDialog(nullptr)
    , m_list(list)
    , m_mainWindow(mainWindow)
    , m_lastScanFolder(lastScanFolder)
{
    setWindowTitle(QStringLiteral(" Add Folder"));
    setWindowIcon(applicationIcon());
    setModal(false);

    Frame1 = new QFrame(this);
    auto* inputs = new QGridLayout(Frame1);
    inputs->setContentsMargins(0, 0, 0, 0);
    TextPath = new QLineEdit(Frame1);
    CmdBrowse = new QPushButton(QStringLiteral("Browse..."), Frame1);
    ComboParttern = new QComboBox(Frame1);
    ComboParttern->setEditable(true);
    const QString others = otherAudioPatterns().join(u';');
    ComboParttern->addItems({QStringLiteral("*.mp3;*.wma;*.wav;*.ogg;") + others,
                             QStringLiteral("*.mp3"), QStringLiteral("*.wma"),
                             QStringLiteral("*.wav"), QStringLiteral("*.ogg"), others});
    CheckSub = new QCheckBox(QStringLiteral("Search sub-folders"), Frame1);
    CheckSub->setChecked(true);
    inputs->addWidget(new QLabel(QStringLiteral("Folder:"), Frame1), 0, 0);
    inputs->addWidget(TextPath, 0, 1);
    inputs->addWidget(CmdBrowse, 0, 2);
    inputs->addWidget(new QLabel(QStringLiteral("Filter:"), Frame1), 1, 0);
    inputs->addWidget(ComboParttern, 1, 1, 1, 2);
    inputs->addWidget(CheckSub, 2, 1, 1, 2);
    inputs->setColumnStretch(1, 1);

    LabelS = new QLabel(QStringLiteral("Added 0 file"), this);
    CmdStart = new QPushButton(QStringLiteral("Start"), this);
    CmdStop = new QPushButton(QStringLiteral("Stop"), this);
    CmdStop->setEnabled(false);
    CmdStart->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(LabelS, 1);
    buttons->addWidget(CmdStart);
    buttons->addWidget(CmdStop);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);
    resize(460, sizeHint().height());

    connect(CmdBrowse, &QPushButton::clicked, this, &FormFolder::CmdBrowse_Click);
    connect(CmdStart, &QPushButton::clicked, this, &FormFolder::CmdStart_Click);
    connect(CmdStop, &QPushButton::clicked, this, &FormFolder::CmdStop_Click);
    Form_Load();
}

void FormFolder::Form_Load()
{
    if (m_mainWindow)
        m_mainWindow->hide();
    ComboParttern->setCurrentIndex(0);
    TextPath->setText(m_lastScanFolder);
}

void FormFolder::CmdBrowse_Click()
{
    const QString chosen =
        browseForReadableFolder(this, QStringLiteral("Please select a folder."), TextPath->text());
    if (!chosen.isEmpty())
        TextPath->setText(chosen);
}

void FormFolder::CmdStart_Click()
{
    const QString folder = TextPath->text().trimmed();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        QMessageBox::critical(this, QStringLiteral("Error"),
                              QStringLiteral("Please select a folder"));
        return;
    }
    m_stopScan = false;
    setScanning(true);
    m_addedCount = 0;
    m_lastScanFolder = TextPath->text();
    LabelS->setText(QStringLiteral("Added 0 file"));

    FolderScan scan({[this](const QString& path) { AddScannedFile(path); },
                     [] { QCoreApplication::processEvents(); },
                     [this] {
                         return m_stopScan;
                     }});
    scan.run(folder, ComboParttern->currentText(), CheckSub->isChecked());

    setScanning(false);
    if (m_closed)
        deleteLater(); // closed during the scan: its frames are gone from the stack now
}

void FormFolder::CmdStop_Click()
{
    m_stopScan = true;
}

void FormFolder::AddScannedFile(const QString& path)
{
    if (m_list.IsInList(path))
        return;
    const int before = m_list.rowCount();
    m_list.AddFileRow(path);
    if (m_list.rowCount() == before)
        return;
    ++m_addedCount;
    showAddedCount();
}

void FormFolder::showAddedCount()
{
    LabelS->setText(QStringLiteral("Added %1 files").arg(m_addedCount));
}

void FormFolder::setScanning(bool scanning)
{
    m_scanning = scanning;
    CmdStop->setEnabled(scanning);
    CmdStart->setEnabled(!scanning);
    Frame1->setEnabled(!scanning);
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
