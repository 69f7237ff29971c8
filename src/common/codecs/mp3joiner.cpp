#include "common/codecs/mp3joiner.h"

#include <algorithm>
#include <utility>

namespace tunevale {

namespace {

// The lowest bitrate index that makes frame, in bytes, at least extra bytes longer; 0 when
// none does.
int enlargingBitrateIndex(std::span<const unsigned char> bytes, const Mp3Frame& frame, int extra)
{
    const auto header = bytes.subspan(size_t(frame.offset));
    for (int index = (header[2] >> 4) + 1;; ++index) {
        const int length = mp3FrameLengthAt(header, index);
        if (length == 0 || length - frame.length >= extra)
            return length == 0 ? 0 : index;
    }
}

} // namespace

std::optional<qint64> Mp3Joiner::findSeam(const Mp3Piece& before, const Mp3Piece& after,
                                          qint64 from, qint64 to)
{
    // A frame where the next piece's reservoir fits the room left is best; failing that, one
    // where it fits once the frame before the seam is stated at a higher bitrate (in every
    // mode a frame may have its own), which adds room at its end.
    for (const bool enlarge : {false, true}) {
        for (qint64 frame = from; frame < to; ++frame) {
            if (!before.holds(frame) || !after.holds(frame) || !before.holds(frame - 1))
                continue;
            const qint64 afterIndex = frame - after.firstFrame;
            const int needed = after.frames[size_t(afterIndex)].mainDataBegin;
            const int room = before.frames[size_t(frame - before.firstFrame)].mainDataBegin;
            const bool fits =
                needed <= room ||
                (enlarge && enlargingBitrateIndex(
                                before.bytes, before.frames[size_t(frame - 1 - before.firstFrame)],
                                needed - room) > 0);
            if (fits && (needed == 0 || !dataAreaTail(after.frames, afterIndex, needed).empty()))
                return frame;
        }
    }
    return std::nullopt;
}

bool Mp3Joiner::append(const Mp3Piece& piece, qint64 from, qint64 to)
{
    const qint64 first = from - piece.firstFrame;
    const qint64 last = to - piece.firstFrame;
    if (first < 0 || last > qint64(piece.frames.size()) || first >= last ||
        (m_started && from != m_end))
        return false;
    const Mp3Frame& seamFrame = piece.frames[size_t(first)];
    const int needed = seamFrame.mainDataBegin;
    if (needed > 0 && (!m_started || dataAreaTail(piece.frames, first, needed).empty()))
        return false;
    if (m_started && needed > m_freeTail && !enlargeLastFrame(needed - m_freeTail))
        return false;
    if (!m_started)
        m_first = from;
    if (m_started) {
        // The previous piece's reservoir bytes for its own later frames are dropped, and this
        // piece's reservoir for its frames from the seam on takes their place.
        for (const qsizetype position :
             dataAreaTail(m_frames, qsizetype(m_frames.size()), m_freeTail))
            m_bytes[size_t(position)] = 0;
        const auto sources = dataAreaTail(piece.frames, first, needed);
        const auto targets = dataAreaTail(m_frames, qsizetype(m_frames.size()), needed);
        for (size_t i = 0; i < targets.size() && i < sources.size(); ++i)
            m_bytes[size_t(targets[i])] = piece.bytes[size_t(sources[i])];
    }
    const qsizetype start = seamFrame.offset;
    const Mp3Frame& end = piece.frames[size_t(last - 1)];
    const qsizetype shift = qsizetype(m_bytes.size()) - start;
    m_bytes.insert(m_bytes.end(), piece.bytes.begin() + start,
                   piece.bytes.begin() + end.offset + end.length);
    for (qint64 index = first; index < last; ++index) {
        Mp3Frame frame = piece.frames[size_t(index)];
        frame.offset += shift;
        m_frames.push_back(frame);
    }
    m_end = to;
    m_started = true;
    m_freeTail = last < qint64(piece.frames.size()) ? piece.frames[size_t(last)].mainDataBegin : 0;
    return true;
}

bool Mp3Joiner::enlargeLastFrame(int extra)
{
    if (m_frames.empty())
        return false;
    Mp3Frame& last = m_frames.back();
    const int index = enlargingBitrateIndex(m_bytes, last, extra);
    if (index == 0)
        return false;
    const int length = mp3FrameLengthAt(std::span(m_bytes).subspan(size_t(last.offset)), index);
    unsigned char& bitrateByte = m_bytes[size_t(last.offset) + 2];
    bitrateByte = static_cast<unsigned char>((bitrateByte & 0x0F) | (index << 4));
    // The frame is the last one held: its new bytes go at the end, unused.
    m_bytes.resize(m_bytes.size() + size_t(length - last.length), 0);
    m_freeTail += length - last.length;
    last.length = length;
    return true;
}

Mp3Piece Mp3Joiner::takeSettled(bool complete)
{
    // A seam rewrites up to m_freeTail bytes at the end of the data areas and may restate the
    // last frame's bitrate: the frames holding those bytes, and the last one, stay.
    auto kept = qsizetype(m_frames.size()); // from here on
    if (!complete && kept > 0) {
        int covered = m_frames[size_t(--kept)].dataBytes();
        while (kept > 0 && covered < m_freeTail)
            covered += m_frames[size_t(--kept)].dataBytes();
    }
    Mp3Piece settled;
    settled.firstFrame = m_first;
    if (kept == 0)
        return settled;
    const qsizetype end = kept < qsizetype(m_frames.size()) ? m_frames[size_t(kept)].offset
                                                            : qsizetype(m_bytes.size());
    // The settled part is moved out, not copied: it is most of what is held.
    std::vector<unsigned char> heldBytes(m_bytes.begin() + end, m_bytes.end());
    std::vector<Mp3Frame> heldFrames(m_frames.begin() + kept, m_frames.end());
    for (Mp3Frame& frame : heldFrames)
        frame.offset -= end;
    settled.bytes = std::exchange(m_bytes, std::move(heldBytes));
    settled.bytes.resize(size_t(end));
    settled.frames = std::exchange(m_frames, std::move(heldFrames));
    settled.frames.resize(size_t(kept));
    m_first += kept;
    return settled;
}

} // namespace tunevale
