#pragma once

#include "settings/formatdialog.h"

class QComboBox;

namespace tunevale {

// The Opus output settings dialog: bitrate and its control, complexity, tuning and channels.
class FormOpus final : public FormatDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormOpus)

public:
    FormOpus(QWidget* owner, const EncoderSettings& settings);

private:
    void buildControls();
    void load();
    void CmdOK_Click();

    QComboBox* m_bitrateList = nullptr; // editable: any bitrate in Opus's range
    QComboBox* m_modeList = nullptr;
    QComboBox* m_complexityList = nullptr;
    QComboBox* m_tuningList = nullptr;
    QComboBox* m_channelsList = nullptr;
};

} // namespace tunevale
