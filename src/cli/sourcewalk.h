#pragma once

#include <QString>
#include <QStringList>

namespace tunevale {

// The rows a command line's FILE and FOLDER arguments make, in argument order. A folder gives
// its audio files as Add Folder finds them (its own files by name, then its sub-folders' when
// recursive); each such row records the folder it had below the argument ("A/B", empty for
// the argument's own files). Files named on their own record nothing.
struct SourceRows {
    QStringList sources;
    QStringList relativeFolders; // one per source
    QStringList emptyFolders;    // folder arguments in which no audio file was found

    void add(const QString& argument, bool recursive);
};

} // namespace tunevale
