#include "settings/formatdialog.h"

#include "widgets/labelbuddies.h"

#include <utility>

namespace tunevale {

FormatDialog::FormatDialog(QWidget* owner, const EncoderSettings& settings)
    : QDialog(owner)
    , m_settings(settings)
{}

void FormatDialog::showEvent(QShowEvent* event)
{
    // Each dialog lays out its own controls; once they are all there, labels name them.
    if (!std::exchange(m_labelsPaired, true)) {
        pairLabelsWithControls(*this);
        nameComboBoxFields(*this);
    }
    QDialog::showEvent(event);
}

std::optional<EncoderSettings> FormatDialog::edited() const
{
    if (result() != QDialog::Accepted)
        return std::nullopt;
    return m_settings;
}

} // namespace tunevale
