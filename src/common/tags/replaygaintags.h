#pragma once

#include "common/audio/status.h"
#include "common/codecs/outputformat.h"

#include <QString>

namespace tunevale {

// The gain a player applies, per file or per album.
enum class GainScope { Track, Album };

// A loudness measurement as the tags need it: integrated loudness in LUFS, true peak as a
// linear ratio to full scale.
struct GainTagValues {
    double lufs = 0;
    double peak = 0;
};

// Writes the ReplayGain 2.0 tags of scope into the finished file at path, a kind file:
// REPLAYGAIN_*_GAIN ("-3.21 dB") and REPLAYGAIN_*_PEAK as ID3 TXXX (MP3, WAV), Vorbis comments
// (OGG, FLAC), ASF attributes (WMA) or iTunes freeform items (M4A); R128_*_GAIN in Q7.8 for
// Opus. Tags already there for the scope are replaced; the track scope also removes any album
// gain, which belonged to another measurement. values empty writes nothing new (silence).
Status writeGainTags(const QString& path, OutputKind kind, GainScope scope,
                     const GainTagValues* values);

// ReplayGain 2.0 gain in dB that brings lufs to its -18 LUFS reference.
double replayGainDb(double lufs);
// Opus's R128 gain: Q7.8 fixed point relative to -23 LUFS, clamped to its 16 bits.
int r128GainQ78(double lufs);

// "-3.21 dB" and "0.987654": the texts the tags hold.
QString gainText(double decibels);
QString peakText(double peak);

} // namespace tunevale
