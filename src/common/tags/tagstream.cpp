#include "common/tags/tagstream.h"

#include "common/nativepath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tunevale {

namespace {

// Tags go in front of an MP3's audio, so adding them moves the whole file along.
constexpr qint64 kMoveChunkBytes = qint64{1} << 20;

} // namespace

TagStream::TagStream(const QString& path, OpenFor purpose)
    : m_name(nativePath(path))
    , m_openError(0)
    , m_file(openRegularFile(path, purpose, m_openError))
    , m_writable(purpose == OpenFor::Writing && m_file.isValid())
{
    m_size = length();
}

QString TagStream::openFailure() const
{
    return m_file.isValid() ? QString() : openErrorText(m_openError);
}

Status TagStream::writeResult()
{
    if (m_writeError != 0)
        return Status::error(systemErrorText(m_writeError));
    const qint64 size = length();
    if (size != m_size)
        return Status::error(
            QStringLiteral("the file holds %1 of the %2 bytes written").arg(size).arg(m_size));
    return {};
}

TagLib::FileName TagStream::name() const
{
    return m_name.constData();
}

TagLib::ByteVector TagStream::readBlock(unsigned long length)
{
    // TagLib asks for more than is there near the end of a file; allocate only what is.
    const qint64 available = std::max<qint64>(0, this->length() - m_position);
    TagLib::ByteVector block(unsigned(std::min<qint64>(available, qint64(length))));
    const qint64 got = readAt(m_position, block.data(), block.size());
    block.resize(unsigned(std::max<qint64>(got, 0)));
    m_position += block.size();
    return block;
}

void TagStream::writeBlock(const TagLib::ByteVector& data)
{
    if (!m_writable || !writeAt(m_position, data.data(), data.size()))
        return;
    m_position += data.size();
    m_size = std::max(m_size, m_position);
}

void TagStream::insert(const TagLib::ByteVector& data, unsigned long start, unsigned long replace)
{
    if (!m_writable)
        return;
    const qint64 begin = qint64(start);
    const qint64 size = data.size();
    if (size != qint64(replace) && !moveTail(begin + qint64(replace), begin + size))
        return;
    if (!writeAt(begin, data.data(), size))
        return;
    m_position = begin + size;
    m_size = std::max(m_size, m_position);
}

void TagStream::removeBlock(unsigned long start, unsigned long length)
{
    if (m_writable)
        (void)moveTail(qint64(start) + qint64(length), qint64(start));
}

bool TagStream::readOnly() const
{
    return !m_writable;
}

bool TagStream::isOpen() const
{
    return m_file.isValid();
}

void TagStream::seek(long offset, Position position)
{
    qint64 target = offset;
    if (position == Current)
        target += m_position;
    else if (position == End)
        target += length();
    if (target >= 0)
        m_position = target;
}

long TagStream::tell() const
{
    return long(m_position);
}

long TagStream::length()
{
    struct stat info {};
    return m_file.isValid() && ::fstat(m_file.get(), &info) == 0 ? long(info.st_size) : 0;
}

void TagStream::truncate(long length)
{
    if (!m_writable)
        return;
    if (::ftruncate(m_file.get(), off_t(length)) != 0) {
        (void)fail(errno);
        return;
    }
    m_size = length;
}

qint64 TagStream::readAt(qint64 position, char* data, qint64 size)
{
    qint64 done = 0;
    while (m_file.isValid() && done < size) {
        const ssize_t got =
            ::pread(m_file.get(), data + done, size_t(size - done), position + done);
        if (got > 0)
            done += got;
        else if (got == 0 || errno != EINTR)
            break;
    }
    return done;
}

bool TagStream::writeAt(qint64 position, const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t put =
            ::pwrite(m_file.get(), data + done, size_t(size - done), position + done);
        if (put > 0)
            done += put;
        else if (put == 0)
            return fail(ENOSPC);
        else if (errno != EINTR)
            return fail(errno);
    }
    return true;
}

bool TagStream::moveTail(qint64 from, qint64 to)
{
    if (from == to)
        return true;
    // Removing the end of the file moves nothing but still shortens it.
    const qint64 count = std::max<qint64>(0, length() - from);
    std::vector<char> buffer(size_t(std::min(count, kMoveChunkBytes)));
    // Growing copies from the end backwards and shrinking from the start forwards, so no
    // chunk overwrites bytes still to be moved.
    const bool growing = to > from;
    for (qint64 done = 0; done < count;) {
        const qint64 chunk = std::min<qint64>(qint64(buffer.size()), count - done);
        const qint64 offset = growing ? count - done - chunk : done;
        if (readAt(from + offset, buffer.data(), chunk) != chunk)
            return fail(EIO);
        if (!writeAt(to + offset, buffer.data(), chunk))
            return false;
        done += chunk;
    }
    m_size = to + count;
    if (!growing && ::ftruncate(m_file.get(), off_t(m_size)) != 0)
        return fail(errno);
    return true;
}

bool TagStream::fail(int error)
{
    if (m_writeError == 0)
        m_writeError = error;
    return false;
}

} // namespace tunevale
