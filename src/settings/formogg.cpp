#include "settings/formogg.h"

#include "settings/bitratelist.h"
#include "widgets/artwork.h"
#include "widgets/named.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <initializer_list>

namespace tunevale {

namespace {

// Frequencies below this list position are always encoded as stereo.
constexpr int kFirstFreeChannelFrequency = 3;
constexpr int kMonoPosition = 0;
constexpr int kStereoPosition = 1;
constexpr int kQualityLevels = 10;
// Quality mode still hands the writer a nominal bitrate, without bounds.
constexpr int kQualityModeBitrate = 128;
constexpr int kNoQuality = -1;

using Controls = std::initializer_list<QWidget*>;

// Selecting from code runs the list's handler as a user's choice does, also when the
// selection does not change (Qt only signals a change).
template <typename Handler> void selectRaising(QComboBox* box, int position, Handler handler)
{
    if (box->currentIndex() == position)
        handler();
    else
        box->setCurrentIndex(position);
}

template <typename Handler> void checkRaising(QCheckBox* box, bool checked, Handler handler)
{
    if (box->isChecked() == checked)
        handler();
    else
        box->setChecked(checked);
}

} // namespace

FormOGG::FormOGG(QWidget* owner, const EncoderSettings& settings)
    : FormatDialog(owner, settings)
{
    setObjectName(QStringLiteral("FormOGG"));
    setWindowTitle(QStringLiteral(" OGG Option"));
    setFont(windowFont());
    buildControls();

    connect(cmbFrequency, &QComboBox::currentIndexChanged, this, &FormOGG::cmbFrequency_Click);
    connect(ComboBitrate, &QComboBox::currentIndexChanged, this, &FormOGG::ComboBitrate_Click);
    connect(ComboMinBitrate, &QComboBox::currentIndexChanged, this,
            &FormOGG::ComboMinBitrate_Click);
    connect(ComboMaxBitrate, &QComboBox::currentIndexChanged, this,
            &FormOGG::ComboMaxBitrate_Click);
    connect(ComboQuality, &QComboBox::currentIndexChanged, this, &FormOGG::ComboQuality_Click);
    connect(chQuality, &QCheckBox::toggled, this, &FormOGG::chQuality_Click);
    connect(chVbr, &QCheckBox::toggled, this, &FormOGG::chVbr_Click);
    connect(CmdOK, &QPushButton::clicked, this, &FormOGG::CmdOK_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &FormOGG::reject);
    Form_Load();
}

void FormOGG::buildControls()
{
    frmOption = named(new QGroupBox(QStringLiteral("Option"), this), u"frmOption");
    chQuality = named(new QCheckBox(QStringLiteral("Quality Enabled"), frmOption), u"chQuality");
    chVbr = named(new QCheckBox(QStringLiteral("VBR Enabled"), frmOption), u"chVbr");
    lblBitrate = named(new QLabel(QStringLiteral("Bitrate (Kbps):"), frmOption), u"lblBitrate");
    ComboBitrate = named(new QComboBox(frmOption), u"ComboBitrate");
    auto* option = new QGridLayout(frmOption);
    option->addWidget(chQuality, 0, 0, 1, 2);
    option->addWidget(chVbr, 1, 0, 1, 2);
    option->addWidget(lblBitrate, 2, 0);
    option->addWidget(ComboBitrate, 2, 1);

    frmVbr = named(new QGroupBox(QStringLiteral("VBR"), this), u"frmVbr");
    lblMinBitrate =
        named(new QLabel(QStringLiteral("Min Bitrate (Kbps):"), frmVbr), u"lblMinBitrate");
    ComboMinBitrate = named(new QComboBox(frmVbr), u"ComboMinBitrate");
    lblMaxBitrate =
        named(new QLabel(QStringLiteral("Max Bitrate (Kbps):"), frmVbr), u"lblMaxBitrate");
    ComboMaxBitrate = named(new QComboBox(frmVbr), u"ComboMaxBitrate");
    auto* vbr = new QGridLayout(frmVbr);
    vbr->addWidget(lblMinBitrate, 0, 0);
    vbr->addWidget(ComboMinBitrate, 0, 1);
    vbr->addWidget(lblMaxBitrate, 1, 0);
    vbr->addWidget(ComboMaxBitrate, 1, 1);

    frmQuality = named(new QGroupBox(QStringLiteral("Quality"), this), u"frmQuality");
    Label1 = named(new QLabel(QStringLiteral("Quality (Compression):"), frmQuality), u"Label1");
    ComboQuality = named(new QComboBox(frmQuality), u"ComboQuality");
    auto* quality = new QGridLayout(frmQuality);
    quality->addWidget(Label1, 0, 0);
    quality->addWidget(ComboQuality, 0, 1);
    quality->setRowStretch(1, 1);

    frmFrequency =
        named(new QGroupBox(QStringLiteral("Sampling Frequency"), this), u"frmFrequency");
    cmbFrequency = named(new QComboBox(frmFrequency), u"cmbFrequency");
    (new QVBoxLayout(frmFrequency))->addWidget(cmbFrequency);

    frmChMode = named(new QGroupBox(QStringLiteral("Channels Mode"), this), u"frmChMode");
    cmbChMode = named(new QComboBox(frmChMode), u"cmbChMode");
    (new QVBoxLayout(frmChMode))->addWidget(cmbChMode);

    for (QComboBox* list : {ComboBitrate, ComboMinBitrate, ComboMaxBitrate})
        list->addItems(bitrateListTexts());
    for (int level = 1; level <= kQualityLevels; ++level)
        ComboQuality->addItem(QString::number(level));
    for (int hertz : kOggSampleRates)
        cmbFrequency->addItem(EncoderSettings::oggFrequencyCaption(hertz), hertz);
    cmbChMode->addItems({QStringLiteral("Mono"), QStringLiteral("Stereo")});
    // The lists start without a selection; loading picks each one.
    for (QComboBox* list :
         {ComboBitrate, ComboMinBitrate, ComboMaxBitrate, ComboQuality, cmbFrequency, cmbChMode})
        list->setCurrentIndex(-1);

    CmdOK = named(new QPushButton(QStringLiteral("OK"), this), u"CmdOK");
    CmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), u"CmdCancel");
    CmdOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCancel);

    auto* layout = new QGridLayout(this);
    layout->addWidget(frmOption, 0, 0);
    auto* output = new QVBoxLayout;
    output->addWidget(frmFrequency);
    output->addWidget(frmChMode);
    layout->addLayout(output, 0, 1);
    layout->addWidget(frmVbr, 1, 0);
    layout->addWidget(frmQuality, 1, 1);
    layout->addLayout(buttons, 2, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FormOGG::Form_Load()
{
    int frequency = -1;
    for (int position = 0; position < cmbFrequency->count(); ++position) {
        if (cmbFrequency->itemText(position) == m_settings.OggFrequencyText) {
            frequency = position;
            break;
        }
    }
    selectRaising(cmbFrequency, frequency, [this] { cmbFrequency_Click(); });
    cmbChMode->setCurrentIndex(cmbChMode->itemText(kMonoPosition) == m_settings.OggChannelText
                                   ? kMonoPosition
                                   : kStereoPosition);

    m_bitrate = m_settings.OggBitrate;
    m_minBitrate = m_settings.OggMinBitrate;
    m_maxBitrate = m_settings.OggMaxBitrate;
    m_vbrEnabled = m_settings.OggVbrEnabled;
    m_quality = m_settings.OggQuality;
    m_qualityEnabled = m_settings.OggQualityEnabled;

    selectRaising(ComboBitrate, BitrateListIndex(m_bitrate), [this] { ComboBitrate_Click(); });
    selectRaising(ComboMinBitrate, BitrateListIndex(m_minBitrate),
                  [this] { ComboMinBitrate_Click(); });
    selectRaising(ComboMaxBitrate, BitrateListIndex(m_maxBitrate),
                  [this] { ComboMaxBitrate_Click(); });
    checkRaising(chVbr, m_vbrEnabled, [this] { chVbr_Click(); });
    checkRaising(chQuality, m_qualityEnabled, [this] { chQuality_Click(); });

    // Rounded half to even, as the stored value is not always a whole level.
    const long level = std::lrint(double(m_quality) / 100.0);
    for (int position = 0; position < ComboQuality->count(); ++position) {
        if (ComboQuality->itemText(position).toLong() == level)
            selectRaising(ComboQuality, position, [this] { ComboQuality_Click(); });
    }

    setWindowIcon(applicationIcon());
}

void FormOGG::cmbFrequency_Click()
{
    const int position = cmbFrequency->currentIndex();
    const bool alwaysStereo = position < kFirstFreeChannelFrequency;
    if (alwaysStereo)
        cmbChMode->setCurrentIndex(kStereoPosition);
    cmbChMode->setEnabled(!alwaysStereo);
}

void FormOGG::ComboBitrate_Click()
{
    m_bitrate = ComboBitrate->currentText().toInt();
}

void FormOGG::ComboMinBitrate_Click()
{
    m_minBitrate = ComboMinBitrate->currentText().toInt();
}

void FormOGG::ComboMaxBitrate_Click()
{
    m_maxBitrate = ComboMaxBitrate->currentText().toInt();
}

void FormOGG::ComboQuality_Click()
{
    m_quality = ComboQuality->currentText().toInt() * 100;
}

void FormOGG::chQuality_Click()
{
    const bool quality = chQuality->isChecked();
    for (QWidget* control : Controls{chVbr, lblBitrate, ComboBitrate})
        control->setEnabled(!quality);
    if (quality) {
        for (QWidget* control :
             Controls{frmVbr, ComboMinBitrate, ComboMaxBitrate, lblMinBitrate, lblMaxBitrate})
            control->setEnabled(false);
    }
    frmQuality->setEnabled(quality);
    ComboQuality->setEnabled(quality);
    // Back from quality mode, the VBR controls follow their own tick again.
    if (!quality)
        chVbr_Click();
    m_qualityEnabled = quality;
}

void FormOGG::chVbr_Click()
{
    const bool vbr = chVbr->isChecked();
    for (QWidget* control :
         Controls{frmVbr, ComboMinBitrate, ComboMaxBitrate, lblMinBitrate, lblMaxBitrate})
        control->setEnabled(vbr);
    m_vbrEnabled = vbr;
}

void FormOGG::CmdOK_Click()
{
    if (ValidateAndApplyOgg())
        accept();
}

bool FormOGG::ValidateAndApplyOgg()
{
    // Without a selected frequency the writer gets 0 and decides for itself.
    const int sampleRate = cmbFrequency->currentData().toInt();
    const int channels = cmbChMode->currentIndex() + 1;

    int bitrate = m_bitrate;
    int minBitrate = 0;
    int maxBitrate = 0;
    int quality = kNoQuality;
    if (m_qualityEnabled) {
        bitrate = kQualityModeBitrate;
        quality = m_quality;
    } else if (m_vbrEnabled) {
        minBitrate = m_minBitrate;
        maxBitrate = m_maxBitrate;
    }
    // The dialog's own writer judges the format at the rate and channels it will really write, and
    // a refusal keeps the dialog open.
    if (!m_writer.setOggFormat(sampleRate, channels, bitrate, minBitrate, maxBitrate, quality)) {
        QMessageBox message(QMessageBox::Critical, QStringLiteral("Tunevale"),
                            QStringLiteral("Incorrect format"), QMessageBox::Ok, this);
        message.exec();
        return false;
    }

    m_settings.OggFrequencyText = cmbFrequency->currentText();
    m_settings.OggChannelText = cmbChMode->currentText();
    m_settings.OggBitrate = m_bitrate;
    m_settings.OggMinBitrate = m_minBitrate;
    m_settings.OggMaxBitrate = m_maxBitrate;
    m_settings.OggQuality = m_quality;
    m_settings.OggVbrEnabled = chVbr->isChecked();
    m_settings.OggQualityEnabled = chQuality->isChecked();
    return true;
}

} // namespace tunevale
