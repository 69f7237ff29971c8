#pragma once

#include "common/tags/tagfile.h"

struct AVFormatContext;

namespace tunevale {

// The tags FFmpeg's probe found, for the containers TagLib does not read (Matroska, WebM,
// raw AAC): the file's metadata, then the audio stream's, and an attached picture.
FileTags tagsFromProbe(const AVFormatContext& context, int audioStream);

} // namespace tunevale
