#include "common/tags/fdtagstream.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace tunevale {

FdTagStream::FdTagStream(int fd, const QString& shownPath)
    : m_fd(fd)
    , m_name(shownPath.toUtf8())
{}

TagLib::ByteVector FdTagStream::readFrom(long offset, long length)
{
    TagLib::ByteVector data(static_cast<unsigned>(std::max(length, 0L)), '\0');
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t got =
            ::pread(m_fd, data.data() + done, data.size() - done, off_t(offset) + off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got < 0 && m_error == 0)
                m_error = errno;
            break;
        }
        done += size_t(got);
    }
    data.resize(static_cast<unsigned>(done));
    return data;
}

void FdTagStream::writeAt(long offset, const char* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t put = ::pwrite(m_fd, data + done, size - done, off_t(offset) + off_t(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (m_error == 0)
                m_error = put < 0 ? errno : ENOSPC;
            return;
        }
        done += size_t(put);
    }
}

TagLib::ByteVector FdTagStream::readBlock(unsigned long length)
{
    TagLib::ByteVector data = readFrom(m_position, long(length));
    m_position += long(data.size());
    return data;
}

void FdTagStream::writeBlock(const TagLib::ByteVector& data)
{
    writeAt(m_position, data.data(), data.size());
    m_position += long(data.size());
}

void FdTagStream::insert(const TagLib::ByteVector& data, unsigned long start, unsigned long replace)
{
    if (data.size() != replace) {
        const long tailStart = long(start + replace);
        const TagLib::ByteVector tail = readFrom(tailStart, length() - tailStart);
        writeAt(long(start + data.size()), tail.data(), tail.size());
        if (data.size() < replace)
            truncate(long(start + data.size() + tail.size()));
    }
    writeAt(long(start), data.data(), data.size());
    m_position = long(start + data.size());
}

void FdTagStream::removeBlock(unsigned long start, unsigned long length)
{
    insert(TagLib::ByteVector(), start, length);
}

void FdTagStream::seek(long offset, Position position)
{
    switch (position) {
    case Beginning:
        m_position = offset;
        break;
    case Current:
        m_position += offset;
        break;
    case End:
        m_position = length() + offset;
        break;
    }
}

long FdTagStream::length()
{
    struct stat info = {};
    if (::fstat(m_fd, &info) != 0) {
        if (m_error == 0)
            m_error = errno;
        return 0;
    }
    return long(info.st_size);
}

void FdTagStream::truncate(long length)
{
    if (::ftruncate(m_fd, off_t(length)) != 0 && m_error == 0)
        m_error = errno;
}

} // namespace tunevale
