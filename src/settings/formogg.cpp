#include "settings/formogg.h"

#include "common/audio/audiofile.h"
#include "settings/encodersettings.h"

namespace tunevale {

FormOGG::FormOGG(QWidget* owner, AudioFile& writer, EncoderSettings& settings)
    : QDialog(owner)

    , m_writer(writer)
    , m_settings(settings)
{}

} // namespace tunevale
