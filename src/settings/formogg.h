#pragma once

#include "settings/formatdialog.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;

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

    // The choices of this opening, copied back to the settings on a successful OK.
    int m_bitrate = 0;
    int m_minBitrate = 0;
    int m_maxBitrate = 0;
    int m_quality = 0; // level x 100
    bool m_vbrEnabled = false;
    bool m_qualityEnabled = false;

    QCheckBox* m_qualityModeBox = nullptr;
    QCheckBox* m_vbrBox = nullptr;
    QLabel* m_bitrateLabel = nullptr;
    QComboBox* m_bitrateList = nullptr;
    QGroupBox* m_vbrFrame = nullptr;
    QLabel* m_minBitrateLabel = nullptr;
    QComboBox* m_minBitrateList = nullptr;
    QLabel* m_maxBitrateLabel = nullptr;
    QComboBox* m_maxBitrateList = nullptr;
    QGroupBox* m_qualityFrame = nullptr;
    QLabel* m_qualityLabel = nullptr;
    QComboBox* m_qualityList = nullptr;
    QComboBox* m_frequencyList = nullptr;
    QComboBox* m_channelsList = nullptr;
};

} // namespace tunevale
