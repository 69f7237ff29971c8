#pragma once

#include "settings/formatdialog.h"

class QComboBox;

namespace tunevale {

// The M4A (AAC) output settings dialog: bitrate, rate and channels.
class FormM4A final : public FormatDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormM4A)

public:
    FormM4A(QWidget* owner, const EncoderSettings& settings);

private:
    void buildControls();
    void load();
    void CmdOK_Click();

    QComboBox* m_bitrateList = nullptr; // editable: any bitrate in AAC's range
    QComboBox* m_rateList = nullptr;
    QComboBox* m_channelsList = nullptr;
};

} // namespace tunevale
