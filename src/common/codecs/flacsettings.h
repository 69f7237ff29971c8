#pragma once

#include "common/audio/pcmformat.h"
#include "common/audio/status.h"

#include <QString>

namespace tunevale {

// FLAC output. A rate, channel count or depth of 0 follows the source.
struct FlacSettings {
    int compressionLevel = 5; // 0 (fastest) to 8 (smallest)
    int sampleRate = 0;       // Hz, 1 to 655,350
    int channels = 0;         // 1 to 8
    int bitsPerSample = 0;    // 16 or 24; following the source, 24 for deeper or float sources
    bool verify = false;      // the encoder decodes every frame again and compares

    // Success, or what is out of range, as a user reads it.
    Status validate() const;
    // One line such as "FLAC level 5; 44100 Hz; Stereo; 16 bit" ("source rate" and so on for
    // the values that follow the source).
    QString describe() const;
    // These settings with every value that follows the source taken from source.
    FlacSettings resolvedFor(const SourceFormat& source) const;

    friend bool operator==(const FlacSettings&, const FlacSettings&) = default;
};

} // namespace tunevale
