#include "common/codecs/flacframes.h"

#include <array>

namespace tunevale {

namespace {

constexpr std::array<quint8, 256> crc8Table()
{
    std::array<quint8, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        unsigned crc = value;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80) ? ((crc << 1) ^ 0x07) & 0xff : (crc << 1) & 0xff;
        table[value] = quint8(crc);
    }
    return table;
}

constexpr std::array<quint16, 256> crc16Table()
{
    std::array<quint16, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        unsigned crc = value << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? ((crc << 1) ^ 0x8005) & 0xffff : (crc << 1) & 0xffff;
        table[value] = quint16(crc);
    }
    return table;
}

constexpr auto kCrc8 = crc8Table();
constexpr auto kCrc16 = crc16Table();

// The block size a frame header states by its code, with the bytes after the number it reads.
std::optional<quint64> blockSizeOf(unsigned code, std::span<const unsigned char> after)
{
    if (code == 1)
        return 192;
    if (code >= 2 && code <= 5)
        return quint64(576) << (code - 2);
    if (code == 6 && after.size() >= 1)
        return quint64(after[0]) + 1;
    if (code == 7 && after.size() >= 2)
        return ((quint64(after[0]) << 8) | after[1]) + 1;
    if (code >= 8)
        return quint64(256) << (code - 8);
    return std::nullopt;
}

} // namespace

quint8 flacCrc8(std::span<const unsigned char> bytes)
{
    quint8 crc = 0;
    for (const unsigned char byte : bytes)
        crc = kCrc8[crc ^ byte];
    return crc;
}

quint16 flacCrc16(std::span<const unsigned char> bytes)
{
    quint16 crc = 0;
    for (const unsigned char byte : bytes)
        crc = quint16((crc << 8) ^ kCrc16[(crc >> 8) ^ byte]);
    return crc;
}

size_t flacCodedNumberLength(unsigned char first)
{
    if (first < 0x80)
        return 1;
    for (size_t length = 2; length <= 7; ++length) {
        const unsigned mask = 0xffu << (7 - length);
        if ((first & (mask & 0xff)) == ((mask << 1) & 0xff))
            return length;
    }
    return 0;
}

std::optional<quint64> flacSamplesFromTail(std::span<const unsigned char> tail, int blockSize)
{
    if (tail.size() < 8 || blockSize <= 0)
        return std::nullopt;
    const quint16 stated = quint16((tail[tail.size() - 2] << 8) | tail[tail.size() - 1]);
    // The last frame starts at the last sync code whose header and frame checksums both fit.
    for (size_t start = tail.size() - 8; start + 1 > 0; --start) {
        if (tail[start] != 0xff || tail[start + 1] != 0xf8)
            continue;
        const auto frame = tail.subspan(start);
        const size_t numberLength = flacCodedNumberLength(frame[4]);
        const unsigned blockCode = frame[2] >> 4;
        const unsigned rateCode = frame[2] & 0x0f;
        const size_t sizeBytes = blockCode == 6 ? 1 : blockCode == 7 ? 2 : 0;
        const size_t rateBytes = rateCode == 12 ? 1 : rateCode == 13 || rateCode == 14 ? 2 : 0;
        const size_t headerEnd = 4 + numberLength + sizeBytes + rateBytes;
        if (numberLength == 0 || numberLength > 6 || headerEnd + 3 > frame.size() ||
            flacCrc8(frame.first(headerEnd)) != frame[headerEnd] ||
            flacCrc16(frame.first(frame.size() - 2)) != stated)
            continue;
        quint64 number = numberLength == 1 ? frame[4] : frame[4] & (0x7f >> numberLength);
        for (size_t i = 1; i < numberLength; ++i)
            number = (number << 6) | (frame[4 + i] & 0x3f);
        const auto size = blockSizeOf(blockCode, frame.subspan(4 + numberLength));
        if (!size)
            return std::nullopt;
        return number * quint64(blockSize) + *size;
    }
    return std::nullopt;
}

} // namespace tunevale
