#pragma once

// Teaches GoogleTest to print Qt's strings and the output formats, so a failing comparison or
// a parameterised test's name shows their text rather than their bytes. Every test includes it.

#include "common/codecs/outputformat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

// Found by argument-dependent lookup: QString and friends live in the global namespace.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '{';
    for (qsizetype index = 0; index < list.size(); ++index) {
        if (index > 0)
            *out << ", ";
        PrintTo(list[index], out);
    }
    *out << '}';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << '"' << bytes.toStdString() << '"';
}

namespace tunevale {

// Found by argument-dependent lookup in the enum's own namespace: "MP3", "WMA", ...
inline void PrintTo(OutputKind kind, std::ostream* out)
{
    *out << formatCaption(kind).toStdString();
}

} // namespace tunevale
