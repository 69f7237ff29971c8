#pragma once

#include "common/audio/pcmformat.h"
#include "common/audio/status.h"

#include <QString>

namespace tunevale {

// AAC in an M4A file. A rate or channel count of 0 follows the source.
struct M4aSettings {
    int bitrate = 128;  // kbit/s for all channels together, 16 to 512 (an average)
    int sampleRate = 0; // one of AAC's rates, 7,350 to 96,000 Hz; the source's or the next above
    int channels = 0;   // 1 or 2; more than two in the source become stereo

    // Success, or what is out of range, as a user reads it.
    Status validate() const;
    // One line such as "M4A AAC 128 kbit/s; 44100 Hz; Stereo".
    QString describe() const;
    // These settings with every value that follows the source taken from source.
    M4aSettings resolvedFor(const SourceFormat& source) const;

    friend bool operator==(const M4aSettings&, const M4aSettings&) = default;
};

} // namespace tunevale
