#pragma once

#include <QtGlobal>

#include <optional>
#include <span>

namespace tunevale {

// FLAC's frame checksums: CRC-8 of a frame header, CRC-16 of a whole frame.
quint8 flacCrc8(std::span<const unsigned char> bytes);
quint16 flacCrc16(std::span<const unsigned char> bytes);
// The bytes of the UTF-8-style number starting with first; 0 when first cannot start one.
size_t flacCodedNumberLength(unsigned char first);

// The samples per channel of a fixed-block stream of blockSize whose file ends with tail, told
// by its last frame (its number and size); nothing unless tail ends with one whole frame.
std::optional<quint64> flacSamplesFromTail(std::span<const unsigned char> tail, int blockSize);

} // namespace tunevale
