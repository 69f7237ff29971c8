#pragma once

#include <QByteArray>
#include <QString>

namespace tunevale {

// The bytes the operating system knows a path by, for the C libraries (FFmpeg, TagLib) and for
// system calls. Every path handed to a library or a system call goes through here, so names the
// locale cannot decode still reach the right file.
QByteArray nativePath(const QString& path);

// The path for bytes the operating system gave (a directory entry, an argument).
QString pathFromNative(const QByteArray& bytes);

} // namespace tunevale
