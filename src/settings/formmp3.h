#pragma once

#include <QDialog>

namespace tunevale {

class AudioFile;
struct EncoderSettings;
class Mp3Encoder;

// The Mp3 output settings dialog. OK applies the choices; Cancel and the close box change nothing.
class FormMp3 final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormMp3)

public:
    FormMp3(QWidget* owner, Mp3Encoder& liveEncoder, AudioFile& writer, EncoderSettings& settings);

private:
    Mp3Encoder& m_liveEncoder;
    AudioFile& m_writer;
    EncoderSettings& m_settings;
};

} // namespace tunevale
