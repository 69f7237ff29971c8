#pragma once

#include "common/audio/mp3encoder.h"
#include "settings/formatdialog.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace tunevale {

// The Mp3 output settings dialog: the MP3 encoder's parameters, directly or through presets.
// Every control carries its name as objectName; the preset buttons are "opPreset_<index>".
class FormMp3 final : public FormatDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormMp3)

public:
    static constexpr int kPresetCount = 12; // 0 is "Default", 1 to 11 the encoder's presets

    FormMp3(QWidget* owner, const EncoderSettings& settings);

    void LoadControlsFromEncoder(const Mp3Encoder& encoder);
    // Writes every control into the settings' encoder. A control the encoder cannot take leaves
    // that property as it was.
    void ApplyControlsToEncoder();

    void opPreset_Click(int index);
    void CmdOK_Click();
    void CmdCancel_Click();

    // The scratch encoder that presets are applied to during this opening.
    const Mp3Encoder& presetEncoder() const { return m_presetEncoder; }

private:
    void buildGeneralPage(QWidget* page);
    void buildVbrPage(QWidget* page);
    void buildPresetsPage(QWidget* page);
    void cmbVBRCodingMethod_Click();
    // The General bitrate is also the VBR minimum; the VBR page shows what it comes to.
    void showVbrMinimum();

    Mp3Encoder m_presetEncoder;

    QTabWidget* m_tabStrip = nullptr;
    QComboBox* m_comboQuality = nullptr;
    QComboBox* m_comboBitrate = nullptr;
    QComboBox* m_cmbChMode = nullptr;
    QComboBox* m_cmbFrequency = nullptr;
    QComboBox* m_cmbVbrCodingMethod = nullptr;
    QComboBox* m_txtVbrQuality = nullptr;
    QComboBox* m_txtAbrBitrate = nullptr;
    QLabel* m_lblVbrMinimumCaption = nullptr;
    QLabel* m_lblVbrMinimum = nullptr;
    QGroupBox* m_frmVbrBitrate = nullptr;
    QLabel* m_lblVbrBitrate = nullptr;
    QComboBox* m_comboVbrBitrate = nullptr;
    QGroupBox* m_frmVbrAdvanced = nullptr;
    QCheckBox* m_chStrictlyEnforceMinBitrate = nullptr;
    QCheckBox* m_chWriteVbrHeader = nullptr;
    QButtonGroup* m_opPreset = nullptr;
    QPushButton* m_cmdOk = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};

} // namespace tunevale
