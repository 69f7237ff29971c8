#include "settings/formatdialog.h"

#include "settings/formmp3.h"
#include "settings/formogg.h"
#include "settings/formwav.h"
#include "settings/formwma.h"

#include <memory>

namespace tunevale {

FormatDialog::FormatDialog(QWidget* owner, const EncoderSettings& settings)
    : QDialog(owner)
    , m_settings(settings)
{}

std::optional<EncoderSettings> FormatDialog::edited() const
{
    if (result() != QDialog::Accepted)
        return std::nullopt;
    return m_settings;
}

std::optional<EncoderSettings> editFormatSettings(QWidget* owner, const EncoderSettings& settings)
{
    std::unique_ptr<FormatDialog> dialog;
    switch (settings.TargetFormat) {
    case OutputKind::Mp3:
        dialog = std::make_unique<FormMp3>(owner, settings);
        break;
    case OutputKind::Ogg:
        dialog = std::make_unique<FormOGG>(owner, settings);
        break;
    case OutputKind::Wav:
        dialog = std::make_unique<FormWAV>(owner, settings);
        break;
    case OutputKind::Wma:
        dialog = std::make_unique<FormWMA>(owner, settings);
        break;
    case OutputKind::Flac:
    case OutputKind::Opus:
    case OutputKind::M4a:
        return std::nullopt; // converted with their start-up settings; no dialog edits them
    }
    dialog->exec();
    return dialog->edited();
}

} // namespace tunevale
