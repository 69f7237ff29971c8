#include "settings/formflac.h"

#include "settings/numberchoice.h"
#include "widgets/artwork.h"
#include "widgets/named.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>

namespace tunevale {

FormFLAC::FormFLAC(QWidget* owner, const EncoderSettings& settings)
    : FormatDialog(owner, settings)
{
    setObjectName(QStringLiteral("FormFLAC"));
    setWindowTitle(tr(" FLAC Option"));
    setFont(windowFont());
    buildControls();
    load();
}

void FormFLAC::buildControls()
{
    auto* optionFrame = named(new QGroupBox(tr("Option"), this), u"frmOption");
    m_levelList = named(new QComboBox(optionFrame), u"cmbLevel");
    fillNumberChoice(m_levelList, {0, 1, 2, 3, 4, 5, 6, 7, 8});
    m_levelList->setItemText(0, tr("0 (fastest)"));
    m_levelList->setItemText(8, tr("8 (smallest)"));
    m_rateList = named(new QComboBox(optionFrame), u"cmbFrequency");
    m_rateList->setEditable(true);
    fillNumberChoice(m_rateList, {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000},
                     QStringLiteral("%1"), true);
    m_channelsList = named(new QComboBox(optionFrame), u"cmbChMode");
    fillNumberChoice(m_channelsList, {1, 2, 3, 4, 5, 6, 7, 8}, QStringLiteral("%1"), true);
    m_channelsList->setItemText(1, tr("Mono"));
    m_channelsList->setItemText(2, tr("Stereo"));
    m_depthList = named(new QComboBox(optionFrame), u"cmbBits");
    fillNumberChoice(m_depthList, {16, 24}, tr("%1 Bit"), true);
    m_verifyBox = named(new QCheckBox(tr("Verify"), optionFrame), u"chVerify");
    m_verifyBox->setToolTip(tr("Decode every frame again and compare"));

    auto* option = new QFormLayout(optionFrame);
    option->addRow(tr("Compression Level:"), m_levelList);
    option->addRow(tr("Frequency (Hz):"), m_rateList);
    option->addRow(tr("Channels:"), m_channelsList);
    option->addRow(tr("Bits Per Sample:"), m_depthList);
    option->addRow(m_verifyBox);
    layOutWithButtons(optionFrame, [this] { CmdOK_Click(); });
}

void FormFLAC::load()
{
    const FlacSettings& flac = m_settings.Formats.flac;
    showNumber(m_levelList, flac.compressionLevel);
    showNumber(m_rateList, flac.sampleRate);
    showNumber(m_channelsList, flac.channels);
    showNumber(m_depthList, flac.bitsPerSample);
    m_verifyBox->setChecked(flac.verify);
    setWindowIcon(applicationIcon());
}

void FormFLAC::CmdOK_Click()
{
    FlacSettings flac;
    flac.compressionLevel = chosenNumber(m_levelList);
    flac.sampleRate = chosenNumber(m_rateList);
    flac.channels = chosenNumber(m_channelsList);
    flac.bitsPerSample = chosenNumber(m_depthList);
    flac.verify = m_verifyBox->isChecked();
    if (!acceptedOrTold(this, flac.validate()))
        return;
    m_settings.Formats.flac = flac;
    accept();
}

} // namespace tunevale
