#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tunevale {

class FileListView;

// " Add Folder": scans a folder, and if asked its sub-folders, for audio files and adds
// them to the list with a running count. Modeless and without owner; the main window is
// hidden while it is open. It deletes itself when closed.
class FormFolder final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormFolder)

public:
    // lastScanFolder is the folder text of the last Start; it outlives the window.
    FormFolder(FileListView& list, QWidget* mainWindow, QString& lastScanFolder);

    bool isScanning() const { return m_scanning; }
    int addedCount() const { return m_addedCount; }
    // Probing threads of the next scan; 0 for one per processor.
    void setProbeThreads(int threads) { m_probeThreads = threads; }

    void CmdBrowse_Click();
    void CmdStart_Click();
    void CmdStop_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Form_Load();
    void setScanning(bool scanning);
    void showAddedCount();
    void showSkipped(const QString& text);

    FileListView& m_list;
    QPointer<QWidget> m_mainWindow;
    QString& m_lastScanFolder;
    bool m_stopScan = false;
    bool m_scanning = false;
    bool m_closed = false;
    int m_addedCount = 0;
    int m_probeThreads = 0;

    QFrame* m_inputsFrame = nullptr;
    QLineEdit* m_folderText = nullptr;
    QPushButton* m_browseButton = nullptr;
    QComboBox* m_filterList = nullptr;
    QCheckBox* m_subfoldersBox = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QLabel* m_countLabel = nullptr;
    QLabel* m_skippedLabel = nullptr;
    QPlainTextEdit* m_skippedList = nullptr; // each skipped file and why
};

} // namespace tunevale
