#include "settings/formogg.h"

#include "common/codecs/vorbisencoder.h"
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
    setWindowTitle(tr(" OGG Option"));
    setFont(windowFont());
    buildControls();

    connect(m_frequencyList, &QComboBox::currentIndexChanged, this, &FormOGG::cmbFrequency_Click);
    connect(m_bitrateList, &QComboBox::currentIndexChanged, this, &FormOGG::ComboBitrate_Click);
    connect(m_minBitrateList, &QComboBox::currentIndexChanged, this,
            &FormOGG::ComboMinBitrate_Click);
    connect(m_maxBitrateList, &QComboBox::currentIndexChanged, this,
            &FormOGG::ComboMaxBitrate_Click);
    connect(m_qualityList, &QComboBox::currentIndexChanged, this, &FormOGG::ComboQuality_Click);
    connect(m_qualityModeBox, &QCheckBox::toggled, this, &FormOGG::chQuality_Click);
    connect(m_vbrBox, &QCheckBox::toggled, this, &FormOGG::chVbr_Click);
    Form_Load();
}

void FormOGG::buildControls()
{
    auto* optionFrame = named(new QGroupBox(tr("Option"), this), u"frmOption");
    m_qualityModeBox = named(new QCheckBox(tr("Quality Enabled"), optionFrame), u"chQuality");
    m_vbrBox = named(new QCheckBox(tr("VBR Enabled"), optionFrame), u"chVbr");
    m_bitrateLabel = named(new QLabel(tr("Bitrate (Kbps):"), optionFrame), u"lblBitrate");
    m_bitrateList = named(new QComboBox(optionFrame), u"ComboBitrate");
    auto* option = new QGridLayout(optionFrame);
    option->addWidget(m_qualityModeBox, 0, 0, 1, 2);
    option->addWidget(m_vbrBox, 1, 0, 1, 2);
    option->addWidget(m_bitrateLabel, 2, 0);
    option->addWidget(m_bitrateList, 2, 1);

    m_vbrFrame = named(new QGroupBox(QStringLiteral("VBR"), this), u"frmVbr");
    m_minBitrateLabel = named(new QLabel(tr("Min Bitrate (Kbps):"), m_vbrFrame), u"lblMinBitrate");
    m_minBitrateList = named(new QComboBox(m_vbrFrame), u"ComboMinBitrate");
    m_maxBitrateLabel = named(new QLabel(tr("Max Bitrate (Kbps):"), m_vbrFrame), u"lblMaxBitrate");
    m_maxBitrateList = named(new QComboBox(m_vbrFrame), u"ComboMaxBitrate");
    auto* vbr = new QGridLayout(m_vbrFrame);
    vbr->addWidget(m_minBitrateLabel, 0, 0);
    vbr->addWidget(m_minBitrateList, 0, 1);
    vbr->addWidget(m_maxBitrateLabel, 1, 0);
    vbr->addWidget(m_maxBitrateList, 1, 1);

    m_qualityFrame = named(new QGroupBox(tr("Quality"), this), u"frmQuality");
    m_qualityLabel = named(new QLabel(tr("Quality (Compression):"), m_qualityFrame), u"Label1");
    m_qualityList = named(new QComboBox(m_qualityFrame), u"ComboQuality");
    auto* quality = new QGridLayout(m_qualityFrame);
    quality->addWidget(m_qualityLabel, 0, 0);
    quality->addWidget(m_qualityList, 0, 1);
    quality->setRowStretch(1, 1);

    auto* frequencyFrame = named(new QGroupBox(tr("Sampling Frequency"), this), u"frmFrequency");
    m_frequencyList = named(new QComboBox(frequencyFrame), u"cmbFrequency");
    (new QVBoxLayout(frequencyFrame))->addWidget(m_frequencyList);

    auto* channelsFrame = named(new QGroupBox(tr("Channels Mode"), this), u"frmChMode");
    m_channelsList = named(new QComboBox(channelsFrame), u"cmbChMode");
    (new QVBoxLayout(channelsFrame))->addWidget(m_channelsList);

    for (QComboBox* list : {m_bitrateList, m_minBitrateList, m_maxBitrateList})
        list->addItems(bitrateListTexts());
    for (int level = 1; level <= kQualityLevels; ++level)
        m_qualityList->addItem(QString::number(level));
    for (int hertz : kOggSampleRates)
        m_frequencyList->addItem(oggFrequencyCaption(hertz), hertz);
    m_channelsList->addItems({tr("Mono"), tr("Stereo")});
    // The lists start without a selection; loading picks each one.
    for (QComboBox* list : {m_bitrateList, m_minBitrateList, m_maxBitrateList, m_qualityList,
                            m_frequencyList, m_channelsList})
        list->setCurrentIndex(-1);

    QHBoxLayout* buttons = okCancelRow([this] { CmdOK_Click(); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(optionFrame, 0, 0);
    auto* output = new QVBoxLayout;
    output->addWidget(frequencyFrame);
    output->addWidget(channelsFrame);
    layout->addLayout(output, 0, 1);
    layout->addWidget(m_vbrFrame, 1, 0);
    layout->addWidget(m_qualityFrame, 1, 1);
    layout->addLayout(buttons, 2, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FormOGG::Form_Load()
{
    const OggFormat& ogg = m_settings.Formats.ogg;
    selectRaising(m_frequencyList, m_frequencyList->findData(ogg.sampleRate),
                  [this] { cmbFrequency_Click(); });
    m_channelsList->setCurrentIndex(ogg.channels == 1 ? kMonoPosition : kStereoPosition);

    m_bitrate = ogg.bitrate;
    m_minBitrate = ogg.minBitrate;
    m_maxBitrate = ogg.maxBitrate;
    m_vbrEnabled = ogg.managed;
    m_quality = ogg.quality;
    m_qualityEnabled = ogg.qualityMode;

    selectRaising(m_bitrateList, BitrateListIndex(m_bitrate), [this] { ComboBitrate_Click(); });
    selectRaising(m_minBitrateList, BitrateListIndex(m_minBitrate),
                  [this] { ComboMinBitrate_Click(); });
    selectRaising(m_maxBitrateList, BitrateListIndex(m_maxBitrate),
                  [this] { ComboMaxBitrate_Click(); });
    checkRaising(m_vbrBox, m_vbrEnabled, [this] { chVbr_Click(); });
    checkRaising(m_qualityModeBox, m_qualityEnabled, [this] { chQuality_Click(); });

    // Rounded half to even, as the stored value is not always a whole level.
    const long level = std::lrint(double(m_quality) / 100.0);
    for (int position = 0; position < m_qualityList->count(); ++position) {
        if (m_qualityList->itemText(position).toLong() == level)
            selectRaising(m_qualityList, position, [this] { ComboQuality_Click(); });
    }

    setWindowIcon(applicationIcon());
}

void FormOGG::cmbFrequency_Click()
{
    const int position = m_frequencyList->currentIndex();
    const bool alwaysStereo = position < kFirstFreeChannelFrequency;
    if (alwaysStereo)
        m_channelsList->setCurrentIndex(kStereoPosition);
    m_channelsList->setEnabled(!alwaysStereo);
}

void FormOGG::ComboBitrate_Click()
{
    m_bitrate = m_bitrateList->currentText().toInt();
}

void FormOGG::ComboMinBitrate_Click()
{
    m_minBitrate = m_minBitrateList->currentText().toInt();
}

void FormOGG::ComboMaxBitrate_Click()
{
    m_maxBitrate = m_maxBitrateList->currentText().toInt();
}

void FormOGG::ComboQuality_Click()
{
    m_quality = m_qualityList->currentText().toInt() * 100;
}

void FormOGG::chQuality_Click()
{
    const bool quality = m_qualityModeBox->isChecked();
    for (QWidget* control : Controls{m_vbrBox, m_bitrateLabel, m_bitrateList})
        control->setEnabled(!quality);
    if (quality) {
        for (QWidget* control : Controls{m_vbrFrame, m_minBitrateList, m_maxBitrateList,
                                         m_minBitrateLabel, m_maxBitrateLabel})
            control->setEnabled(false);
    }
    m_qualityFrame->setEnabled(quality);
    m_qualityList->setEnabled(quality);
    // Back from quality mode, the VBR controls follow their own tick again.
    if (!quality)
        chVbr_Click();
    m_qualityEnabled = quality;
}

void FormOGG::chVbr_Click()
{
    const bool vbr = m_vbrBox->isChecked();
    for (QWidget* control : Controls{m_vbrFrame, m_minBitrateList, m_maxBitrateList,
                                     m_minBitrateLabel, m_maxBitrateLabel})
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
    OggFormat ogg;
    // Without a selected frequency the rate is 0, which no format takes.
    ogg.sampleRate = m_frequencyList->currentData().toInt();
    ogg.channels = m_channelsList->currentIndex() + 1;
    ogg.bitrate = m_bitrate;
    ogg.minBitrate = m_minBitrate;
    ogg.maxBitrate = m_maxBitrate;
    ogg.quality = m_quality;
    ogg.managed = m_vbrEnabled;
    ogg.qualityMode = m_qualityEnabled;
    // The format is judged at the rate and channels it will really be written with, and a
    // refusal keeps the dialog open.
    if (!VorbisEncoder::validate(ogg)) {
        QMessageBox message(QMessageBox::Critical, QStringLiteral("Tunevale"),
                            tr("Incorrect format"), QMessageBox::Ok, this);
        message.exec();
        return false;
    }
    m_settings.Formats.ogg = ogg;
    return true;
}

} // namespace tunevale
