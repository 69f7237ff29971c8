#pragma once

#include "settings/formatdialog.h"

class QButtonGroup;
class QComboBox;

namespace tunevale {

// The WMA output settings dialog: one of the numbered profiles, with three quality shortcuts.
class FormWMA final : public FormatDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormWMA)

public:
    FormWMA(QWidget* owner, const EncoderSettings& settings);

private:
    void buildControls();
    void Form_Load();
    void Combo1_Click();
    // Shortcut 0 to 2 stands for Option1 to Option3.
    void Option_Click(int shortcut);
    void CmdOK_Click();

    QComboBox* m_profileList = nullptr;
    QButtonGroup* m_shortcuts = nullptr;
};

} // namespace tunevale
