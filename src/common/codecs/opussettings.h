#pragma once

#include "common/audio/pcmformat.h"
#include "common/audio/status.h"

#include <QString>

namespace tunevale {

enum class OpusRateControl {
    Vbr,            // the bitrate is an average
    ConstrainedVbr, // varies within what a buffer at the bitrate allows
    Cbr,            // every packet the same size
};

// What the encoder tunes its analysis for; Auto lets it tell speech from music itself.
enum class OpusTuning { Auto, Music, Speech };

// Ogg Opus output. The input keeps the source's sample rate: Opus resamples to 48 kHz inside.
struct OpusSettings {
    int bitrate = 128; // kbit/s for all channels together, 6 to 510
    OpusRateControl rateControl = OpusRateControl::Vbr;
    int complexity = 10; // 0 (fastest) to 10 (best)
    OpusTuning tuning = OpusTuning::Auto;
    int channels = 0; // 1 or 2; 0 follows the source (more than two become stereo)

    // Success, or what is out of range, as a user reads it.
    Status validate() const;
    // One line such as "Opus 128 kbit/s VBR; complexity 10; source channels".
    QString describe() const;
    // These settings with the channel count taken from source when it follows the source.
    OpusSettings resolvedFor(const SourceFormat& source) const;

    friend bool operator==(const OpusSettings&, const OpusSettings&) = default;
};

} // namespace tunevale
