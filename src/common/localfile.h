#pragma once

#include "common/safefile.h"

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

// path made absolute against the working folder, whose name is read by its bytes (Qt's own
// reading of it loses names that are not UTF-8). Neither cleaned nor resolved.
QString absolutePath(const QString& path);

// Opens path as a regular file (a link to one counts), read-only or for reading and writing,
// without ever waiting: a FIFO, a device, a socket or a folder is refused at once, before
// anything could block on it. On failure the result is invalid and error holds the errno
// value, or kNotRegularFile; openErrorText() reads either.
enum class OpenFor { Reading, Writing };
constexpr int kNotRegularFile = -1;
UniqueFd openRegularFile(const QString& path, OpenFor purpose, int& error);
// "not a regular file", or the system's text for an errno value.
QString openErrorText(int error);

// Opens the regular file at path for reading into file (which closes it).
bool openForReading(QFile& file, const QString& path);

// Opens path for reading and writing into file without truncating it, creating it when
// missing; a link there is not followed.
bool openForUpdate(QFile& file, const QString& path);

} // namespace tunevale
