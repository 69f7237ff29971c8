#include "common/codecs/lametag.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace tunevale {

namespace {

// Offsets from "Xing"/"Info": flags, frames, bytes, a 100-entry seek table, the quality,
// then LAME's own block.
constexpr int kFramesOffset = 8;
constexpr int kBytesOffset = 12;
constexpr int kTocOffset = 16;
constexpr int kTocEntries = 100;
constexpr int kLameOffset = 120;
// Offsets within LAME's block.
constexpr int kDelayPaddingOffset = 21;
constexpr int kMusicLengthOffset = 28;
constexpr int kMusicCrcOffset = 32;
constexpr int kTagCrcOffset = 34;
constexpr int kLameBlockBytes = 36;
// Both trims are 12-bit fields.
constexpr int kMaxTrim = 0xFFF;

constexpr std::array<quint16, 256> makeCrcTable()
{
    std::array<quint16, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        unsigned crc = value;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        table[value] = static_cast<quint16>(crc);
    }
    return table;
}

constexpr std::array<quint16, 256> kCrcTable = makeCrcTable();

} // namespace

quint16 LameTag::crc16(std::span<const unsigned char> data, quint16 crc)
{
    for (const unsigned char byte : data)
        crc = static_cast<quint16>((crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF]);
    return crc;
}

void Mp3StreamSummary::add(std::span<const unsigned char> bytes, std::span<const Mp3Frame> frames)
{
    for (const Mp3Frame& frame : frames) {
        if (m_frameCount % m_stride == 0)
            m_places.push_back(m_byteCount + frame.offset);
        if (m_places.size() > kMaxPlaces) {
            // Every other place goes: those left are the multiples of twice the stride.
            for (size_t index = 0; 2 * index < m_places.size(); ++index)
                m_places[index] = m_places[2 * index];
            m_places.resize((m_places.size() + 1) / 2);
            m_stride *= 2;
        }
        ++m_frameCount;
    }
    if (m_frameSamples == 0 && !frames.empty())
        m_frameSamples = frames.front().samples;
    m_byteCount += qint64(bytes.size());
    m_crc = LameTag::crc16(bytes, m_crc);
}

qint64 Mp3StreamSummary::offsetOf(qint64 frame) const
{
    if (m_places.empty())
        return 0;
    return m_places[size_t(std::clamp<qint64>(frame / m_stride, 0, qint64(m_places.size()) - 1))];
}

Status LameTag::describe(std::vector<unsigned char>& tag, const Mp3StreamSummary& audio,
                         qint64 sampleCount)
{
    const auto header = parseMp3Frame(tag);
    if (!header || size_t(header->length) != tag.size() || !isInfoFrame(tag, *header) ||
        header->dataBytes() < kLameOffset + kLameBlockBytes || audio.frameCount() == 0)
        return Status::error(QStringLiteral("the MP3 encoder wrote no usable VBR header"));
    unsigned char* xing = tag.data() + header->headerBytes;
    unsigned char* lame = xing + kLameOffset;
    const int encoderDelay =
        (lame[kDelayPaddingOffset] << 4) | (lame[kDelayPaddingOffset + 1] >> 4);

    const qint64 frameCount = audio.frameCount();
    const qint64 padding = frameCount * audio.frameSamples() - encoderDelay - sampleCount;
    const qint64 streamBytes = qint64(tag.size()) + audio.byteCount();
    if (padding < 0 || padding > kMaxTrim || streamBytes > std::numeric_limits<quint32>::max())
        return Status::error(QStringLiteral("the joined MP3 stream does not match its length"));

    qToBigEndian(quint32(frameCount), xing + kFramesOffset);
    qToBigEndian(quint32(streamBytes), xing + kBytesOffset);
    // Seek table: where each percent of the playing time starts, in 256ths of the stream
    // (counted from the first audio frame, as LAME does).
    for (int percent = 0; percent < kTocEntries; ++percent) {
        const qint64 frame = frameCount * percent / kTocEntries;
        xing[kTocOffset + percent] = static_cast<unsigned char>(
            std::min<qint64>(255, audio.offsetOf(frame) * 256 / streamBytes));
    }
    lame[kDelayPaddingOffset] = static_cast<unsigned char>(encoderDelay >> 4);
    lame[kDelayPaddingOffset + 1] =
        static_cast<unsigned char>(((encoderDelay & 0xF) << 4) | (padding >> 8));
    lame[kDelayPaddingOffset + 2] = static_cast<unsigned char>(padding & 0xFF);
    qToBigEndian(quint32(streamBytes), lame + kMusicLengthOffset);
    qToBigEndian(audio.crc(), lame + kMusicCrcOffset);
    const auto checked = size_t(lame + kTagCrcOffset - tag.data());
    qToBigEndian(crc16(std::span(tag).first(checked)), lame + kTagCrcOffset);
    return {};
}

} // namespace tunevale
