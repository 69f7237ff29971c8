#pragma once

#include <QtGlobal>

#include <algorithm>
#include <span>

namespace tunevale {

// Samples at the depth of a FLAC stream (16 or 24 bits), as the one-thread writer and the
// segments of a split conversion both hand them to libFLAC: the two must agree to the bit.

// 16-bit samples moved up to bits; decoded and moved back down they are the samples given.
inline void widenToFlacDepth(std::span<const qint16> samples, int bits, qint32* out)
{
    const int shift = bits - 16;
    std::transform(samples.begin(), samples.end(), out,
                   [shift](qint16 sample) { return qint32(sample) * (1 << shift); });
}

// 32-bit samples, the source's bits at the top, rounded to bits: exact for a source of that
// depth, whose lower bits are zero, and the nearest value for deeper or floating-point ones.
inline void roundToFlacDepth(std::span<const qint32> samples, int bits, qint32* out)
{
    const int drop = 32 - bits;
    const qint64 half = qint64(1) << (drop - 1);
    const qint64 highest = (qint64(1) << (bits - 1)) - 1;
    std::transform(samples.begin(), samples.end(), out, [=](qint32 sample) {
        return qint32(std::min((qint64(sample) + half) >> drop, highest));
    });
}

} // namespace tunevale
