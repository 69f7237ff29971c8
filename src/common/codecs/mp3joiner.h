#pragma once

#include "common/codecs/mp3frames.h"

#include <QtGlobal>

#include <optional>
#include <vector>

namespace tunevale {

// MP3 frames one encoder made for a stretch of a longer source, numbered by their place
// in the whole stream.
struct Mp3Piece {
    std::vector<unsigned char> bytes;
    std::vector<Mp3Frame> frames; // in bytes
    qint64 firstFrame = 0;        // stream number of frames[0]

    bool holds(qint64 frame) const
    {
        return frame >= firstFrame && frame < firstFrame + qint64(frames.size());
    }
};

// Joins pieces encoded separately into one valid stream. A frame may take its main data
// from the frames before it (the bit reservoir), so at a seam the frames from the next piece
// need the bytes their own encoder left in the frames it ran before the seam. The seam is put
// at a frame where those bytes fit into the room the previous piece's encoder kept free at
// the same place, and they are moved there; no side information is rewritten. Where no frame
// of the window has the room, the frame before the seam is stated at a higher bitrate, which
// gives it more. Only the frames a later seam may still change need to stay: the rest can be
// taken out and written.
class Mp3Joiner {
public:
    // The first frame in [from, to) where after can follow before, if any.
    static std::optional<qint64> findSeam(const Mp3Piece& before, const Mp3Piece& after,
                                          qint64 from, qint64 to);

    // Appends piece's frames [from, to) to the stream. Unless the stream is empty, from must
    // be a seam found for the piece appended last, whose frames end at from; false when the
    // frames cannot follow there and nothing was appended.
    bool append(const Mp3Piece& piece, qint64 from, qint64 to);

    // Moves the frames held that no later append can change out of the joiner, all of them
    // when the stream is complete: their bytes, and the frames with offsets into them.
    Mp3Piece takeSettled(bool complete = false);

    // The frames held: everything appended and not yet taken.
    const std::vector<unsigned char>& bytes() const { return m_bytes; }
    const std::vector<Mp3Frame>& frames() const { return m_frames; }

private:
    // Restates the last frame held at the lowest bitrate that adds extra bytes or more of room.
    bool enlargeLastFrame(int extra);

    std::vector<unsigned char> m_bytes;
    std::vector<Mp3Frame> m_frames;
    qint64 m_first = 0; // stream number of m_frames[0]
    qint64 m_end = 0;   // stream number of the frame after the last appended
    bool m_started = false;
    int m_freeTail = 0; // bytes at the data areas' end that no appended frame uses
};

} // namespace tunevale
