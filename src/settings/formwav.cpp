#include "settings/formwav.h"

#include "common/audio/audiofile.h"
#include "settings/encodersettings.h"

namespace tunevale {

FormWAV::FormWAV(QWidget* owner, AudioFile& writer, EncoderSettings& settings)
    : QDialog(owner)

    , m_writer(writer)
    , m_settings(settings)
{}

} // namespace tunevale
