#include "common/codecs/mp3frames.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tunevale {

namespace {

constexpr int kHeaderBytes = 4;
constexpr int kCrcBytes = 2;

// Layer III bitrates in kbit/s by index; 0 is free format, which is not supported.
constexpr std::array<int, 15> kMpeg1Bitrates{0,   32,  40,  48,  56,  64,  80, 96,
                                             112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 15> kMpeg2Bitrates{0,  8,  16, 24,  32,  40,  48, 56,
                                             64, 80, 96, 112, 128, 144, 160};
constexpr std::array<int, 3> kMpeg1Rates{44100, 48000, 32000};

enum Version { kMpeg25 = 0, kReserved = 1, kMpeg2 = 2, kMpeg1 = 3 };

// What a Layer III header states.
struct Header {
    bool mpeg1 = true;
    bool hasCrc = false;
    bool mono = false;
    int sampleRate = 0;
    int padding = 0;

    int length(int bitrateIndex) const
    {
        const int kbps = (mpeg1 ? kMpeg1Bitrates : kMpeg2Bitrates)[size_t(bitrateIndex)];
        return (mpeg1 ? 144 : 72) * kbps * 1000 / sampleRate + padding;
    }
};

std::optional<Header> parseHeader(std::span<const unsigned char> data)
{
    if (data.size() < size_t(kHeaderBytes) || data[0] != 0xFF || (data[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (data[1] >> 3) & 3;
    const int layer = (data[1] >> 1) & 3;
    const int bitrateIndex = data[2] >> 4;
    const int rateIndex = (data[2] >> 2) & 3;
    if (version == kReserved || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3)
        return std::nullopt;
    Header header;
    header.mpeg1 = version == kMpeg1;
    header.hasCrc = (data[1] & 1) == 0;
    header.mono = (data[3] >> 6) == 3;
    const int rateShift = version == kMpeg1 ? 0 : version == kMpeg2 ? 1 : 2;
    header.sampleRate = kMpeg1Rates[size_t(rateIndex)] >> rateShift;
    header.padding = (data[2] >> 1) & 1;
    return header;
}

} // namespace

int mp3FrameLengthAt(std::span<const unsigned char> data, int bitrateIndex)
{
    const auto header = parseHeader(data);
    if (!header || header->hasCrc || bitrateIndex < 1 || bitrateIndex > 14)
        return 0;
    return header->length(bitrateIndex);
}

std::optional<Mp3Frame> parseMp3Frame(std::span<const unsigned char> data)
{
    const auto header = parseHeader(data);
    if (!header)
        return std::nullopt;
    const bool mpeg1 = header->mpeg1;
    const bool hasCrc = header->hasCrc;
    const int sideInfoBytes = mpeg1 ? (header->mono ? 17 : 32) : (header->mono ? 9 : 17);

    Mp3Frame frame;
    frame.samples = mpeg1 ? 1152 : 576;
    frame.length = header->length(data[2] >> 4);
    frame.headerBytes = kHeaderBytes + (hasCrc ? kCrcBytes : 0) + sideInfoBytes;
    if (data.size() < size_t(frame.length) || frame.length < frame.headerBytes)
        return std::nullopt;
    // main_data_begin opens the side information: 9 bits in MPEG-1, 8 bits otherwise.
    const unsigned char* side = data.data() + kHeaderBytes + (hasCrc ? kCrcBytes : 0);
    frame.mainDataBegin = mpeg1 ? (side[0] << 1) | (side[1] >> 7) : side[0];
    return frame;
}

std::vector<Mp3Frame> scanMp3Frames(std::span<const unsigned char> data)
{
    std::vector<Mp3Frame> frames;
    qsizetype offset = 0;
    while (const auto frame = parseMp3Frame(data.subspan(size_t(offset)))) {
        frames.push_back(*frame);
        frames.back().offset = offset;
        offset += frame->length;
    }
    return frames;
}

bool isInfoFrame(std::span<const unsigned char> data, const Mp3Frame& frame)
{
    if (frame.dataBytes() < 4)
        return false;
    const auto* tag = reinterpret_cast<const char*>(data.data() + frame.offset + frame.headerBytes);
    return std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0;
}

std::vector<qsizetype> dataAreaTail(std::span<const Mp3Frame> frames, qsizetype end, int count)
{
    std::vector<qsizetype> positions(static_cast<size_t>(count));
    qsizetype missing = count;
    for (qsizetype index = end - 1; index >= 0 && missing > 0; --index) {
        const Mp3Frame& frame = frames[size_t(index)];
        const qsizetype taken = std::min<qsizetype>(missing, frame.dataBytes());
        const qsizetype first = frame.offset + frame.length - taken;
        for (qsizetype i = 0; i < taken; ++i)
            positions[size_t(missing - taken + i)] = first + i;
        missing -= taken;
    }
    if (missing > 0)
        positions.clear();
    return positions;
}

} // namespace tunevale
