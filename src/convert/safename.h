#pragma once

#include <QString>

// Output names made from text that comes from files (tag values, source names): data that
// must never pick where an output lands nor make it hidden.
namespace tunevale {

// The longest path component most file systems take, in bytes.
constexpr int kComponentBytes = 255;

// text as one path component: separators and control characters become "_", leading dots
// and blanks are dropped (no ".", "..", no hidden name), trailing blanks too; empty text
// gives "_". With portable the component is also one FAT, exFAT and NTFS accept: none of
// \ : * ? " < > |, no trailing dot, no device name such as CON or com1.txt (those get a "_").
QString safeComponent(const QString& text, bool portable);

// name cut to at most maxBytes bytes of UTF-8 without splitting a character; what follows
// the last dot (the extension, dot included) is kept whole when it fits.
QString cutToBytes(const QString& name, int maxBytes = kComponentBytes);

} // namespace tunevale
