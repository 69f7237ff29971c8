#pragma once

#include "convert/loudness.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

namespace tunevale {

// The conversion dialog's "Loudness" group: which ReplayGain tags are written, and whether
// outputs are normalised to a target loudness under a true-peak ceiling.
class LoudnessBox final : public QGroupBox {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoudnessBox)

public:
    explicit LoudnessBox(QWidget* parent);

    void setChoice(const LoudnessOptions& options);
    LoudnessOptions choice() const;

Q_SIGNALS:
    void changed();

private:
    void enableTarget();

    QComboBox* m_replayGainList = nullptr;
    QCheckBox* m_normalizeBox = nullptr;
    QComboBox* m_targetList = nullptr; // LUFS, typed or chosen
    QDoubleSpinBox* m_truePeakSpin = nullptr;
};

} // namespace tunevale
