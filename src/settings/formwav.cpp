#include "settings/formwav.h"

#include "widgets/artwork.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tunevale {

namespace {

struct Frequency {
    const char16_t* caption;
    int hertz;
};

// The captions are shown as they stand, the second one with its trailing blank.
constexpr std::array<Frequency, 8> kFrequencies{{{u"8000", 8000},
                                                 {u"11025 ", 11025},
                                                 {u"16000", 16000},
                                                 {u"22050", 22050},
                                                 {u"24000", 24000},
                                                 {u"32000", 32000},
                                                 {u"44100", 44100},
                                                 {u"48000", 48000}}};
// "44100", selected before the stored values are loaded.
constexpr std::size_t kInitialFrequency = 6;
constexpr int kFrequencyColumns = 4;

QRadioButton* radio(const QString& caption, const QString& name, QWidget* parent)
{
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(name);
    return button;
}

} // namespace

FormWAV::FormWAV(QWidget* owner, const EncoderSettings& settings)
    : FormatDialog(owner, settings)
{
    setObjectName(QStringLiteral("FormWAV"));
    setWindowTitle(tr(" WAV Option"));
    buildControls();
    Form_Load();
}

void FormWAV::buildControls()
{
    auto* rateFrame = new QGroupBox(tr("Frequency (Hz)"), this);
    rateFrame->setObjectName(QStringLiteral("Frame1"));
    auto* frequencies = new QGridLayout(rateFrame);
    for (std::size_t i = 0; i < kFrequencies.size(); ++i) {
        m_rateButtons[i] = radio(QString::fromUtf16(kFrequencies[i].caption),
                                 QStringLiteral("F%1").arg(i + 1), rateFrame);
        frequencies->addWidget(m_rateButtons[i], int(i) / kFrequencyColumns,
                               int(i) % kFrequencyColumns);
    }
    m_rateButtons[kInitialFrequency]->setChecked(true);

    auto* channelFrame = new QGroupBox(tr("Channels Mode"), this);
    channelFrame->setObjectName(QStringLiteral("Frame2"));
    m_monoButton = radio(tr("Mono"), QStringLiteral("P1"), channelFrame);
    m_stereoButton = radio(tr("Stereo"), QStringLiteral("P2"), channelFrame);
    m_stereoButton->setChecked(true);
    auto* channels = new QVBoxLayout(channelFrame);
    channels->addWidget(m_monoButton);
    channels->addWidget(m_stereoButton);

    auto* bitsFrame = new QGroupBox(tr("Bits Per Sample"), this);
    bitsFrame->setObjectName(QStringLiteral("Frame3"));
    m_eightBitButton = radio(tr("8 Bit"), QStringLiteral("B1"), bitsFrame);
    m_sixteenBitButton = radio(tr("16 Bit"), QStringLiteral("B2"), bitsFrame);
    m_sixteenBitButton->setChecked(true);
    auto* bits = new QVBoxLayout(bitsFrame);
    bits->addWidget(m_eightBitButton);
    bits->addWidget(m_sixteenBitButton);

    auto* lower = new QHBoxLayout;
    lower->addWidget(channelFrame, 1);
    lower->addWidget(bitsFrame, 1);
    QHBoxLayout* buttons = okCancelRow([this] { CmdOK_Click(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rateFrame);
    layout->addLayout(lower);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FormWAV::Form_Load()
{
    for (std::size_t i = 0; i < kFrequencies.size(); ++i) {
        if (kFrequencies[i].hertz == m_settings.Formats.wav.sampleRate)
            m_rateButtons[i]->setChecked(true);
    }
    if (m_settings.Formats.wav.channels == 1)
        m_monoButton->setChecked(true);
    else if (m_settings.Formats.wav.channels == 2)
        m_stereoButton->setChecked(true);
    if (m_settings.Formats.wav.bitsPerSample == 8)
        m_eightBitButton->setChecked(true);
    else if (m_settings.Formats.wav.bitsPerSample == 16)
        m_sixteenBitButton->setChecked(true);
    setWindowIcon(applicationIcon());
}

void FormWAV::CmdOK_Click()
{
    for (std::size_t i = 0; i < kFrequencies.size(); ++i) {
        if (m_rateButtons[i]->isChecked())
            m_settings.Formats.wav.sampleRate = kFrequencies[i].hertz;
    }
    m_settings.Formats.wav.channels = m_monoButton->isChecked() ? 1 : 2;
    m_settings.Formats.wav.bitsPerSample = m_eightBitButton->isChecked() ? 8 : 16;
    accept();
}

} // namespace tunevale
