#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace tunevale {

// The bytes the operating system knows a path by, for the C libraries (FFmpeg, TagLib) and for
// system calls. Every path handed to a library or a system call goes through here, so names the
// locale cannot decode still reach the right file.
//
// Names are UTF-8; a byte that is not part of valid UTF-8 (a Latin-1 "caf\xe9.wav") becomes
// the lone surrogate U+DC00 + byte and goes back to that byte, so every name makes the round
// trip unchanged. Qt's own file classes cannot reach such names (they decode them to U+FFFD):
// use common/localfile.h for them.
QByteArray nativePath(const QString& path);

// The path for bytes the operating system gave (a directory entry, an argument).
QString pathFromNative(const QByteArray& bytes);

// The local path of a file: URL (a drop, a file dialog's answer). QUrl::toLocalFile() decodes
// the name as UTF-8; the percent-encoded bytes are the file's own.
QString pathFromLocalUrl(const QUrl& url);

// The program's arguments after argv[0], carried through byte for byte.
QStringList argumentsFromNative(int argc, const char* const* argv);

} // namespace tunevale
