#include "settings/formwma.h"

#include "common/codecs/wmaprofiles.h"
#include "widgets/artwork.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>

namespace tunevale {

namespace {

// The quality shortcuts as list positions; profile number = position + 1.
constexpr std::array<int, 3> kShortcutPositions{9, 13, 34};

int shortcutOf(int position)
{
    for (std::size_t shortcut = 0; shortcut < kShortcutPositions.size(); ++shortcut) {
        if (kShortcutPositions[shortcut] == position)
            return int(shortcut);
    }
    return -1;
}

} // namespace

FormWMA::FormWMA(QWidget* owner, const EncoderSettings& settings)
    : FormatDialog(owner, settings)
{
    setObjectName(QStringLiteral("FormWMA"));
    setWindowTitle(tr(" WMA Option"));
    buildControls();

    connect(m_profileList, &QComboBox::currentIndexChanged, this, &FormWMA::Combo1_Click);
    // Ticked by the user or from code alike, a shortcut moves the list.
    connect(m_shortcuts, &QButtonGroup::idToggled, this, [this](int shortcut, bool checked) {
        if (checked)
            Option_Click(shortcut);
    });
    Form_Load();
}

void FormWMA::buildControls()
{
    auto* label = new QLabel(tr("Presets:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_profileList = new QComboBox(this);
    m_profileList->setObjectName(QStringLiteral("Combo1"));
    m_profileList->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    auto* presets = new QHBoxLayout;
    presets->addWidget(label);
    presets->addWidget(m_profileList, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(presets);
    layout->addSpacing(6);

    const std::array<QString, 3> shortcutCaptions{tr("Normal quality. Normal size."),
                                                  tr("Good quality. Small size."),
                                                  tr("Poor quality. Very small size.")};
    m_shortcuts = new QButtonGroup(this);
    for (std::size_t shortcut = 0; shortcut < shortcutCaptions.size(); ++shortcut) {
        auto* option = new QRadioButton(shortcutCaptions[shortcut], this);
        option->setObjectName(QStringLiteral("Option%1").arg(shortcut + 1));
        m_shortcuts->addButton(option, int(shortcut));
        layout->addWidget(option);
    }
    layout->addSpacing(6);

    layout->addLayout(okCancelRow([this] { CmdOK_Click(); }));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FormWMA::Form_Load()
{
    {
        // Filling moves no selection, so no shortcut is touched meanwhile.
        const QSignalBlocker blocker(m_profileList);
        for (int profile = 1; profile <= kWmaProfileCount; ++profile) {
            const QString description = describeWmaProfile(profile);
            if (!description.isEmpty())
                m_profileList->addItem(description);
        }
        m_profileList->setCurrentIndex(-1);
    }
    m_profileList->setCurrentIndex(m_settings.Formats.wmaProfile - 1);
    if (const int shortcut = shortcutOf(m_settings.Formats.wmaProfile - 1); shortcut >= 0)
        m_shortcuts->button(shortcut)->setChecked(true);
    setWindowIcon(applicationIcon());
}

void FormWMA::Combo1_Click()
{
    const int shortcut = shortcutOf(m_profileList->currentIndex());
    if (shortcut >= 0) {
        m_shortcuts->button(shortcut)->setChecked(true);
        return;
    }
    // An exclusive group keeps one button ticked; clearing all needs it lifted for a moment.
    m_shortcuts->setExclusive(false);
    for (QAbstractButton* option : m_shortcuts->buttons())
        option->setChecked(false);
    m_shortcuts->setExclusive(true);
}

void FormWMA::Option_Click(int shortcut)
{
    m_profileList->setCurrentIndex(kShortcutPositions[std::size_t(shortcut)]);
}

void FormWMA::CmdOK_Click()
{
    m_settings.Formats.wmaProfile = m_profileList->currentIndex() + 1;
    accept();
}

} // namespace tunevale
