#pragma once

#include "common/codecs/mp3encoder.h"
#include "settings/formatdialog.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QTabWidget;

namespace tunevale {

// The Mp3 output settings dialog: the MP3 encoder's parameters, directly or through presets.
// Every control carries its design name as objectName; the preset buttons are "opPreset_<index>".
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

    QTabWidget* m_pages = nullptr;
    QComboBox* m_encoderQualityList = nullptr;
    QComboBox* m_bitrateList = nullptr;
    QComboBox* m_channelModeList = nullptr;
    QComboBox* m_frequencyList = nullptr;
    QComboBox* m_vbrMethodList = nullptr;
    QComboBox* m_vbrQualityList = nullptr;
    QComboBox* m_abrBitrateList = nullptr;
    QLabel* m_vbrMinimumCaption = nullptr;
    QLabel* m_vbrMinimumLabel = nullptr;
    QGroupBox* m_maxVbrBitrateFrame = nullptr;
    QLabel* m_maxVbrBitrateLabel = nullptr;
    QComboBox* m_maxVbrBitrateList = nullptr;
    QGroupBox* m_vbrAdvancedFrame = nullptr;
    QCheckBox* m_strictMinimumBox = nullptr;
    QCheckBox* m_vbrHeaderBox = nullptr;
    QButtonGroup* m_presetButtons = nullptr;
};

} // namespace tunevale
