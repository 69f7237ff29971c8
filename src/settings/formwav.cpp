#include "settings/formwav.h"

#include "common/audio/audiofile.h"
#include "settings/encodersettings.h"
#include "widgets/artwork.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
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

FormWAV::FormWAV(QWidget* owner, AudioFile& writer, EncoderSettings& settings)
    : QDialog(owner)
    , m_writer(writer)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("FormWAV"));
    setWindowTitle(QStringLiteral(" WAV Option"));
    buildControls();
    connect(CmdOK, &QPushButton::clicked, this, &FormWAV::CmdOK_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &FormWAV::reject);
    Form_Load();
}

void FormWAV::buildControls()
{
    Frame1 = new QGroupBox(QStringLiteral("Frequency (Hz)"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* frequencies = new QGridLayout(Frame1);
    for (std::size_t i = 0; i < kFrequencies.size(); ++i) {
        m_frequencies[i] = radio(QString::fromUtf16(kFrequencies[i].caption),
                                 QStringLiteral("F%1").arg(i + 1), Frame1);
        frequencies->addWidget(m_frequencies[i], int(i) / kFrequencyColumns,
                               int(i) % kFrequencyColumns);
    }
    m_frequencies[kInitialFrequency]->setChecked(true);

    Frame2 = new QGroupBox(QStringLiteral("Channels Mode"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    P1 = radio(QStringLiteral("Mono"), QStringLiteral("P1"), Frame2);
    P2 = radio(QStringLiteral("Stereo"), QStringLiteral("P2"), Frame2);
    P2->setChecked(true);
    auto* channels = new QVBoxLayout(Frame2);
    channels->addWidget(P1);
    channels->addWidget(P2);

    Frame3 = new QGroupBox(QStringLiteral("Bits Per Sample"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    B1 = radio(QStringLiteral("8 Bit"), QStringLiteral("B1"), Frame3);
    B2 = radio(QStringLiteral("16 Bit"), QStringLiteral("B2"), Frame3);
    B2->setChecked(true);
    auto* bits = new QVBoxLayout(Frame3);
    bits->addWidget(B1);
    bits->addWidget(B2);

    CmdOK = new QPushButton(QStringLiteral("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);
    CmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));

    auto* lower = new QHBoxLayout;
    lower->addWidget(Frame2, 1);
    lower->addWidget(Frame3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addLayout(lower);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FormWAV::Form_Load()
{
    for (std::size_t i = 0; i < kFrequencies.size(); ++i) {
        if (kFrequencies[i].hertz == m_settings.WavSampleRate)
            m_frequencies[i]->setChecked(true);
    }
    if (m_settings.WavChannels == 1)
        P1->setChecked(true);
    else if (m_settings.WavChannels == 2)
        P2->setChecked(true);
    if (m_settings.WavBitsPerSample == 8)
        B1->setChecked(true);
    else if (m_settings.WavBitsPerSample == 16)
        B2->setChecked(true);
    setWindowIcon(applicationIcon());
}

void FormWAV::CmdOK_Click()
{
    for (std::size_t i = 0; i < kFrequencies.size(); ++i) {
        if (m_frequencies[i]->isChecked())
            m_settings.WavSampleRate = kFrequencies[i].hertz;
    }
    m_settings.WavChannels = P1->isChecked() ? 1 : 2;
    m_settings.WavBitsPerSample = B1->isChecked() ? 8 : 16;
    (void)m_writer.setWavFormat(m_settings.WavSampleRate, m_settings.WavChannels,
                                m_settings.WavBitsPerSample);
    accept();
}

} // namespace tunevale
