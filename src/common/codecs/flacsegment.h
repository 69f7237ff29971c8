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

    // Starts encoding 16-bit samples with resolved settings (nothing following the source);
    // messages name shownPath.
    Status open(const FlacSettings& settings, const QString& shownPath);
    // Makes room for frames samples per channel at once, after open().
    void reserve(qint64 frames);
    // Whole frames of interleaved samples; they are kept too, for the stream's checksum.
    Status encode(std::span<const qint16> samples);
    // Encodes what is left as a last, shorter block.
    Status finish();

    // What precedes the audio ("fLaC" and the metadata blocks), its stream information
    // describing this stretch only.
    const std::vector<unsigned char>& head() const { return m_head; }
    // The frames, one after another; frameEnds()[i] is where frame i ends.
    const std::vector<unsigned char>& frames() const { return m_frames; }
    const std::vector<size_t>& frameEnds() const { return m_frameEnds; }
    const std::vector<qint16>& samples() const { return m_samples; }

    // Samples per channel in each frame but the last at settings' compression level.
    static int blockSize(const FlacSettings& settings);

    // The large buffers of a segment, to be filled again by a later one: memory written afresh
    // costs a page fault every few kilobytes, memory reused none.
    struct Buffers {
        std::vector<unsigned char> frames;
        std::vector<qint16> samples;
    };
    // Hands over this segment's buffers, emptied but keeping their room.
    Buffers releaseBuffers();
    // Fills buffers from now on; after open(), before encode().
    void useBuffers(Buffers buffers);

private:
    struct Encoder;
    std::unique_ptr<Encoder> m_encoder;
    std::vector<unsigned char> m_head;
    std::vector<unsigned char> m_frames;
    std::vector<size_t> m_frameEnds;
    std::vector<qint16> m_samples;
    std::vector<qint32> m_wide;
    int m_channels = 0;
};

} // namespace tunevale
