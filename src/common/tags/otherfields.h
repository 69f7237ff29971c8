#pragma once

#include "common/tags/tagfile.h"

#include <QStringList>

struct AVDictionary;

namespace TagLib {
class File;
}

namespace tunevale {

// Names of the fields a file holds beyond the carried ones (the seven and RichTags), which
// no output keeps: "ISRC", "BPM", a custom "MOOD", "other pictures". Each name once, in the
// order found. Fields every encoder writes anew (encoder name and settings, length) are left
// out: a converted file has its own.

// From a file TagLib opened; read is what was taken from it.
QStringList otherTagLibFields(TagLib::File& file, const FileTags& read);

// From FFmpeg's metadata of the file and of its audio stream.
QStringList otherProbeFields(const AVDictionary* fileMetadata, const AVDictionary* streamMetadata);

} // namespace tunevale
