#include "settings/formopus.h"

#include "settings/numberchoice.h"
#include "widgets/artwork.h"
#include "widgets/named.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>

namespace tunevale {

FormOpus::FormOpus(QWidget* owner, const EncoderSettings& settings)
    : FormatDialog(owner, settings)
{
    setObjectName(QStringLiteral("FormOpus"));
    setWindowTitle(tr(" Opus Option"));
    setFont(windowFont());
    buildControls();
    load();
}

void FormOpus::buildControls()
{
    auto* optionFrame = named(new QGroupBox(tr("Option"), this), u"frmOption");
    m_bitrateList = named(new QComboBox(optionFrame), u"ComboBitrate");
    m_bitrateList->setEditable(true);
    fillNumberChoice(m_bitrateList, {6, 12, 16, 24, 32, 48, 64, 96, 128, 160, 192, 256, 320, 510});
    // Item data are the settings' own enumerators, in their order.
    m_modeList = named(new QComboBox(optionFrame), u"cmbMode");
    m_modeList->addItem(QStringLiteral("VBR"), int(OpusRateControl::Vbr));
    m_modeList->addItem(tr("Constrained VBR"), int(OpusRateControl::ConstrainedVbr));
    m_modeList->addItem(QStringLiteral("CBR"), int(OpusRateControl::Cbr));
    m_complexityList = named(new QComboBox(optionFrame), u"cmbComplexity");
    fillNumberChoice(m_complexityList, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    m_complexityList->setItemText(0, tr("0 (fastest)"));
    m_complexityList->setItemText(10, tr("10 (best)"));
    m_tuningList = named(new QComboBox(optionFrame), u"cmbTuning");
    m_tuningList->addItem(tr("Auto"), int(OpusTuning::Auto));
    m_tuningList->addItem(tr("Music"), int(OpusTuning::Music));
    m_tuningList->addItem(tr("Speech"), int(OpusTuning::Speech));
    m_channelsList = named(new QComboBox(optionFrame), u"cmbChMode");
    fillNumberChoice(m_channelsList, {1, 2}, QStringLiteral("%1"), true);
    m_channelsList->setItemText(1, tr("Mono"));
    m_channelsList->setItemText(2, tr("Stereo"));

    auto* option = new QFormLayout(optionFrame);
    option->addRow(tr("Bitrate (Kbps):"), m_bitrateList);
    option->addRow(tr("Mode:"), m_modeList);
    option->addRow(tr("Complexity:"), m_complexityList);
    option->addRow(tr("Tuning:"), m_tuningList);
    option->addRow(tr("Channels:"), m_channelsList);
    layOutWithButtons(optionFrame, [this] { CmdOK_Click(); });
}

void FormOpus::load()
{
    const OpusSettings& opus = m_settings.Formats.opus;
    showNumber(m_bitrateList, opus.bitrate);
    showNumber(m_modeList, int(opus.rateControl));
    showNumber(m_complexityList, opus.complexity);
    showNumber(m_tuningList, int(opus.tuning));
    showNumber(m_channelsList, opus.channels);
    setWindowIcon(applicationIcon());
}

void FormOpus::CmdOK_Click()
{
    OpusSettings opus;
    opus.bitrate = chosenNumber(m_bitrateList);
    opus.rateControl = OpusRateControl(m_modeList->currentData().toInt());
    opus.complexity = chosenNumber(m_complexityList);
    opus.tuning = OpusTuning(m_tuningList->currentData().toInt());
    opus.channels = chosenNumber(m_channelsList);
    if (!acceptedOrTold(this, opus.validate()))
        return;
    m_settings.Formats.opus = opus;
    accept();
}

} // namespace tunevale
