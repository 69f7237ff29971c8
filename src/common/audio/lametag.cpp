#include "common/audio/lametag.h"

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

Status LameTag::describe(std::vector<unsigned char>& tag, std::span<const unsigned char> audio,
                         std::span<const Mp3Frame> frames, qint64 sampleCount)
{
    const auto header = parseMp3Frame(tag);
    if (!header || size_t(header->length) != tag.size() || !isInfoFrame(tag, *header) ||
        header->dataBytes() < kLameOffset + kLameBlockBytes || frames.empty())
        return Status::error(QStringLiteral("the MP3 encoder wrote no usable VBR header"));
    unsigned char* xing = tag.data() + header->headerBytes;
    unsigned char* lame = xing + kLameOffset;
    const int encoderDelay =
        (lame[kDelayPaddingOffset] << 4) | (lame[kDelayPaddingOffset + 1] >> 4);

    const auto frameCount = qint64(frames.size());
    const qint64 padding = frameCount * frames.front().samples - encoderDelay - sampleCount;
    const qint64 streamBytes = qint64(tag.size()) + qint64(audio.size());
    if (padding < 0 || padding > kMaxTrim || streamBytes > std::numeric_limits<quint32>::max())
        return Status::error(QStringLiteral("the joined MP3 stream does not match its length"));

    qToBigEndian(quint32(frameCount), xing + kFramesOffset);
    qToBigEndian(quint32(streamBytes), xing + kBytesOffset);
    // Seek table: where each percent of the playing time starts, in 256ths of the stream
    // (counted from the first audio frame, as LAME does).
    for (int percent = 0; percent < kTocEntries; ++percent) {
        const qint64 frame = frameCount * percent / kTocEntries;
        xing[kTocOffset + percent] = static_cast<unsigned char>(
            std::min<qint64>(255, frames[size_t(frame)].offset * 256 / streamBytes));
    }
    lame[kDelayPaddingOffset] = static_cast<unsigned char>(encoderDelay >> 4);
    lame[kDelayPaddingOffset + 1] =
        static_cast<unsigned char>(((encoderDelay & 0xF) << 4) | (padding >> 8));
    lame[kDelayPaddingOffset + 2] = static_cast<unsigned char>(padding & 0xFF);
    qToBigEndian(quint32(streamBytes), lame + kMusicLengthOffset);
    qToBigEndian(crc16(audio), lame + kMusicCrcOffset);
    const auto checked = size_t(lame + kTagCrcOffset - tag.data());
    qToBigEndian(crc16(std::span(tag).first(checked)), lame + kTagCrcOffset);
    return {};
}

} // namespace tunevale
