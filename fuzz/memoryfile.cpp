#include "fuzz/memoryfile.h"

#include <sys/mman.h>
#include <unistd.h>

namespace tunevale::fuzz {

MemoryFile::MemoryFile(const std::uint8_t* data, std::size_t size)
    : m_descriptor(::memfd_create("fuzz-input", MFD_CLOEXEC))
{
    std::size_t written = 0;
    while (m_descriptor >= 0 && written < size) {
        const ssize_t result = ::write(m_descriptor, data + written, size - written);
        if (result <= 0) {
            ::close(m_descriptor);
            m_descriptor = -1;
        } else {
            written += std::size_t(result);
        }
    }
}

MemoryFile::~MemoryFile()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

QString MemoryFile::path() const
{
    return QStringLiteral("/proc/self/fd/%1").arg(m_descriptor);
}

} // namespace tunevale::fuzz
