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
    // Takes the next segment, in order, and replaces out with its frames as they belong in the
    // stream; false when they are not frames of a fixed-block stream.
    bool append(const FlacSegment& segment, std::vector<unsigned char>& out);
    // What precedes the audio: the first segment's head with its stream information made the
    // whole stream's. Once, after the last segment; empty when none was appended.
    std::vector<unsigned char> finish();

    // frame, a whole frame of a fixed-block stream, as frame number `number`: its header
    // rewritten (the number's coded length may change) and both checksums recomputed. Nothing
    // when frame is not one.
    static std::optional<std::vector<unsigned char>>
    renumbered(std::span<const unsigned char> frame, quint64 number);
    // The same, appended to out; false, out unchanged, when frame is not one.
    static bool appendRenumbered(std::span<const unsigned char> frame, quint64 number,
                                 std::vector<unsigned char>& out);

private:
    std::vector<unsigned char> m_head;
    QCryptographicHash m_md5{QCryptographicHash::Md5};
    quint64 m_frames = 0;
    quint64 m_samples = 0; // per channel
    size_t m_smallestFrame = 0;
    size_t m_largestFrame = 0;
    size_t m_bytesPerFrame = 0; // of the checksummed samples, all channels
};

} // namespace tunevale
