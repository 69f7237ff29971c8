#pragma once

#include "common/audio/status.h"
#include "common/codecs/flacsettings.h"

#include <QtGlobal>

#include <memory>
#include <span>
#include <vector>

namespace tunevale {

// One stretch of a FLAC stream encoded into memory by its own libFLAC encoder, to be joined
// with the stretches around it (FlacJoiner). Its frames are numbered from 0; a stretch that
// is not the last must hold whole blocks (blockSize()).
class FlacSegment {
public:
    FlacSegment();
    ~FlacSegment();
    FlacSegment(FlacSegment&&) noexcept;
    FlacSegment& operator=(FlacSegment&&) noexcept;

    // Starts encoding with resolved settings (nothing following the source), at their depth;
    // messages name shownPath.
    Status open(const FlacSettings& settings, const QString& shownPath);
    // Makes room for frames samples per channel at once, after open().
    void reserve(qint64 frames);
    // Whole frames of interleaved samples, moved up to the stream's depth; they are kept too,
    // for the stream's checksum.
    Status encode(std::span<const qint16> samples);
    // The same for 32-bit samples, the source's bits at the top, rounded to the stream's depth
    // as the one-thread writer rounds them.
    Status encode(std::span<const qint32> samples);
    // Encodes what is left as a last, shorter block.
    Status finish();

    // What precedes the audio ("fLaC" and the metadata blocks), its stream information
    // describing this stretch only.
    const std::vector<unsigned char>& head() const { return m_head; }
    // The frames, one after another; frameEnds()[i] is where frame i ends.
    const std::vector<unsigned char>& frames() const { return m_frames; }
    const std::vector<size_t>& frameEnds() const { return m_frameEnds; }
    // The samples encoded as the stream's checksum covers them: little-endian integers of the
    // stream's depth (2 or 3 bytes), interleaved.
    const std::vector<unsigned char>& checksummed() const { return m_checksummed; }

    // Samples per channel in each frame but the last at settings' compression level.
    static int blockSize(const FlacSettings& settings);

    // The large buffers of a segment, to be filled again by a later one: memory written afresh
    // costs a page fault every few kilobytes, memory reused none.
    struct Buffers {
        std::vector<unsigned char> frames;
        std::vector<unsigned char> checksummed;
    };
    // Hands over this segment's buffers, emptied but keeping their room.
    Buffers releaseBuffers();
    // Fills buffers from now on; after open(), before encode().
    void useBuffers(Buffers buffers);

private:
    struct Encoder;
    // Appends the block in m_wide to the checksummed bytes.
    void keepForChecksum();
    // Encodes the block in m_wide.
    Status handOver();
    std::unique_ptr<Encoder> m_encoder;
    std::vector<unsigned char> m_head;
    std::vector<unsigned char> m_frames;
    std::vector<size_t> m_frameEnds;
    std::vector<unsigned char> m_checksummed;
    std::vector<qint32> m_wide; // the block at the stream's depth, as libFLAC takes it
    int m_channels = 0;
    int m_bits = 16;
};

} // namespace tunevale
