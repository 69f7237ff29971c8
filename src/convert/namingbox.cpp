#include "convert/namingbox.h"

#include "widgets/named.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <algorithm>
#include <array>

namespace tunevale {

namespace {

// The taken-name choices in the order the list shows them.
constexpr std::array kIfTakenChoices{IfExists::New, IfExists::Skip, IfExists::Number};
constexpr int kPreviewLines = 3;

} // namespace

NamingBox::NamingBox(QWidget* parent)
    : QGroupBox(tr("Names"), parent)
{
    setObjectName(QStringLiteral("FrameNames"));
    m_keepTreeBox = named(new QCheckBox(tr("Keep the folder tree"), this), u"CheckKeepTree");
    m_keepTreeBox->setToolTip(tr("Each output goes below the output folder in the folders its "
                                 "source had below the folder it was added from."));
    m_portableBox =
        named(new QCheckBox(tr("Names for FAT, exFAT and NTFS drives"), this), u"CheckPortable");
    m_patternText = named(new QLineEdit(this), u"TextPattern");
    m_patternText->setPlaceholderText(
        tr("the source's name, or e.g. %1")
            .arg(QStringLiteral("{artist}/{album}/{track} - {title}")));
    m_patternText->setToolTip(
        tr("Fields: %1. {field|text} gives a text for a missing value; / makes folders.")
            .arg(QStringLiteral("{artist}, {albumartist}, {album}, {title}, {track}, {disc}, "
                                "{year}, {genre}, {name}, {ext}")));
    auto* patternLabel = named(new QLabel(tr("Name &pattern:"), this), u"LabelPattern");
    patternLabel->setBuddy(m_patternText);
    m_ifTakenList = named(new QComboBox(this), u"ComboIfTaken");
    m_ifTakenList->addItems(
        {tr("Put \"New_\" in front"), tr("Skip the file"), tr("Add a number: \"lena (2).mp3\"")});
    auto* ifTakenLabel = named(new QLabel(tr("If a name is &taken:"), this), u"LabelIfTaken");
    ifTakenLabel->setBuddy(m_ifTakenList);
    m_previewText = named(new QPlainTextEdit(this), u"TextPreview");
    m_previewText->setReadOnly(true);
    m_previewText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_previewText->setAccessibleName(tr("Preview of the output names"));
    // Room for every line even when a long name brings the horizontal scroll bar.
    m_previewText->setFixedHeight(m_previewText->fontMetrics().lineSpacing() * kPreviewLines +
                                  2 * m_previewText->frameWidth() +
                                  int(m_previewText->document()->documentMargin() * 2) +
                                  m_previewText->horizontalScrollBar()->sizeHint().height());
    auto* previewLabel = named(new QLabel(tr("Preview:"), this), u"LabelPreview");
    previewLabel->setBuddy(m_previewText);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_keepTreeBox, 0, 0, 1, 2);
    layout->addWidget(m_portableBox, 0, 2);
    layout->addWidget(patternLabel, 1, 0);
    layout->addWidget(m_patternText, 1, 1, 1, 2);
    layout->addWidget(ifTakenLabel, 2, 0);
    layout->addWidget(m_ifTakenList, 2, 1, 1, 2, Qt::AlignLeft);
    layout->addWidget(previewLabel, 3, 0, Qt::AlignTop);
    layout->addWidget(m_previewText, 3, 1, 1, 2);
    layout->setColumnStretch(1, 1);

    connect(m_keepTreeBox, &QCheckBox::toggled, this, &NamingBox::changed);
    connect(m_portableBox, &QCheckBox::toggled, this, &NamingBox::changed);
    connect(m_patternText, &QLineEdit::textChanged, this, &NamingBox::changed);
    connect(m_ifTakenList, &QComboBox::currentIndexChanged, this, &NamingBox::changed);
}

void NamingBox::setChoice(const NamingRules& rules, IfExists ifTaken)
{
    const QSignalBlocker blockTree(m_keepTreeBox);
    const QSignalBlocker blockPattern(m_patternText);
    const QSignalBlocker blockPortable(m_portableBox);
    const QSignalBlocker blockIfTaken(m_ifTakenList);
    m_keepTreeBox->setChecked(rules.keepTree);
    m_patternText->setText(rules.pattern);
    m_portableBox->setChecked(rules.portable);
    const auto* found = std::find(kIfTakenChoices.begin(), kIfTakenChoices.end(), ifTaken);
    m_ifTakenList->setCurrentIndex(
        found == kIfTakenChoices.end() ? 0 : int(found - kIfTakenChoices.begin()));
}

NamingRules NamingBox::rules() const
{
    return {m_keepTreeBox->isChecked(), m_patternText->text().trimmed(),
            m_portableBox->isChecked()};
}

IfExists NamingBox::ifTaken() const
{
    return kIfTakenChoices.at(size_t(std::max(0, m_ifTakenList->currentIndex())));
}

void NamingBox::setTreeAvailable(bool available)
{
    m_keepTreeBox->setEnabled(available);
}

void NamingBox::showPreview(const QStringList& lines)
{
    m_previewText->setPlainText(lines.join(u'\n'));
}

QString NamingBox::preview() const
{
    return m_previewText->toPlainText();
}

} // namespace tunevale
