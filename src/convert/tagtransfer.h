#pragma once

#include "common/audio/status.h"
#include "common/codecs/outputformat.h"
#include "common/tags/richtags.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tunevale {

class AudioInformation;

// The seven tags of a source as text, and the richer values beside them, carried from the
// source to its converted output.
struct TagBuffer {
    QString TagTitle;
    QString TagArtist;
    QString TagAlbum;
    QString TagGenre; // decimal: the ID3v1 genre index, "-1" for none
    QString TagYear;  // decimal
    QString TagTrack; // decimal
    QString TagComment;
    RichTags TagRich;           // as read; the output keeps what its format can hold
    QStringList TagOtherFields; // fields beyond those, which no output keeps ("other pictures")
};

// Clears every field, then fills them from the source's tags. A source that cannot be
// opened leaves them all empty.
void ReadSourceTags(AudioInformation& information, const QString& source, TagBuffer& buffer);

// Sets each tag of information from buffer, skipping any value the component refuses, then
// writes the tags into output. Fails only when writing the file fails; the reason names
// shownPath when given.
Status WriteTags(AudioInformation& information, const TagBuffer& buffer, const QString& output,
                 const QString& shownPath = QString());

// What an output of format target does not keep of buffer's fields, as a user reads them:
// "track total", "ISRC". Empty when the output holds every one.
QStringList FieldsNotKept(const TagBuffer& buffer, OutputKind target);

enum class IntegerWidth { Bits16, Bits32 };

// The number a text starts with (blanks first are skipped; "1999abc" gives 1999, "" or
// "abc" give 0), rounded half to even. Empty when it does not fit a signed integer of width.
std::optional<int> numericValue(const QString& text, IntegerWidth width);

} // namespace tunevale
