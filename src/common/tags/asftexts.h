#pragma once

#include <QByteArrayView>
#include <QString>

#include <taglib/tiostream.h>

#include <map>
#include <optional>

namespace tunevale {

// The texts of an ASF (WMA) header with every character, embedded NULs too: TagLib 1 cuts a
// text at its first NUL. Terminating NULs stay on the values.
struct AsfTexts {
    // From the Content Description object; its copyright and rating are not carried.
    QString title;
    QString author;
    QString description;
    // The first Unicode value of each attribute name, from the Extended Content Description,
    // Metadata and Metadata Library objects.
    std::map<QString, QString> attributes;
};

// A whole ASF header object, from its GUID on. Nothing when any object in it is damaged or
// runs past the end.
std::optional<AsfTexts> parseAsfHeader(QByteArrayView header);

// The header of an ASF file; nothing for a damaged one or one too big to read whole.
std::optional<AsfTexts> readAsfTexts(TagLib::IOStream& stream);

} // namespace tunevale
