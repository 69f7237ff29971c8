#include "settings/formatdialog.h"

#include "widgets/labelbuddies.h"
#include "widgets/named.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

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

QHBoxLayout* FormatDialog::okCancelRow(std::function<void()> confirm)
{
    auto* okButton = named(new QPushButton(tr("OK"), this), u"CmdOK");
    auto* cancelButton = named(new QPushButton(tr("Cancel"), this), u"CmdCancel");
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, std::move(confirm));
    connect(cancelButton, &QPushButton::clicked, this, &FormatDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(okButton);
    row->addWidget(cancelButton);
    return row;
}

void FormatDialog::layOutWithButtons(QWidget* options, std::function<void()> confirm)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(options);
    layout->addLayout(okCancelRow(std::move(confirm)));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<EncoderSettings> FormatDialog::edited() const
{
    if (result() != QDialog::Accepted)
        return std::nullopt;
    return m_settings;
}

} // namespace tunevale
