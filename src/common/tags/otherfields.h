#pragma once

#include "common/tags/tagfile.h"

#include <QStringList>

struct AVDictionary;

namespace TagLib {
class File;
}

namespace tunevale {

// The fields a file holds beyond the seven and the named RichTags values. Text fields go to
// read.rich.otherFields, with all their values; the names of those no output can take (binary
// frames, "other pictures") go to read.otherFields, each once, in the order found. Fields every
// encoder writes anew (encoder name and settings, length) are left out: a converted file has
// its own.

// From a file TagLib opened; read holds what was taken from it.
void readOtherTagLibFields(TagLib::File& file, FileTags& read);

// From FFmpeg's metadata of the file and of its audio stream.
void readOtherProbeFields(const AVDictionary* fileMetadata, const AVDictionary* streamMetadata,
                          FileTags& read);

} // namespace tunevale
