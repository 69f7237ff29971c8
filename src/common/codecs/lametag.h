#pragma once

#include "common/audio/status.h"
#include "common/codecs/mp3frames.h"

#include <QtGlobal>

#include <span>
#include <vector>

namespace tunevale {

// What a LAME header states about the frames after it, gathered while they are written, in
// memory that does not grow with the stream: the seek table needs one frame's place in each
// percent, so one place is kept per stride of frames, the stride doubling as the stream grows.
class Mp3StreamSummary {
public:
    // Adds frames that follow those added before, with the bytes they lie in (frame offsets
    // count from the start of bytes, which holds these frames and nothing else).
    void add(std::span<const unsigned char> bytes, std::span<const Mp3Frame> frames);

    qint64 frameCount() const { return m_frameCount; }
    qint64 byteCount() const { return m_byteCount; }
    quint16 crc() const { return m_crc; }
    int frameSamples() const { return m_frameSamples; }
    // Where frame starts, in bytes from the first frame; for a frame between the places kept,
    // where the last kept one before it starts.
    qint64 offsetOf(qint64 frame) const;

private:
    static constexpr size_t kMaxPlaces = 4096;
    std::vector<qint64> m_places; // offsets of frames 0, stride, 2 x stride, ...
    qint64 m_stride = 1;
    qint64 m_frameCount = 0;
    qint64 m_byteCount = 0;
    quint16 m_crc = 0;
    int m_frameSamples = 0;
};

// Makes a LAME/Xing header frame describe a stream it was not written for: frame and byte
// counts, seek table, encoder delay and padding (what decoders trim for gapless playback),
// music length and both checksums. The encoder's own fields (version, quality, lowpass,
// mode) stay as they are.
class LameTag {
public:
    // The 16-bit checksum the LAME tag uses for its own bytes and for the music.
    static quint16 crc16(std::span<const unsigned char> data, quint16 crc = 0);

    // Rewrites tag (a whole header frame as LAME made it) for the frames that follow it, which
    // hold sampleCount samples per channel after the encoder delay the tag states.
    static Status describe(std::vector<unsigned char>& tag, const Mp3StreamSummary& audio,
                           qint64 sampleCount);
};

} // namespace tunevale
