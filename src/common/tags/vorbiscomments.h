#pragma once

#include <QByteArrayView>
#include <QString>

#include <taglib/tiostream.h>

#include <map>
#include <optional>

namespace tunevale {

// Vorbis comments with every byte of their values, embedded NULs too: TagLib 1 cuts a value at
// its first NUL. Each reader takes untrusted bytes and gives nothing for a damaged, truncated
// or oversized comment block.

// The first value of each field, by field name in upper case.
using VorbisComments = std::map<QString, QString>;

// A comment block: vendor string, field count, then length-prefixed "NAME=value" fields.
std::optional<VorbisComments> parseVorbisComments(QByteArrayView block);

// The comments of the first logical stream of an Ogg Vorbis, Opus or FLAC file.
std::optional<VorbisComments> readOggComments(TagLib::IOStream& stream);

// The comments of a native FLAC file (its VORBIS_COMMENT metadata block).
std::optional<VorbisComments> readFlacComments(TagLib::IOStream& stream);

} // namespace tunevale
