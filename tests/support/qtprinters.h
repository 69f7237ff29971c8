#pragma once

// Teaches GoogleTest to print Qt's strings, so a failing comparison shows their text rather
// than their bytes. Every test includes it.

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
