#pragma once

#include "common/audio/audioinformation.h"
#include "settings/encodersettings.h"

#include <QMainWindow>
#include <QString>

#include <functional>

namespace tunevale {

class CommandBars;
class FileListView;

// The main window: the file list, the command bars, and the conversion settings that last
// until the program ends.
class FormMain final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormMain)

public:
    explicit FormMain(QWidget* parent = nullptr);
    ~FormMain() override;

    EncoderSettings& settings() { return m_settings; }
    FileListView* ListView1() const { return m_list; }
    CommandBars* commandBars() const { return m_commandBars; }
    const QString& ProgramFolder() const { return m_programFolder; }
    QString& LastFolder() { return m_lastFolder; }
    QString& LastScanFolder() { return m_lastScanFolder; }
    int VisualStyle = 3;

    // Runs the command with this id; ids of popups and of the toolbar itself do nothing.
    void CommandBars1_Execute(int commandId);

    // The guard of Play and the Convert commands: with an empty list it says so, opens
    // Add Files and answers false.
    bool CheckListNotEmpty();

    // The file dialog used by Add Files (tests replace it).
    void setFileChooser(std::function<QStringList(QWidget*, const QString&)> chooser);
    // Replacements for the conversion dialog and the player window (tests).
    void setConvertHandler(std::function<void()> handler) { m_convertHandler = std::move(handler); }
    void setPlayHandler(std::function<void()> handler) { m_playHandler = std::move(handler); }

    static QString websiteAddress();

    // The handlers.
    void OpenAddFilesDialog();
    void M_Exit_Click();
    void M_SelectAll_Click();
    void M_Invert_Click();
    void M_Remove_Click();
    void M_ClearAll_Click();
    void M_About_Click();
    void M_Website_Click();
    void M_Contents_Click();
    void M_AddFolder_Click();
    void M_Play_Click();
    // A Convert command: put off while files are read, then the guard, then the conversion
    // dialog for that target format.
    void convertTo(OutputKind targetFormat);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void InitGlobals();
    void loadSkin();
    void playSelected();
    // While files are being read, commands that would hide this window or work on the list
    // wait for the reading to end: true when commandId was put off until then.
    bool deferWhileReading(int commandId);
    void runDeferredCommand();
    // The window never gets narrower than its toolbar, whose last buttons would otherwise hide
    // behind an overflow button.
    void keepToolBarWhole();

    AudioInformation m_audioInformation;
    EncoderSettings m_settings;

    FileListView* m_list = nullptr;
    CommandBars* m_commandBars = nullptr;
    QString m_programFolder;
    QString m_lastFolder;
    QString m_lastScanFolder;
    int m_commandAfterReading = 0; // a command id, or 0

    std::function<QStringList(QWidget*, const QString&)> m_fileChooser;
    std::function<void()> m_convertHandler;
    std::function<void()> m_playHandler;
};

} // namespace tunevale
