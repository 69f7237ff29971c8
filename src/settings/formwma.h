#pragma once

#include <QDialog>

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
    AudioFile& m_writer;
    EncoderSettings& m_settings;
};

} // namespace tunevale
