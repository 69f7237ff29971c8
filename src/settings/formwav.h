#pragma once

#include "settings/formatdialog.h"

#include <array>

class QRadioButton;

namespace tunevale {

// The WAV output settings dialog: rate, channels and sample width.
class FormWAV final : public FormatDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormWAV)

public:
    FormWAV(QWidget* owner, const EncoderSettings& settings);

private:
    void buildControls();
    void Form_Load();
    void CmdOK_Click();

    std::array<QRadioButton*, 8> m_rateButtons{}; // F1 to F8
    QRadioButton* m_monoButton = nullptr;
    QRadioButton* m_stereoButton = nullptr;
    QRadioButton* m_eightBitButton = nullptr;
    QRadioButton* m_sixteenBitButton = nullptr;
};

} // namespace tunevale
