#include "settings/formmp3.h"

#include "common/textnumber.h"
#include "settings/bitratelist.h"
#include "widgets/artwork.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <limits>
#include <optional>
#include <utility>

namespace tunevale {

namespace {

constexpr std::array kFrequencies{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int kMinAbrItem = 10;
constexpr int kMaxAbrItem = 310;
// The area every page gets, whatever its contents ask for.
constexpr QSize kPageSize(364, 189);

constexpr int kMonoPosition = 0;
constexpr int kNoVbrPosition = 0;
constexpr int kAbrPosition = Mp3Encoder::kVbrAbr + 1;

template <typename Widget, typename... Arguments>
Widget* named(QAnyStringView name, Arguments&&... arguments)
{
    auto* widget = new Widget(std::forward<Arguments>(arguments)...);
    widget->setObjectName(name);
    return widget;
}

// A list starts without a selection, so a value the encoder gives that no item matches
// leaves it empty rather than showing an item that was never chosen.
QComboBox* list(QAnyStringView name, const QStringList& items, bool editable = false)
{
    auto* combo = named<QComboBox>(name);
    combo->addItems(items);
    combo->setEditable(editable);
    if (editable)
        combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCurrentIndex(-1);
    return combo;
}

QStringList numberTexts(int first, int last)
{
    QStringList texts;
    for (int number = first; number <= last; ++number)
        texts.append(QString::number(number));
    return texts;
}

std::optional<int> int16Number(const QString& text)
{
    return wholeNumber(text, std::numeric_limits<qint16>::min(),
                       std::numeric_limits<qint16>::max());
}

std::optional<int> int32Number(const QString& text)
{
    return wholeNumber(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
}

} // namespace

FormMp3::FormMp3(QWidget* owner, const EncoderSettings& settings)
    : FormatDialog(owner, settings)
{
    setObjectName(u"FormMp3");
    setWindowTitle(QStringLiteral(" Mp3 Option"));
    setFont(windowFont());

    m_tabStrip = named<QTabWidget>(u"TabStrip1", this);
    const QStringList tabs{QStringLiteral("General"), QStringLiteral("VBR"),
                           QStringLiteral("Presets")};
    for (int index = 0; index < tabs.size(); ++index) {
        auto* page = named<QWidget>(QStringLiteral("Frame1_%1").arg(index));
        page->setMinimumSize(kPageSize);
        m_tabStrip->addTab(page, tabs[index]);
    }
    buildGeneralPage(m_tabStrip->widget(0));
    buildVbrPage(m_tabStrip->widget(1));
    buildPresetsPage(m_tabStrip->widget(2));

    m_cmdOk = named<QPushButton>(u"CmdOK", QStringLiteral("OK"));
    m_cmdOk->setDefault(true);
    m_cmdCancel = named<QPushButton>(u"CmdCancel", QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOk);
    buttons->addWidget(m_cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabStrip);
    layout->addLayout(buttons);

    connect(m_cmbVbrCodingMethod, &QComboBox::currentIndexChanged, this,
            &FormMp3::cmbVBRCodingMethod_Click);
    for (QComboBox* input : {m_comboBitrate, m_comboVbrBitrate, m_cmbVbrCodingMethod})
        connect(input, &QComboBox::currentIndexChanged, this, &FormMp3::showVbrMinimum);
    connect(m_txtAbrBitrate, &QComboBox::editTextChanged, this, &FormMp3::showVbrMinimum);
    connect(m_chStrictlyEnforceMinBitrate, &QCheckBox::toggled, this, &FormMp3::showVbrMinimum);
    connect(m_opPreset, &QButtonGroup::idClicked, this, &FormMp3::opPreset_Click);
    connect(m_cmdOk, &QPushButton::clicked, this, &FormMp3::CmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &FormMp3::CmdCancel_Click);

    m_tabStrip->setCurrentIndex(0);
    LoadControlsFromEncoder(m_settings.Mp3);
    // The method list may already have shown the encoder's method, so no change was signalled.
    cmbVBRCodingMethod_Click();
    showVbrMinimum();
    m_presetEncoder = Mp3Encoder();
    setWindowIcon(applicationIcon());
    setFixedSize(sizeHint());
}

void FormMp3::buildGeneralPage(QWidget* page)
{
    m_comboQuality = list(u"ComboQuality", numberTexts(0, 9));
    m_comboBitrate = list(u"ComboBitrate", bitrateListTexts());
    m_cmbChMode =
        list(u"cmbChMode",
             {QStringLiteral("Mono"), QStringLiteral("Stereo"), QStringLiteral("Joint Stereo"),
              QStringLiteral("Forced Joint Stereo"), QStringLiteral("Dual Channels")});
    m_cmbFrequency = list(
        u"cmbFrequency",
        {QStringLiteral("  8 000 Hz"), QStringLiteral("11 025 Hz"), QStringLiteral("12 000 Hz "),
         QStringLiteral("16 000 Hz"), QStringLiteral("22 050 Hz"), QStringLiteral("24 000 Hz"),
         QStringLiteral("32 000 Hz"), QStringLiteral("44 100 Hz"), QStringLiteral("48 000 Hz")});
    for (int index = 0; index < m_cmbFrequency->count(); ++index)
        m_cmbFrequency->setItemData(index, kFrequencies[static_cast<size_t>(index)]);

    auto* option = named<QGroupBox>(u"Frame2", QStringLiteral("Option"));
    auto* optionGrid = new QGridLayout(option);
    optionGrid->addWidget(named<QLabel>(u"Label3", QStringLiteral("Encoder Quality:")), 0, 0);
    optionGrid->addWidget(m_comboQuality, 0, 1);
    optionGrid->addWidget(named<QLabel>(u"lblBitrate", QStringLiteral("Bitrate (Kbps):")), 1, 0);
    optionGrid->addWidget(m_comboBitrate, 1, 1);
    optionGrid->setRowStretch(2, 1);

    auto* channels = named<QGroupBox>(u"frmChMode", QStringLiteral("Channels Mode"));
    (new QVBoxLayout(channels))->addWidget(m_cmbChMode);
    auto* frequency = named<QGroupBox>(u"frmFrequency", QStringLiteral("Sampling Frequency"));
    (new QVBoxLayout(frequency))->addWidget(m_cmbFrequency);

    // The option frame takes the height of the two frames beside it.
    auto* right = new QVBoxLayout;
    right->addWidget(channels);
    right->addWidget(frequency);
    auto* columns = new QHBoxLayout;
    columns->addWidget(option, 1);
    columns->addLayout(right, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(columns);
    layout->addStretch(1);
}

void FormMp3::buildVbrPage(QWidget* page)
{
    m_cmbVbrCodingMethod =
        list(u"cmbVBRCodingMethod",
             {QStringLiteral("No VBR"), QStringLiteral("Default"), QStringLiteral("Old"),
              QStringLiteral("New"), QStringLiteral("MTRH"), QStringLiteral("ABR")});
    m_txtVbrQuality = list(u"txtVbrQuality", numberTexts(0, 9), true);
    m_txtAbrBitrate = list(u"txtAbrBitrate", numberTexts(kMinAbrItem, kMaxAbrItem), true);

    auto* options = new QGridLayout;
    options->addWidget(named<QLabel>(u"Label4", QStringLiteral("VBR Option:")), 0, 0);
    options->addWidget(m_cmbVbrCodingMethod, 0, 1);
    options->addWidget(named<QLabel>(u"Label1", QStringLiteral("VBR Quality:")), 1, 0);
    options->addWidget(m_txtVbrQuality, 1, 1);
    options->addWidget(named<QLabel>(u"Label2", QStringLiteral("Targed bitrate for ABR:")), 2, 0);
    options->addWidget(m_txtAbrBitrate, 2, 1);
    m_lblVbrMinimumCaption = named<QLabel>(u"lblVbrMinimumCaption", QStringLiteral("Minimum:"));
    m_lblVbrMinimum = named<QLabel>(u"lblVbrMinimum");
    m_lblVbrMinimum->setToolTip(
        QStringLiteral("The bitrate on the General page is also the lowest a VBR file may use."));
    // Room for the second line from the start, as the dialog does not grow.
    m_lblVbrMinimum->setMinimumHeight(2 * m_lblVbrMinimum->fontMetrics().lineSpacing());
    options->addWidget(m_lblVbrMinimumCaption, 3, 0, Qt::AlignTop);
    options->addWidget(m_lblVbrMinimum, 3, 1, 1, 2, Qt::AlignTop);
    options->setColumnStretch(2, 1);

    m_comboVbrBitrate = list(u"ComboVbrBitrate", bitrateListTexts());
    m_lblVbrBitrate = named<QLabel>(u"lblVbrBitrate", QStringLiteral("VBR Bitrate: (kbps)"));
    m_frmVbrBitrate = named<QGroupBox>(u"frmVbrBitrate", QStringLiteral("Maximum VBR Bitrate"));
    auto* maximum = new QVBoxLayout(m_frmVbrBitrate);
    maximum->addWidget(m_lblVbrBitrate);
    maximum->addWidget(m_comboVbrBitrate);
    maximum->addStretch(1);

    m_chStrictlyEnforceMinBitrate = named<QCheckBox>(
        u"chStrictlyEnforceMinBitrate", QStringLiteral("Strictly enforce minimum bitrate"));
    m_chWriteVbrHeader = named<QCheckBox>(u"chWriteVBRHeader", QStringLiteral("Write VBR Header"));
    m_frmVbrAdvanced = named<QGroupBox>(u"frmVbrAdvanced", QStringLiteral("Advanced"));
    auto* advanced = new QVBoxLayout(m_frmVbrAdvanced);
    advanced->addWidget(m_chStrictlyEnforceMinBitrate);
    advanced->addWidget(m_chWriteVbrHeader);
    advanced->addStretch(1);

    auto* frames = new QHBoxLayout;
    frames->addWidget(m_frmVbrBitrate);
    frames->addWidget(m_frmVbrAdvanced, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(options);
    layout->addLayout(frames, 1);
}

void FormMp3::buildPresetsPage(QWidget* page)
{
    const std::array<QString, kPresetCount> captions{
        QStringLiteral("Default"), QStringLiteral("Phone"),  QStringLiteral("SW"),
        QStringLiteral("AM"),      QStringLiteral("FM"),     QStringLiteral("Voice"),
        QStringLiteral("Radio"),   QStringLiteral("Tape"),   QStringLiteral("HiFi"),
        QStringLiteral("CD"),      QStringLiteral("Studio"), QStringLiteral("R3Mix")};
    constexpr int kRows = 4;
    m_opPreset = new QButtonGroup(this);
    m_opPreset->setObjectName(u"opPreset");
    auto* grid = new QGridLayout(page);
    for (int index = 0; index < kPresetCount; ++index) {
        auto* button = named<QRadioButton>(QStringLiteral("opPreset_%1").arg(index),
                                           captions[static_cast<size_t>(index)]);
        m_opPreset->addButton(button, index);
        // Phone ... R3Mix fill the columns from the top; "Default" takes the last place.
        const int place = index == 0 ? kPresetCount - 1 : index - 1;
        grid->addWidget(button, place % kRows, place / kRows);
    }
    QFont bold = m_opPreset->button(0)->font();
    bold.setBold(true);
    m_opPreset->button(0)->setFont(bold);
}

void FormMp3::LoadControlsFromEncoder(const Mp3Encoder& encoder)
{
    const int rate = m_cmbFrequency->findData(encoder.sampleRate());
    if (rate >= 0)
        m_cmbFrequency->setCurrentIndex(rate);
    for (int index = 0; index < m_comboQuality->count(); ++index) {
        if (wholeNumber(m_comboQuality->itemText(index), 0, 9) == encoder.quality()) {
            m_comboQuality->setCurrentIndex(index);
            break;
        }
    }
    m_comboBitrate->setCurrentIndex(BitrateListIndex(encoder.bitrate()));
    m_comboVbrBitrate->setCurrentIndex(BitrateListIndex(encoder.maxVbrBitrate()));
    m_txtVbrQuality->setEditText(QString::number(encoder.vbrQuality()));
    m_cmbVbrCodingMethod->setCurrentIndex(encoder.vbrMethod() + 1);
    m_txtAbrBitrate->setEditText(QString::number(encoder.abrBitrate()));
    const int mode = encoder.channels() == 1 ? kMonoPosition : encoder.channelMode();
    if (mode >= 0 && mode < m_cmbChMode->count())
        m_cmbChMode->setCurrentIndex(mode);
    m_chWriteVbrHeader->setChecked(encoder.writeVbrHeader());
    m_chStrictlyEnforceMinBitrate->setChecked(encoder.strictMinimum());
}

void FormMp3::ApplyControlsToEncoder()
{
    // Each step stands alone: one the encoder refuses, or text that is no number, keeps that
    // property's previous value and the others are still written.
    Mp3Encoder& encoder = m_settings.Mp3;
    const QVariant rate = m_cmbFrequency->currentData();
    if (rate.isValid())
        (void)encoder.setSampleRate(rate.toInt());
    (void)encoder.setVbrMethod(m_cmbVbrCodingMethod->currentIndex() - 1);
    if (const auto kbps = int32Number(m_comboBitrate->currentText()))
        (void)encoder.setBitrate(*kbps);
    if (const auto quality = int32Number(m_comboQuality->currentText()))
        (void)encoder.setQuality(*quality);
    if (const auto kbps = int32Number(m_comboVbrBitrate->currentText()))
        (void)encoder.setMaxVbrBitrate(*kbps);
    if (m_cmbChMode->currentIndex() == kMonoPosition) {
        (void)encoder.setChannels(1);
    } else {
        (void)encoder.setChannels(2);
        (void)encoder.setChannelMode(m_cmbChMode->currentIndex());
    }
    encoder.setWriteVbrHeader(m_chWriteVbrHeader->isChecked());
    encoder.setStrictMinimum(m_chStrictlyEnforceMinBitrate->isChecked());
    if (const auto kbps = int16Number(m_txtAbrBitrate->currentText()))
        (void)encoder.setAbrBitrate(*kbps);
    if (const auto quality = int16Number(m_txtVbrQuality->currentText()))
        (void)encoder.setVbrQuality(*quality);
}

void FormMp3::cmbVBRCodingMethod_Click()
{
    const int method = m_cmbVbrCodingMethod->currentIndex();
    const bool vbr = method != kNoVbrPosition;
    m_txtVbrQuality->setEnabled(vbr && method != kAbrPosition);
    m_txtAbrBitrate->setEnabled(method == kAbrPosition);
    for (QWidget* widget : std::initializer_list<QWidget*>{
             m_frmVbrBitrate, m_lblVbrBitrate, m_comboVbrBitrate, m_frmVbrAdvanced,
             m_chWriteVbrHeader, m_chStrictlyEnforceMinBitrate, m_lblVbrMinimumCaption,
             m_lblVbrMinimum})
        widget->setEnabled(vbr);
}

void FormMp3::showVbrMinimum()
{
    // Worked out as the encoder will, from what the controls show now.
    Mp3Encoder shown;
    if (const auto kbps = int32Number(m_comboBitrate->currentText()))
        (void)shown.setBitrate(*kbps);
    if (const auto kbps = int32Number(m_comboVbrBitrate->currentText()))
        (void)shown.setMaxVbrBitrate(*kbps);
    (void)shown.setVbrMethod(m_cmbVbrCodingMethod->currentIndex() - 1);
    if (const auto kbps = int16Number(m_txtAbrBitrate->currentText()))
        (void)shown.setAbrBitrate(*kbps);
    shown.setStrictMinimum(m_chStrictlyEnforceMinBitrate->isChecked());

    const int minimum = shown.vbrMinimumBitrate();
    QString text =
        minimum == shown.bitrate()
            ? QStringLiteral("%1 kbps, the bitrate on the General page").arg(minimum)
            : QStringLiteral("%1 kbps (General page: %2 kbps)").arg(minimum).arg(shown.bitrate());
    if (minimum >= shown.maxVbrBitrate())
        text += QStringLiteral("\nAt the maximum: constant bitrate");
    m_lblVbrMinimum->setText(text);
}

void FormMp3::opPreset_Click(int index)
{
    if (index >= 1 && index < kPresetCount) {
        if (m_presetEncoder.applyPreset(index))
            LoadControlsFromEncoder(m_presetEncoder);
    } else if (index == 0) {
        // The dialog's own choice, independent of the encoder's defaults.
        m_cmbFrequency->setCurrentIndex(m_cmbFrequency->findData(44100));
        m_cmbChMode->setCurrentIndex(Mp3Encoder::kModeStereo);
        m_comboBitrate->setCurrentIndex(BitrateListIndex(96));
        m_comboQuality->setCurrentIndex(5);
        m_cmbVbrCodingMethod->setCurrentIndex(kNoVbrPosition);
    }
    m_tabStrip->setCurrentIndex(0);
}

void FormMp3::CmdOK_Click()
{
    ApplyControlsToEncoder();
    accept();
}

void FormMp3::CmdCancel_Click()
{
    reject();
}

} // namespace tunevale
