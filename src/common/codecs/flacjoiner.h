#pragma once

#include <QCryptographicHash>
#include <QtGlobal>

#include <optional>
#include <span>
#include <vector>

namespace tunevale {

class FlacSegment;

// Joins FLAC segments, encoded apart with frames numbered from 0 each, into one stream: frames
// renumbered in order and a stream information block that describes the whole (length, frame
// sizes and the checksum of all samples in order).
class FlacJoiner {
public:
    // Takes the next segment, in order; its frames as they belong in the stream, or nothing
    // when they are not frames of a fixed-block stream.
    std::optional<std::vector<unsigned char>> append(const FlacSegment& segment);
    // What precedes the audio: the first segment's head with its stream information made the
    // whole stream's. Once, after the last segment; empty when none was appended.
    std::vector<unsigned char> finish();

    // frame, a whole frame of a fixed-block stream, as frame number `number`: its header
    // rewritten (the number's coded length may change) and both checksums recomputed. Nothing
    // when frame is not one.
    static std::optional<std::vector<unsigned char>>
    renumbered(std::span<const unsigned char> frame, quint64 number);

private:
    std::vector<unsigned char> m_head;
    QCryptographicHash m_md5{QCryptographicHash::Md5};
    quint64 m_frames = 0;
    quint64 m_samples = 0; // per channel
    size_t m_smallestFrame = 0;
    size_t m_largestFrame = 0;
    int m_channels = 0;
};

} // namespace tunevale
