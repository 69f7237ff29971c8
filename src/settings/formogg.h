#pragma once

#include "common/audio/audiofile.h"
#include "settings/formatdialog.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace tunevale {

// The OGG output settings dialog: sampling frequency, channels and a bitrate or quality mode.
class FormOGG final : public FormatDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormOGG)

public:
    FormOGG(QWidget* owner, const EncoderSettings& settings);

private:
    void buildControls();
    void Form_Load();
    void cmbFrequency_Click();
    void ComboBitrate_Click();
    void ComboMinBitrate_Click();
    void ComboMaxBitrate_Click();
    void ComboQuality_Click();
    void chQuality_Click();
    void chVbr_Click();
    void CmdOK_Click();
    // Checks and applies the chosen format; false when the writer refuses it.
    bool ValidateAndApplyOgg();

    // Asked whether a bitrate format can be written; it writes nothing.
    AudioFile m_writer;

    // The choices of this opening, copied back to the settings on a successful OK.
    int m_bitrate = 0;
    int m_minBitrate = 0;
    int m_maxBitrate = 0;
    int m_quality = 0; // level x 100
    bool m_vbrEnabled = false;
    bool m_qualityEnabled = false;

    QGroupBox* frmOption = nullptr;
    QCheckBox* chQuality = nullptr;
    QCheckBox* chVbr = nullptr;
    QLabel* lblBitrate = nullptr;
    QComboBox* ComboBitrate = nullptr;
    QGroupBox* frmVbr = nullptr;
    QLabel* lblMinBitrate = nullptr;
    QComboBox* ComboMinBitrate = nullptr;
    QLabel* lblMaxBitrate = nullptr;
    QComboBox* ComboMaxBitrate = nullptr;
    QGroupBox* frmQuality = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ComboQuality = nullptr;
    QGroupBox* frmFrequency = nullptr;
    QComboBox* cmbFrequency = nullptr;
    QGroupBox* frmChMode = nullptr;
    QComboBox* cmbChMode = nullptr;
    QPushButton* CmdOK = nullptr;
    QPushButton* CmdCancel = nullptr;
};

} // namespace tunevale
