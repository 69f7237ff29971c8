#pragma once

#include "common/audio/ffmpegptr.h"
#include "common/audio/pcmformat.h"
#include "common/audio/status.h"

#include <QtGlobal>

#include <span>
#include <vector>

namespace tunevale {

// Converts interleaved 16-bit PCM between rates and channel counts (libswresample).
// With equal formats it passes samples through untouched.
class Resampler {
public:
    Status configure(PcmFormat from, PcmFormat to);
    bool isPassThrough() const { return !m_context; }

    // Converts input into output (replaced). Some samples may be held back until flush().
    Status convert(std::span<const qint16> input, std::vector<qint16>& output);
    // Returns what is still held back.
    Status flush(std::vector<qint16>& output);

private:
    Status run(const quint8* input, int inputFrames, std::vector<qint16>& output);

    PcmFormat m_from;
    PcmFormat m_to;
    SwrContextPtr m_context;
};

} // namespace tunevale
