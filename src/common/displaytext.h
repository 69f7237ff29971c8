#pragma once

#include <QString>

namespace tunevale {

// Text from outside the program (file names, tags, library messages) made safe to print on a
// terminal or in a log line: a control character cannot retitle the terminal, move its cursor
// or start a line of its own. Tab, line feed and carriage return become "\t", "\n" and "\r";
// other control characters (U+0000-U+001F, U+007F-U+009F) "\x1b" and so on; line and
// paragraph separators and the direction overrides "\u2028" and so on. A byte of a name that
// is not UTF-8 (held as in common/nativepath.h) is kept, so the name prints as its own bytes,
// unless it is one of the C1 control codes 0x80-0x9F of 8-bit terminals: that one becomes
// "\x9b" too. A backslash stays as it is.
QString displayText(const QString& text);

} // namespace tunevale
