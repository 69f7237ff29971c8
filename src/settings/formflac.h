#pragma once

#include "settings/formatdialog.h"

class QCheckBox;
class QComboBox;

namespace tunevale {

// The FLAC output settings dialog: compression level, rate, channels, depth and verifying.
class FormFLAC final : public FormatDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormFLAC)

public:
    FormFLAC(QWidget* owner, const EncoderSettings& settings);

private:
    void buildControls();
    void load();
    void CmdOK_Click();

    QComboBox* m_levelList = nullptr;
    QComboBox* m_rateList = nullptr; // editable: FLAC takes any rate
    QComboBox* m_channelsList = nullptr;
    QComboBox* m_depthList = nullptr;
    QCheckBox* m_verifyBox = nullptr;
};

} // namespace tunevale
