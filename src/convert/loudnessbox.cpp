#include "convert/loudnessbox.h"

#include "widgets/named.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDoubleValidator>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include <array>

namespace tunevale {

namespace {

constexpr std::array kReplayGainChoices{ReplayGainMode::Off, ReplayGainMode::Track,
                                        ReplayGainMode::Album};
constexpr std::array kTargets{-23, -18, -16, -14};
// The range a typed target or ceiling may take, as on the command line.
constexpr double kLowestLevel = -70;

QString levelText(double value)
{
    return QLocale().toString(value, 'f', value == int(value) ? 0 : 1);
}

} // namespace

LoudnessBox::LoudnessBox(QWidget* parent)
    : QGroupBox(tr("Loudness"), parent)
{
    setObjectName(QStringLiteral("FrameLoudness"));
    m_replayGainList = named(new QComboBox(this), u"ComboReplayGain");
    m_replayGainList->addItems({tr("Off"), tr("Track gain"), tr("Track and album gains")});
    auto* replayGainLabel = named(new QLabel(tr("&ReplayGain tags:"), this), u"LabelReplayGain");
    replayGainLabel->setBuddy(m_replayGainList);

    m_normalizeBox = named(new QCheckBox(tr("&Normalise to"), this), u"CheckNormalize");
    m_normalizeBox->setToolTip(tr("Brings each output to the target loudness; each source is "
                                  "decoded twice."));
    m_targetList = named(new QComboBox(this), u"ComboTarget");
    m_targetList->setEditable(true);
    for (const int target : kTargets)
        m_targetList->addItem(levelText(target));
    m_targetList->setValidator(new QDoubleValidator(kLowestLevel, 0, 1, m_targetList));
    m_targetList->setAccessibleName(tr("Target loudness in LUFS"));
    // Screen readers meet the typing field as a control of its own.
    m_targetList->lineEdit()->setAccessibleName(m_targetList->accessibleName());
    m_targetList->setMinimumContentsLength(5); // a typed "-16.5" shows whole
    m_targetList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto* unitLabel = named(new QLabel(tr("LUFS, true peak at most"), this), u"LabelTarget");
    m_truePeakSpin = named(new QDoubleSpinBox(this), u"SpinTruePeak");
    m_truePeakSpin->setRange(kLowestLevel, 0);
    m_truePeakSpin->setDecimals(1);
    m_truePeakSpin->setSingleStep(0.5);
    m_truePeakSpin->setSuffix(QStringLiteral(" dBTP"));
    m_truePeakSpin->setAccessibleName(tr("True-peak ceiling in dBTP"));
    unitLabel->setBuddy(m_truePeakSpin);

    // One row, so the log keeps its room.
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(replayGainLabel);
    layout->addWidget(m_replayGainList);
    layout->addSpacing(layout->spacing() * 3);
    layout->addWidget(m_normalizeBox);
    layout->addWidget(m_targetList);
    layout->addWidget(unitLabel);
    layout->addWidget(m_truePeakSpin);
    layout->addStretch(1);

    setChoice({});
    connect(m_replayGainList, &QComboBox::currentIndexChanged, this, &LoudnessBox::changed);
    connect(m_normalizeBox, &QCheckBox::toggled, this, [this] {
        enableTarget();
        Q_EMIT changed();
    });
    connect(m_targetList, &QComboBox::currentTextChanged, this, &LoudnessBox::changed);
    connect(m_truePeakSpin, &QDoubleSpinBox::valueChanged, this, &LoudnessBox::changed);
}

void LoudnessBox::setChoice(const LoudnessOptions& options)
{
    const QSignalBlocker blockMode(m_replayGainList);
    const QSignalBlocker blockNormalize(m_normalizeBox);
    const QSignalBlocker blockTarget(m_targetList);
    const QSignalBlocker blockPeak(m_truePeakSpin);
    const auto* mode =
        std::find(kReplayGainChoices.begin(), kReplayGainChoices.end(), options.replayGain);
    m_replayGainList->setCurrentIndex(
        mode == kReplayGainChoices.end() ? 0 : int(mode - kReplayGainChoices.begin()));
    m_normalizeBox->setChecked(options.normalizeLufs.has_value());
    m_targetList->setCurrentText(levelText(options.normalizeLufs.value_or(kReferenceLufs)));
    m_truePeakSpin->setValue(options.truePeakDb);
    enableTarget();
}

LoudnessOptions LoudnessBox::choice() const
{
    LoudnessOptions options;
    options.replayGain =
        kReplayGainChoices.at(size_t(std::max(0, m_replayGainList->currentIndex())));
    bool ok = false;
    double target = QLocale().toDouble(m_targetList->currentText(), &ok);
    if (!ok)
        target = m_targetList->currentText().toDouble(&ok);
    if (m_normalizeBox->isChecked())
        options.normalizeLufs =
            ok && target <= 0 && target >= kLowestLevel ? target : kReferenceLufs;
    options.truePeakDb = m_truePeakSpin->value();
    return options;
}

void LoudnessBox::enableTarget()
{
    m_targetList->setEnabled(m_normalizeBox->isChecked());
    m_truePeakSpin->setEnabled(m_normalizeBox->isChecked());
}

} // namespace tunevale
