#pragma once

#include <QtGlobal>

#include <optional>
#include <span>
#include <vector>

namespace tunevale {

// One MPEG audio Layer III frame inside a byte buffer. Its main data (scale factors and
// Huffman codes) start mainDataBegin bytes before the frame's own data area, in the data
// areas of the frames before it: the bit reservoir.
struct Mp3Frame {
    qsizetype offset = 0; // of the frame header in the buffer
    int length = 0;       // bytes, header included
    int headerBytes = 0;  // header, CRC and side information: where the data area starts
    int mainDataBegin = 0;
    int samples = 0; // per channel: 1152 for MPEG-1, 576 for MPEG-2 and 2.5

    int dataBytes() const { return length - headerBytes; }
};

// The frame whose header starts data, if it is a Layer III header that fits in data.
std::optional<Mp3Frame> parseMp3Frame(std::span<const unsigned char> data);

// The length the frame whose header starts data would have at another bitrate index (1 to 14,
// 14 the highest); 0 when that is no frame, or the frame has a CRC (which covers the header).
int mp3FrameLengthAt(std::span<const unsigned char> data, int bitrateIndex);

// Every frame of a buffer of back-to-back frames, up to the first bytes that are not one.
std::vector<Mp3Frame> scanMp3Frames(std::span<const unsigned char> data);

// True for a LAME/Xing header frame ("Xing" or "Info" after the side information).
bool isInfoFrame(std::span<const unsigned char> data, const Mp3Frame& frame);

// Where the last count bytes of the data areas of frames[0, end) lie in the buffer, oldest
// first; empty when those frames hold fewer than count bytes.
std::vector<qsizetype> dataAreaTail(std::span<const Mp3Frame> frames, qsizetype end, int count);

} // namespace tunevale
