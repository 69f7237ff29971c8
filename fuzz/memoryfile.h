#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

namespace tunevale::fuzz {

// One fuzz input as a file in memory, named by a path that the components open like any
// other. Nothing touches the disk, so millions of inputs cost no I/O.
class MemoryFile {
public:
    MemoryFile(const std::uint8_t* data, std::size_t size);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    bool isValid() const { return m_descriptor >= 0; }
    QString path() const;

private:
    int m_descriptor = -1;
};

} // namespace tunevale::fuzz
