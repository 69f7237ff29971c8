#pragma once

#include "settings/encodersettings.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tunevale {

class LoudnessBox;
class NamingBox;

// The conversion dialog: the target format's settings summary, the output folder, the tag
// option, and the batch run over the listed files with its log. Works on its own copy of the
// settings; settings() hands back what the user chose here.
class FormConvert final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormConvert)

public:
    // Shows the target format's settings dialog over owner; the edited copy on OK.
    using SettingsEditor =
        std::function<std::optional<EncoderSettings>(QWidget* owner, const EncoderSettings&)>;
    // Shows a folder in the file manager.
    using FolderOpener = std::function<void(const QString& folder)>;

    FormConvert(QWidget* owner, QStringList paths, const EncoderSettings& settings,
                SettingsEditor editSettings);

    const EncoderSettings& settings() const { return m_settings; }
    // For each row, the folder it had below the folder it was added from ("A/B"); empty or
    // missing for a row added on its own. Keeping the folder tree reads it.
    void setRelativeFolders(const QStringList& relativeFolders);
    // Conversions run at once; one per processor unless set.
    void setJobs(int jobs) { m_jobs = jobs; }
    void setFolderOpener(FolderOpener opener) { m_openFolder = std::move(opener); }
    // Where the last run's outputs went; empty before a run or when nothing was written.
    const QString& outputFolder() const { return m_outputFolder; }

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
    void CmdOpenFolder_Click();
    void UpdateFormatSummary();
    // Shows the names the first rows would get with the current choice.
    void updateNamePreview();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    class RunObserver;
    void setIdleLook();
    // The naming and loudness choice may not change while rows are being named.
    void enableRunChoices(bool enabled);
    // What is wrong with the name pattern; empty when it is usable or none is given.
    QString patternProblem() const;

    QStringList m_paths;
    QStringList m_relativeFolders;
    EncoderSettings m_settings;
    SettingsEditor m_editSettings;
    int m_jobs;
    bool m_flgConvert = false;
    // Stop makes Convert clickable while the stopped files finish; a second run must not start
    // inside the first.
    bool m_running = false;
    FolderOpener m_openFolder;
    QString m_outputFolder;

    QRadioButton* m_sameFolderOption = nullptr;
    QRadioButton* m_chosenFolderOption = nullptr;
    QPushButton* m_browseButton = nullptr;
    QLineEdit* m_outputText = nullptr;
    QGroupBox* m_formatFrame = nullptr;
    QPushButton* m_configButton = nullptr;
    QCheckBox* m_copyTagsBox = nullptr;
    NamingBox* m_namingBox = nullptr;
    LoudnessBox* m_loudnessBox = nullptr;
    QLabel* m_summaryLabel = nullptr;
    QPushButton* m_closeButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QPushButton* m_convertButton = nullptr;
    QListWidget* m_log = nullptr;
    QLabel* m_statusLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_runLabel = nullptr;              // file k of n, elapsed and remaining time
    QPushButton* m_openFolderButton = nullptr; // shown after a run that wrote outputs
};

} // namespace tunevale
