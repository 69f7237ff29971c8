#include "cli/clistream.h"

#include "common/nativepath.h"

#include <cstring>

namespace tunevale {

CliStream& CliStream::operator<<(const QString& text)
{
    const QByteArray bytes = nativePath(text);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_file);
    return *this;
}

CliStream& CliStream::operator<<(const char* text)
{
    std::fwrite(text, 1, std::strlen(text), m_file);
    return *this;
}

CliStream& CliStream::operator<<(qint64 number)
{
    return *this << QString::number(number);
}

void CliStream::flush()
{
    std::fflush(m_file);
}

} // namespace tunevale
