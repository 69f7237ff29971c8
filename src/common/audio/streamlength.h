#pragma once

#include "common/audio/status.h"

#include <QString>

namespace tunevale {

// The length of a file's audio as its packets state it, found without decoding: what a
// decoder gives, less the priming samples it trims at the start.
struct StreamLength {
    double seconds = 0;
    double longestPacketSeconds = 0; // one codec frame (a block of them for PCM)
};

// Reads every packet of path's first audio stream (a WAV file's PCM by its data chunk's size);
// only a local file is opened.
Status measureStreamLength(const QString& path, StreamLength& length);

// False when path is a RIFF (or RF64) file whose header states more bytes than the file
// holds: a chunk at its end (the tags) was cut short, which the audio's length does not show.
bool riffSizeFits(const QString& path);

// True when path is an RF64 file: a WAV file whose audio passes 4 GiB.
bool isRf64Wave(const QString& path);

} // namespace tunevale
