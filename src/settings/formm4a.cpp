#include "settings/formm4a.h"

#include "settings/numberchoice.h"
#include "widgets/artwork.h"
#include "widgets/named.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>

namespace tunevale {

FormM4A::FormM4A(QWidget* owner, const EncoderSettings& settings)
    : FormatDialog(owner, settings)
{
    setObjectName(QStringLiteral("FormM4A"));
    setWindowTitle(tr(" M4A Option"));
    setFont(windowFont());
    buildControls();
    load();
}

void FormM4A::buildControls()
{
    auto* optionFrame = named(new QGroupBox(tr("Option"), this), u"frmOption");
    m_bitrateList = named(new QComboBox(optionFrame), u"ComboBitrate");
    m_bitrateList->setEditable(true);
    fillNumberChoice(m_bitrateList, {32, 48, 64, 96, 128, 160, 192, 256, 320});
    // AAC's own rates; the encoder refuses any other.
    m_rateList = named(new QComboBox(optionFrame), u"cmbFrequency");
    fillNumberChoice(
        m_rateList,
        {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000, 88200, 96000},
        QStringLiteral("%1"), true);
    m_channelsList = named(new QComboBox(optionFrame), u"cmbChMode");
    fillNumberChoice(m_channelsList, {1, 2}, QStringLiteral("%1"), true);
    m_channelsList->setItemText(1, tr("Mono"));
    m_channelsList->setItemText(2, tr("Stereo"));

    auto* option = new QFormLayout(optionFrame);
    option->addRow(tr("Bitrate (Kbps):"), m_bitrateList);
    option->addRow(tr("Frequency (Hz):"), m_rateList);
    option->addRow(tr("Channels:"), m_channelsList);
    layOutWithButtons(optionFrame, [this] { CmdOK_Click(); });
}

void FormM4A::load()
{
    const M4aSettings& m4a = m_settings.Formats.m4a;
    showNumber(m_bitrateList, m4a.bitrate);
    showNumber(m_rateList, m4a.sampleRate);
    showNumber(m_channelsList, m4a.channels);
    setWindowIcon(applicationIcon());
}

void FormM4A::CmdOK_Click()
{
    M4aSettings m4a;
    m4a.bitrate = chosenNumber(m_bitrateList);
    m4a.sampleRate = chosenNumber(m_rateList);
    m4a.channels = chosenNumber(m_channelsList);
    if (!acceptedOrTold(this, m4a.validate()))
        return;
    m_settings.Formats.m4a = m4a;
    accept();
}

} // namespace tunevale
