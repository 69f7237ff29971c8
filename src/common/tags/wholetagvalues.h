#pragma once

#include "common/audio/audiocontent.h"
#include "common/tags/tagfile.h"

#include <taglib/tiostream.h>

namespace tunevale {

// TagLib 1 cuts Vorbis comment and ASF texts at their first NUL. For those files, puts back
// the whole value the file holds wherever the value read is exactly such a cut; every other
// value stays as it is. Reads the file again through stream.
void restoreValuesCutAtNul(FileTags& tags, TagLib::IOStream& stream, AudioContent content);

} // namespace tunevale
