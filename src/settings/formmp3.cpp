#include "settings/formmp3.h"

#include "common/audio/audiofile.h"
#include "settings/encodersettings.h"

namespace tunevale {

FormMp3::FormMp3(QWidget* owner, Mp3Encoder& liveEncoder, AudioFile& writer,
                 EncoderSettings& settings)
    : QDialog(owner)
    , m_liveEncoder(liveEncoder)
    , m_writer(writer)
    , m_settings(settings)
{}

} // namespace tunevale
