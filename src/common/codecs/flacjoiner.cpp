#include "common/codecs/flacjoiner.h"

#include "common/codecs/flacchecksum.h"
#include "common/codecs/flacframes.h"
#include "common/codecs/flacsegment.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

namespace tunevale {

namespace {

// "fLaC", the stream information block's header and its 34 bytes.
constexpr size_t kStreamInfoEnd = 4 + 4 + 34;
constexpr size_t kFrameSizesAt = 12;
constexpr size_t kTotalSamplesAt = 21;

// a times b modulo the CRC-16 polynomial x^16 + x^15 + x^2 + 1, in GF(2).
quint16 mulMod(quint16 a, quint16 b)
{
    quint32 product = 0;
    for (int bit = 15; bit >= 0; --bit) {
        product <<= 1;
        if (product & 0x10000)
            product ^= 0x18005;
        if ((b >> bit) & 1)
            product ^= a;
    }
    return quint16(product);
}

// x^(8 * bytes) modulo the CRC-16 polynomial: what appending that many bytes multiplies a
// checksum by.
quint16 shiftFor(size_t bytes)
{
    quint16 result = 1;
    quint16 base = 2;
    for (quint64 exponent = quint64(bytes) * 8; exponent > 0; exponent >>= 1) {
        if (exponent & 1)
            result = mulMod(result, base);
        base = mulMod(base, base);
    }
    return result;
}

void appendCoded(std::vector<unsigned char>& out, quint64 number)
{
    if (number < 0x80) {
        out.push_back(static_cast<unsigned char>(number));
        return;
    }
    size_t length = 2;
    while (length < 7 && number >= (quint64(1) << (5 * length + 1)))
        ++length;
    const unsigned char lead = static_cast<unsigned char>(0xff00 >> length);
    out.push_back(static_cast<unsigned char>(lead | (number >> (6 * (length - 1)))));
    for (size_t i = length - 1; i > 0; --i)
        out.push_back(static_cast<unsigned char>(0x80 | ((number >> (6 * (i - 1))) & 0x3f)));
}

void putBigEndian24(unsigned char* at, size_t value)
{
    at[0] = static_cast<unsigned char>(value >> 16);
    at[1] = static_cast<unsigned char>(value >> 8);
    at[2] = static_cast<unsigned char>(value);
}

} // namespace

std::optional<std::vector<unsigned char>>
FlacJoiner::renumbered(std::span<const unsigned char> frame, quint64 number)
{
    std::vector<unsigned char> out;
    if (!appendRenumbered(frame, number, out))
        return std::nullopt;
    return out;
}

bool FlacJoiner::appendRenumbered(std::span<const unsigned char> frame, quint64 number,
                                  std::vector<unsigned char>& out)
{
    // Sync code and a fixed block size, the codes of block size and rate, then the number.
    if (frame.size() < 8 || frame[0] != 0xff || frame[1] != 0xf8)
        return false;
    const size_t numberLength = flacCodedNumberLength(frame[4]);
    const unsigned blockCode = frame[2] >> 4;
    const unsigned rateCode = frame[2] & 0x0f;
    const size_t extra = (blockCode == 6   ? 1
                          : blockCode == 7 ? 2
                                           : 0) +
                         (rateCode == 12                     ? 1
                          : rateCode >= 13 && rateCode <= 14 ? 2
                                                             : 0);
    const size_t headerEnd = 4 + numberLength + extra; // where the header's checksum is
    if (numberLength == 0 || headerEnd + 3 > frame.size() ||
        flacCrc8(frame.first(headerEnd)) != frame[headerEnd])
        return false;

    const size_t begin = out.size();
    out.insert(out.end(), frame.begin(), frame.begin() + 4);
    appendCoded(out, number);
    out.insert(out.end(), frame.begin() + std::ptrdiff_t(4 + numberLength),
               frame.begin() + std::ptrdiff_t(headerEnd));
    out.push_back(flacCrc8(std::span(out).subspan(begin)));
    const size_t newHeaderBytes = out.size() - begin;
    out.insert(out.end(), frame.begin() + std::ptrdiff_t(headerEnd + 1), frame.end() - 2);
    // The frame's checksum is linear in its bytes, and only the header changed: the old
    // checksum, less the old header's share, plus the new one's, both carried past the rest.
    const size_t rest = out.size() - begin - newHeaderBytes;
    const quint16 oldCrc = quint16((frame[frame.size() - 2] << 8) | frame[frame.size() - 1]);
    const quint16 headerChange = flacCrc16(frame.first(headerEnd + 1)) ^
                                 flacCrc16(std::span(out).subspan(begin, newHeaderBytes));
    const quint16 crc = oldCrc ^ mulMod(headerChange, shiftFor(rest));
    out.push_back(static_cast<unsigned char>(crc >> 8));
    out.push_back(static_cast<unsigned char>(crc));
    return true;
}

bool FlacJoiner::append(const FlacSegment& segment, std::vector<unsigned char>& out)
{
    out.clear();
    if (m_head.empty()) {
        if (segment.head().size() < kStreamInfoEnd ||
            std::memcmp(segment.head().data(), "fLaC", 4) != 0)
            return false;
        m_head = segment.head();
        const int channels = ((m_head[20] >> 1) & 0x07) + 1;
        const int bits = (((m_head[20] & 0x01) << 4) | (m_head[21] >> 4)) + 1;
        m_bytesPerFrame = size_t(channels * ((bits + 7) / 8));
    }
    out.reserve(segment.frames().size() + segment.frameEnds().size() * 2);
    size_t start = 0;
    for (const size_t end : segment.frameEnds()) {
        const std::span<const unsigned char> frame(segment.frames().data() + start, end - start);
        const size_t before = out.size();
        if (!appendRenumbered(frame, m_frames, out))
            return false;
        const size_t bytes = out.size() - before;
        m_smallestFrame = m_frames == 0 ? bytes : std::min(m_smallestFrame, bytes);
        m_largestFrame = std::max(m_largestFrame, bytes);
        ++m_frames;
        start = end;
    }
    const std::vector<unsigned char>& samples = segment.checksummed();
    m_md5.addData(
        QByteArrayView(reinterpret_cast<const char*>(samples.data()), qsizetype(samples.size())));
    m_samples += samples.size() / m_bytesPerFrame;
    return true;
}

std::vector<unsigned char> FlacJoiner::finish()
{
    std::vector<unsigned char> head = m_head;
    if (head.empty())
        return head;
    putBigEndian24(head.data() + kFrameSizesAt, m_smallestFrame);
    putBigEndian24(head.data() + kFrameSizesAt + 3, m_largestFrame);
    head[kTotalSamplesAt] =
        static_cast<unsigned char>((head[kTotalSamplesAt] & 0xf0) | ((m_samples >> 32) & 0x0f));
    qToBigEndian<quint32>(quint32(m_samples), head.data() + kTotalSamplesAt + 1);
    const QByteArray md5 = m_md5.result();
    std::memcpy(head.data() + FlacChecksum::kOffsetInFile, md5.constData(), 16);
    return head;
}

} // namespace tunevale
