#pragma once

#include <QString>

#include <cstdio>

namespace tunevale {

// Standard output or standard error of tunevale-cli. Text goes out as the bytes nativePath()
// makes of it (common/nativepath.h), so a name that is not UTF-8 prints as the bytes it has on
// disk, where a QTextStream would print U+FFFD. Text from files should pass through
// displayText() (common/displaytext.h) on its way here.
class CliStream {
public:
    explicit CliStream(std::FILE* file)
        : m_file(file)
    {}

    CliStream& operator<<(const QString& text);
    // UTF-8 text of the program's own.
    CliStream& operator<<(const char* text);
    CliStream& operator<<(qint64 number);
    CliStream& operator<<(int number) { return *this << qint64(number); }
    void flush();

private:
    std::FILE* m_file;
};

} // namespace tunevale
