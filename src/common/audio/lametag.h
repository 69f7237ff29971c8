#pragma once

#include "common/audio/mp3frames.h"
#include "common/audio/status.h"

#include <QtGlobal>

#include <span>
#include <vector>

namespace tunevale {

// Makes a LAME/Xing header frame describe a stream it was not written for: frame and byte
// counts, seek table, encoder delay and padding (what decoders trim for gapless playback),
// music length and both checksums. The encoder's own fields (version, quality, lowpass,
// mode) stay as they are.
class LameTag {
public:
    // The 16-bit checksum the LAME tag uses for its own bytes and for the music.
    static quint16 crc16(std::span<const unsigned char> data, quint16 crc = 0);

    // Rewrites tag (a whole header frame as LAME made it) for audio, the frames that follow
    // it, which hold sampleCount samples per channel after the encoder delay the tag states.
    static Status describe(std::vector<unsigned char>& tag, std::span<const unsigned char> audio,
                           std::span<const Mp3Frame> frames, qint64 sampleCount);
};

} // namespace tunevale
