#include "settings/formatdialog.h"

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

} // namespace tunevale
