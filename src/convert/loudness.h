#pragma once

#include "common/audio/status.h"

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tunevale {

// Which ReplayGain tags a conversion writes: none (a source's are carried as they are), the
// track gain, or the track and album gains.
enum class ReplayGainMode { Off, Track, Album };

// ReplayGain 2.0's reference loudness, the normalising target a choice starts from.
constexpr double kReferenceLufs = -18.0;

// A conversion's loudness choices.
struct LoudnessOptions {
    ReplayGainMode replayGain = ReplayGainMode::Off;
    std::optional<double> normalizeLufs; // the loudness outputs are brought to; none: as is
    double truePeakDb = -1.0;            // the ceiling normalising keeps the true peak under

    friend bool operator==(const LoudnessOptions&, const LoudnessOptions&) = default;
};

// What one source (or one album) measured: integrated loudness in LUFS and true peak as a
// linear ratio to full scale. silent is set when nothing rose above the gate, in which case
// the loudness means nothing and no gain should be written.
struct Loudness {
    double lufs = 0;
    double peak = 0;
    bool silent = true;
};

// Measures integrated loudness and true peak of interleaved 16-bit samples.
// Not copyable; one meter measures one stream at a time.
class LoudnessMeter {
public:
    LoudnessMeter();
    ~LoudnessMeter();
    LoudnessMeter(LoudnessMeter&&) noexcept;
    LoudnessMeter& operator=(LoudnessMeter&&) noexcept;
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Starts a measurement afresh; a failure leaves the meter unstarted.
    Status start(int sampleRate, int channels);
    bool isStarted() const { return m_state != nullptr; }
    // Adds whole frames of interleaved samples (a partial frame at the end is ignored).
    Status add(std::span<const qint16> samples);
    // The measurement so far.
    Loudness result() const;
    // The loudness of several measurements taken as one stream (an album, or one file's
    // segments), the peak their highest. Unstarted meters are left out.
    static Loudness combined(std::span<const LoudnessMeter* const> meters);

private:
    // Kept behind a pointer so that moving a meter stays cheap.
    struct State;
    std::unique_ptr<State> m_state;
    int m_channels = 0;
};

// The gain that brings a source measured as loudness to targetLufs, lowered so that its true
// peak stays at or under ceilingDb. limited tells that it was lowered; silence gets 0 dB.
struct NormalizeGain {
    double gainDb = 0;
    bool limited = false;
};
NormalizeGain normalizeGain(const Loudness& loudness, double targetLufs, double ceilingDb);

// samples, the source's bits at the top of 32, cut to the 16 bits the loudness meter takes
// (ample for a loudness figure); narrowed replaced.
void narrowForMeter(std::span<const qint32> samples, std::vector<qint16>& narrowed);

// Multiplies interleaved samples by a linear gain, rounding and saturating at full scale.
void applyGain(std::vector<qint16>& samples, double gain);

// Decodes the audio file at path and measures it whole.
Status measureFileLoudness(const QString& path, Loudness& loudness);

} // namespace tunevale
