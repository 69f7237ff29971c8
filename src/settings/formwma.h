#pragma once

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tunevale {

class AudioFile;
struct EncoderSettings;

// The WMA output settings dialog. OK applies the choices; Cancel and the close box change nothing.
class FormWMA final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormWMA)

public:
    FormWMA(QWidget* owner, AudioFile& writer, EncoderSettings& settings);

private:
    void buildControls();
    void Form_Load();
    void Combo1_Click();
    // Shortcut 0 to 2 stands for Option1 to Option3.
    void Option_Click(int shortcut);
    void CmdOK_Click();

    AudioFile& m_writer;
    EncoderSettings& m_settings;

    QLabel* Label1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QButtonGroup* m_options = nullptr;
    QPushButton* CmdOK = nullptr;
    QPushButton* CmdCancel = nullptr;
};

} // namespace tunevale
