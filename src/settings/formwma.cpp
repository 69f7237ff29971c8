#include "settings/formwma.h"

#include "common/audio/audiofile.h"
#include "common/audio/wmaprofiles.h"
#include "settings/encodersettings.h"
#include "widgets/artwork.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
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

FormWMA::FormWMA(QWidget* owner, AudioFile& writer, EncoderSettings& settings)
    : QDialog(owner)
    , m_writer(writer)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("FormWMA"));
    setWindowTitle(QStringLiteral(" WMA Option"));
    buildControls();

    connect(Combo1, &QComboBox::currentIndexChanged, this, &FormWMA::Combo1_Click);
    // Ticked by the user or from code alike, a shortcut moves the list.
    connect(m_options, &QButtonGroup::idToggled, this, [this](int shortcut, bool checked) {
        if (checked)
            Option_Click(shortcut);
    });
    connect(CmdOK, &QPushButton::clicked, this, &FormWMA::CmdOK_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &FormWMA::reject);
    Form_Load();
}

void FormWMA::buildControls()
{
    Label1 = new QLabel(QStringLiteral("Presets:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    Option1 = new QRadioButton(QStringLiteral("Normal quality. Normal size."), this);
    Option1->setObjectName(QStringLiteral("Option1"));
    Option2 = new QRadioButton(QStringLiteral("Good quality. Small size."), this);
    Option2->setObjectName(QStringLiteral("Option2"));
    Option3 = new QRadioButton(QStringLiteral("Poor quality. Very small size."), this);
    Option3->setObjectName(QStringLiteral("Option3"));
    m_options = new QButtonGroup(this);
    m_options->addButton(Option1, 0);
    m_options->addButton(Option2, 1);
    m_options->addButton(Option3, 2);

    CmdOK = new QPushButton(QStringLiteral("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);
    CmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));

    auto* presets = new QHBoxLayout;
    presets->addWidget(Label1);
    presets->addWidget(Combo1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(presets);
    layout->addSpacing(6);
    layout->addWidget(Option1);
    layout->addWidget(Option2);
    layout->addWidget(Option3);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FormWMA::Form_Load()
{
    {
        // Filling moves no selection, so no shortcut is touched meanwhile.
        const QSignalBlocker blocker(Combo1);
        for (int profile = 1; profile <= kWmaProfileCount; ++profile) {
            if (!m_writer.selectWmaProfile(profile))
                continue;
            const QString description = m_writer.settingsDescription();
            if (!description.isEmpty())
                Combo1->addItem(description);
        }
        Combo1->setCurrentIndex(-1);
    }
    Combo1->setCurrentIndex(m_settings.WmaProfileIndex - 1);
    if (const int shortcut = shortcutOf(m_settings.WmaProfileIndex - 1); shortcut >= 0)
        m_options->button(shortcut)->setChecked(true);
    setWindowIcon(applicationIcon());
}

void FormWMA::Combo1_Click()
{
    const int shortcut = shortcutOf(Combo1->currentIndex());
    if (shortcut >= 0) {
        m_options->button(shortcut)->setChecked(true);
        return;
    }
    // An exclusive group keeps one button ticked; clearing all needs it lifted for a moment.
    m_options->setExclusive(false);
    for (QAbstractButton* option : m_options->buttons())
        option->setChecked(false);
    m_options->setExclusive(true);
}

void FormWMA::Option_Click(int shortcut)
{
    Combo1->setCurrentIndex(kShortcutPositions[std::size_t(shortcut)]);
}

void FormWMA::CmdOK_Click()
{
    m_settings.WmaProfileIndex = Combo1->currentIndex() + 1;
    (void)m_writer.selectWmaProfile(m_settings.WmaProfileIndex);
    accept();
}

} // namespace tunevale
