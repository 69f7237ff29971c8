#pragma once

#include "common/audio/audiocontent.h"
#include "common/audio/audioinformation.h"
#include "common/audio/status.h"
#include "common/tags/richtags.h"

#include <QStringList>

#include <taglib/tstring.h>

namespace tunevale {

// Every tag value the program carries, read from one file.
struct FileTags {
    AudioTags tags;
    RichTags rich;
    QStringList otherFields; // see otherTagLibFields
};

// Reads the tags of a file whose content the probe found, through TagLib; nothing for a
// content TagLib does not know (see tagsFromProbe). Keeps values whole, embedded NULs too.
// The file is opened read-only, and only when it is a regular file.
FileTags readTagLibTags(const QString& path, AudioContent content);

// Writes tags into the MP3, WMA, OGG Vorbis, WAV, FLAC, Opus or M4A file at path (its format by
// its content), each value in the form that format's common readers expect. A write that fails
// or falls short fails the call. The message of a failure is the reason alone.
Status writeTagLibTags(const QString& path, const AudioTags& tags, const RichTags& rich);

// Fills what tags lack (empty texts and numbers, the cover, the copyright) from other.
void fillGaps(FileTags& tags, const FileTags& other);

// The ID3v1 genre index of a genre text: a name, "17" or "(17)"; -1 when none or unknown.
int genreIndexOf(const QString& text);

// A TagLib text as UTF-16, whole (embedded NULs kept), blanks at its ends trimmed.
QString fromTagString(const TagLib::String& text);

// "3/12" gives 3 and 12, "3" gives 3 and 0; anything unreadable counts as 0.
std::pair<int, int> numberAndTotal(const QString& text);

} // namespace tunevale
