#include "settings/formmp3.h"

#include "common/textnumber.h"
#include "settings/bitratelist.h"
#include "widgets/artwork.h"
#include "widgets/named.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <limits>
#include <optional>

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

// A list starts without a selection, so a value the encoder gives that no item matches
// leaves it empty rather than showing an item that was never chosen.
QComboBox* list(QAnyStringView name, const QStringList& items, bool editable = false)
{
    auto* combo = named(new QComboBox, name);
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
    setWindowTitle(tr(" Mp3 Option"));
    setFont(windowFont());

    m_pages = named(new QTabWidget(this), u"TabStrip1");
    const QStringList tabs{tr("General"), QStringLiteral("VBR"), tr("Presets")};
    for (int index = 0; index < tabs.size(); ++index) {
        auto* page = named(new QWidget, QStringLiteral("Frame1_%1").arg(index));
        page->setMinimumSize(kPageSize);
        m_pages->addTab(page, tabs[index]);
    }
    buildGeneralPage(m_pages->widget(0));
    buildVbrPage(m_pages->widget(1));
    buildPresetsPage(m_pages->widget(2));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(okCancelRow([this] { CmdOK_Click(); }));

    connect(m_vbrMethodList, &QComboBox::currentIndexChanged, this,
            &FormMp3::cmbVBRCodingMethod_Click);
    for (QComboBox* input : {m_bitrateList, m_maxVbrBitrateList, m_vbrMethodList})
        connect(input, &QComboBox::currentIndexChanged, this, &FormMp3::showVbrMinimum);
    connect(m_abrBitrateList, &QComboBox::editTextChanged, this, &FormMp3::showVbrMinimum);
    connect(m_strictMinimumBox, &QCheckBox::toggled, this, &FormMp3::showVbrMinimum);
    connect(m_presetButtons, &QButtonGroup::idClicked, this, &FormMp3::opPreset_Click);

    m_pages->setCurrentIndex(0);
    LoadControlsFromEncoder(m_settings.Formats.mp3);
    // The method list may already have shown the encoder's method, so no change was signalled.
    cmbVBRCodingMethod_Click();
    showVbrMinimum();
    m_presetEncoder = Mp3Encoder();
    setWindowIcon(applicationIcon());
    setFixedSize(sizeHint());
}

void FormMp3::buildGeneralPage(QWidget* page)
{
    m_encoderQualityList = list(u"ComboQuality", numberTexts(0, 9));
    m_bitrateList = list(u"ComboBitrate", bitrateListTexts());
    m_channelModeList = list(u"cmbChMode", {tr("Mono"), tr("Stereo"), tr("Joint Stereo"),
                                            tr("Forced Joint Stereo"), tr("Dual Channels")});
    m_frequencyList = list(
        u"cmbFrequency",
        {QStringLiteral("  8 000 Hz"), QStringLiteral("11 025 Hz"), QStringLiteral("12 000 Hz "),
         QStringLiteral("16 000 Hz"), QStringLiteral("22 050 Hz"), QStringLiteral("24 000 Hz"),
         QStringLiteral("32 000 Hz"), QStringLiteral("44 100 Hz"), QStringLiteral("48 000 Hz")});
    for (int index = 0; index < m_frequencyList->count(); ++index)
        m_frequencyList->setItemData(index, kFrequencies[static_cast<size_t>(index)]);

    auto* option = named(new QGroupBox(tr("Option")), u"Frame2");
    auto* optionGrid = new QGridLayout(option);
    optionGrid->addWidget(named(new QLabel(tr("Encoder Quality:")), u"Label3"), 0, 0);
    optionGrid->addWidget(m_encoderQualityList, 0, 1);
    optionGrid->addWidget(named(new QLabel(tr("Bitrate (Kbps):")), u"lblBitrate"), 1, 0);
    optionGrid->addWidget(m_bitrateList, 1, 1);
    optionGrid->setRowStretch(2, 1);

    auto* channels = named(new QGroupBox(tr("Channels Mode")), u"frmChMode");
    (new QVBoxLayout(channels))->addWidget(m_channelModeList);
    auto* frequency = named(new QGroupBox(tr("Sampling Frequency")), u"frmFrequency");
    (new QVBoxLayout(frequency))->addWidget(m_frequencyList);

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
    m_vbrMethodList =
        list(u"cmbVBRCodingMethod", {tr("No VBR"), tr("Default"), tr("Old"), tr("New"),
                                     QStringLiteral("MTRH"), QStringLiteral("ABR")});
    m_vbrQualityList = list(u"txtVbrQuality", numberTexts(0, 9), true);
    m_abrBitrateList = list(u"txtAbrBitrate", numberTexts(kMinAbrItem, kMaxAbrItem), true);

    auto* options = new QGridLayout;
    options->addWidget(named(new QLabel(tr("VBR Option:")), u"Label4"), 0, 0);
    options->addWidget(m_vbrMethodList, 0, 1);
    options->addWidget(named(new QLabel(tr("VBR Quality:")), u"Label1"), 1, 0);
    options->addWidget(m_vbrQualityList, 1, 1);
    options->addWidget(named(new QLabel(tr("Targed bitrate for ABR:")), u"Label2"), 2, 0);
    options->addWidget(m_abrBitrateList, 2, 1);
    m_vbrMinimumCaption = named(new QLabel(tr("Minimum:")), u"lblVbrMinimumCaption");
    m_vbrMinimumLabel = named(new QLabel, u"lblVbrMinimum");
    m_vbrMinimumLabel->setToolTip(
        tr("The bitrate on the General page is also the lowest a VBR file may use."));
    // Room for the second line from the start, as the dialog does not grow.
    m_vbrMinimumLabel->setMinimumHeight(2 * m_vbrMinimumLabel->fontMetrics().lineSpacing());
    options->addWidget(m_vbrMinimumCaption, 3, 0, Qt::AlignTop);
    options->addWidget(m_vbrMinimumLabel, 3, 1, 1, 2, Qt::AlignTop);
    options->setColumnStretch(2, 1);

    m_maxVbrBitrateList = list(u"ComboVbrBitrate", bitrateListTexts());
    m_maxVbrBitrateLabel = named(new QLabel(tr("VBR Bitrate: (kbps)")), u"lblVbrBitrate");
    m_maxVbrBitrateFrame = named(new QGroupBox(tr("Maximum VBR Bitrate")), u"frmVbrBitrate");
    auto* maximum = new QVBoxLayout(m_maxVbrBitrateFrame);
    maximum->addWidget(m_maxVbrBitrateLabel);
    maximum->addWidget(m_maxVbrBitrateList);
    maximum->addStretch(1);

    m_strictMinimumBox = named(new QCheckBox(tr("Strictly enforce minimum bitrate")),
                               u"chStrictlyEnforceMinBitrate");
    m_vbrHeaderBox = named(new QCheckBox(tr("Write VBR Header")), u"chWriteVBRHeader");
    m_vbrAdvancedFrame = named(new QGroupBox(tr("Advanced")), u"frmVbrAdvanced");
    auto* advanced = new QVBoxLayout(m_vbrAdvancedFrame);
    advanced->addWidget(m_strictMinimumBox);
    advanced->addWidget(m_vbrHeaderBox);
    advanced->addStretch(1);

    auto* frames = new QHBoxLayout;
    frames->addWidget(m_maxVbrBitrateFrame);
    frames->addWidget(m_vbrAdvancedFrame, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(options);
    layout->addLayout(frames, 1);
}

void FormMp3::buildPresetsPage(QWidget* page)
{
    const std::array<QString, kPresetCount> captions{
        tr("Default"),        tr("Phone"),          QStringLiteral("SW"),
        QStringLiteral("AM"), QStringLiteral("FM"), tr("Voice"),
        tr("Radio"),          tr("Tape"),           QStringLiteral("HiFi"),
        QStringLiteral("CD"), tr("Studio"),         QStringLiteral("R3Mix")};
    constexpr int kRows = 4;
    m_presetButtons = new QButtonGroup(this);
    m_presetButtons->setObjectName(u"opPreset");
    auto* grid = new QGridLayout(page);
    for (int index = 0; index < kPresetCount; ++index) {
        auto* button = named(new QRadioButton(captions[static_cast<size_t>(index)]),
                             QStringLiteral("opPreset_%1").arg(index));
        m_presetButtons->addButton(button, index);
        // Phone ... R3Mix fill the columns from the top; "Default" takes the last place.
        const int place = index == 0 ? kPresetCount - 1 : index - 1;
        grid->addWidget(button, place % kRows, place / kRows);
    }
    QFont bold = m_presetButtons->button(0)->font();
    bold.setBold(true);
    m_presetButtons->button(0)->setFont(bold);
}

void FormMp3::LoadControlsFromEncoder(const Mp3Encoder& encoder)
{
    const int rate = m_frequencyList->findData(encoder.sampleRate());
    if (rate >= 0)
        m_frequencyList->setCurrentIndex(rate);
    for (int index = 0; index < m_encoderQualityList->count(); ++index) {
        if (wholeNumber(m_encoderQualityList->itemText(index), 0, 9) == encoder.quality()) {
            m_encoderQualityList->setCurrentIndex(index);
            break;
        }
    }
    m_bitrateList->setCurrentIndex(BitrateListIndex(encoder.bitrate()));
    m_maxVbrBitrateList->setCurrentIndex(BitrateListIndex(encoder.maxVbrBitrate()));
    m_vbrQualityList->setEditText(QString::number(encoder.vbrQuality()));
    m_vbrMethodList->setCurrentIndex(encoder.vbrMethod() + 1);
    m_abrBitrateList->setEditText(QString::number(encoder.abrBitrate()));
    const int mode = encoder.channels() == 1 ? kMonoPosition : encoder.channelMode();
    if (mode >= 0 && mode < m_channelModeList->count())
        m_channelModeList->setCurrentIndex(mode);
    m_vbrHeaderBox->setChecked(encoder.writeVbrHeader());
    m_strictMinimumBox->setChecked(encoder.strictMinimum());
}

void FormMp3::ApplyControlsToEncoder()
{
    // Each step stands alone: one the encoder refuses, or text that is no number, keeps that
    // property's previous value and the others are still written.
    Mp3Encoder& encoder = m_settings.Formats.mp3;
    const QVariant rate = m_frequencyList->currentData();
    if (rate.isValid())
        (void)encoder.setSampleRate(rate.toInt());
    (void)encoder.setVbrMethod(m_vbrMethodList->currentIndex() - 1);
    if (const auto kbps = int32Number(m_bitrateList->currentText()))
        (void)encoder.setBitrate(*kbps);
    if (const auto quality = int32Number(m_encoderQualityList->currentText()))
        (void)encoder.setQuality(*quality);
    if (const auto kbps = int32Number(m_maxVbrBitrateList->currentText()))
        (void)encoder.setMaxVbrBitrate(*kbps);
    if (m_channelModeList->currentIndex() == kMonoPosition) {
        (void)encoder.setChannels(1);
    } else {
        (void)encoder.setChannels(2);
        (void)encoder.setChannelMode(m_channelModeList->currentIndex());
    }
    encoder.setWriteVbrHeader(m_vbrHeaderBox->isChecked());
    encoder.setStrictMinimum(m_strictMinimumBox->isChecked());
    if (const auto kbps = int16Number(m_abrBitrateList->currentText()))
        (void)encoder.setAbrBitrate(*kbps);
    if (const auto quality = int16Number(m_vbrQualityList->currentText()))
        (void)encoder.setVbrQuality(*quality);
}

void FormMp3::cmbVBRCodingMethod_Click()
{
    const int method = m_vbrMethodList->currentIndex();
    const bool vbr = method != kNoVbrPosition;
    m_vbrQualityList->setEnabled(vbr && method != kAbrPosition);
    m_abrBitrateList->setEnabled(method == kAbrPosition);
    for (QWidget* widget : std::initializer_list<QWidget*>{
             m_maxVbrBitrateFrame, m_maxVbrBitrateLabel, m_maxVbrBitrateList, m_vbrAdvancedFrame,
             m_vbrHeaderBox, m_strictMinimumBox, m_vbrMinimumCaption, m_vbrMinimumLabel})
        widget->setEnabled(vbr);
}

void FormMp3::showVbrMinimum()
{
    // Worked out as the encoder will, from what the controls show now.
    Mp3Encoder shown;
    if (const auto kbps = int32Number(m_bitrateList->currentText()))
        (void)shown.setBitrate(*kbps);
    if (const auto kbps = int32Number(m_maxVbrBitrateList->currentText()))
        (void)shown.setMaxVbrBitrate(*kbps);
    (void)shown.setVbrMethod(m_vbrMethodList->currentIndex() - 1);
    if (const auto kbps = int16Number(m_abrBitrateList->currentText()))
        (void)shown.setAbrBitrate(*kbps);
    shown.setStrictMinimum(m_strictMinimumBox->isChecked());

    const int minimum = shown.vbrMinimumBitrate();
    QString text = minimum == shown.bitrate()
                       ? tr("%1 kbps, the bitrate on the General page").arg(minimum)
                       : tr("%1 kbps (General page: %2 kbps)").arg(minimum).arg(shown.bitrate());
    if (minimum >= shown.maxVbrBitrate())
        text += tr("\nAt the maximum: constant bitrate");
    m_vbrMinimumLabel->setText(text);
}

void FormMp3::opPreset_Click(int index)
{
    if (index >= 1 && index < kPresetCount) {
        if (m_presetEncoder.applyPreset(index))
            LoadControlsFromEncoder(m_presetEncoder);
    } else if (index == 0) {
        // The dialog's own choice, independent of the encoder's defaults.
        m_frequencyList->setCurrentIndex(m_frequencyList->findData(44100));
        m_channelModeList->setCurrentIndex(Mp3Encoder::kModeStereo);
        m_bitrateList->setCurrentIndex(BitrateListIndex(96));
        m_encoderQualityList->setCurrentIndex(5);
        m_vbrMethodList->setCurrentIndex(kNoVbrPosition);
    }
    m_pages->setCurrentIndex(0);
}

void FormMp3::CmdOK_Click()
{
    // A bitrate the chosen rate cannot carry is refused, as the OGG dialog refuses a format,
    // rather than lowered by the encoder without a word; the dialog stays open.
    ApplyControlsToEncoder();
    if (const Status fits = m_settings.Formats.mp3.checkBitrateForRate(); !fits) {
        QMessageBox message(QMessageBox::Critical, QStringLiteral("Tunevale"),
                            tr("Incorrect format"), QMessageBox::Ok, this);
        message.setInformativeText(fits.message());
        message.exec();
        return;
    }
    accept();
}

} // namespace tunevale
