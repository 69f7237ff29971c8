#pragma once

#include <QDialog>

#include <array>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace tunevale {

class AudioFile;
struct EncoderSettings;

// The WAV output settings dialog. OK applies the choices; Cancel and the close box change nothing.
class FormWAV final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormWAV)

public:
    FormWAV(QWidget* owner, AudioFile& writer, EncoderSettings& settings);

private:
    void buildControls();
    void Form_Load();
    void CmdOK_Click();

    AudioFile& m_writer;
    EncoderSettings& m_settings;

    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, 8> m_frequencies{}; // F1 to F8
    QGroupBox* Frame2 = nullptr;
    QRadioButton* P1 = nullptr;
    QRadioButton* P2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QRadioButton* B1 = nullptr;
    QRadioButton* B2 = nullptr;
    QPushButton* CmdOK = nullptr;
    QPushButton* CmdCancel = nullptr;
};

} // namespace tunevale
