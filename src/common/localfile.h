#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tunevale {

// What QFileInfo tells about a path, asked of the system by the path's own bytes
// (common/nativepath.h), so names that are not UTF-8 are found too.
struct LocalFileInfo {
    bool exists = false; // also true for a link, even a dangling one
    bool isSymLink = false;
    bool isFile = false; // a regular file, or a link to one
    bool isDir = false;  // a folder, or a link to one
    qint64 size = 0;
    QDateTime lastModified;

    static LocalFileInfo of(const QString& path);
};

// Whether the calling user may read (and, if asked, write) path.
bool isAccessible(const QString& path, bool forWriting);

// The entry names of a folder (no "." or ".."), unsorted; empty when it cannot be read.
QStringList folderEntryNames(const QString& folder);

// path with every link resolved, or empty when it does not exist.
QString canonicalPath(const QString& path);

// Opens path for reading into file (which closes it).
bool openForReading(QFile& file, const QString& path);

// Opens path for reading and writing into file without truncating it, creating it when
// missing; a link there is not followed.
bool openForUpdate(QFile& file, const QString& path);

} // namespace tunevale
