#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tunevale {

class FormMain;

// The conversion dialog: the target format's settings summary, the output folder, the tag
// option, and the batch run over every row of the main window's list with its log.
class FormConvert final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormConvert)

public:
    // Opens the settings dialog of a target format ("MP3", "OGG", "WAV", "WMA") over owner.
    using SettingsDialogOpener = std::function<void(QWidget* owner, const QString& targetFormat)>;

    FormConvert(FormMain& main, SettingsDialogOpener openSettings = {});

    bool flgConvert() const { return m_flgConvert; }
    QString summary() const;
    QStringList log() const;
    QString status() const;

    void Option1_Click();
    void Option2_Click();
    void CmdBrowse_Click();
    void CmdSet_Click();
    void CmdConvert_Click();
    void CmdStop_Click();
    void UpdateFormatSummary();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    class RunObserver;
    void setIdleLook();

    FormMain& m_main;
    SettingsDialogOpener m_openSettings;
    bool m_flgConvert = false;

    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QPushButton* CmdBrowse = nullptr;
    QLineEdit* TextOutput = nullptr;
    QGroupBox* Frame1 = nullptr;
    QPushButton* CmdSet = nullptr;
    QCheckBox* Check1 = nullptr;
    QLabel* LabelFomartStr = nullptr;
    QPushButton* CmdClose = nullptr;
    QPushButton* CmdStop = nullptr;
    QPushButton* CmdConvert = nullptr;
    QListWidget* List1 = nullptr;
    QLabel* LabelStatus = nullptr;
    QProgressBar* ProgressConvert = nullptr;
};

} // namespace tunevale
