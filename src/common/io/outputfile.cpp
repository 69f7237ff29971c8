#include "common/io/outputfile.h"

#include <QDir>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace tunevale {

namespace {

// Encoders write a few hundred bytes at a time; one system call per this many bytes.
constexpr qsizetype kBufferBytes = 64 * 1024;

Status cannotCreate(const QString& path, int error)
{
    return Status::error(QStringLiteral("Cannot create %1: %2")
                             .arg(QDir::toNativeSeparators(path), systemErrorText(error)));
}

} // namespace

OutputStream::~OutputStream()
{
    if (m_file.isValid())
        (void)flush();
}

Status OutputStream::open(UniqueFd file, const QString& shownPath)
{
    m_file = std::move(file);
    m_shownPath = shownPath;
    m_buffer.clear();
    m_buffer.reserve(kBufferBytes);
    m_error = 0;
    if (!m_file.isValid())
        return cannotCreate(shownPath, EBADF);
    return {};
}

bool OutputStream::fail(int error)
{
    m_error = error;
    return false;
}

bool OutputStream::write(const char* data, qint64 size)
{
    if (!m_file.isValid())
        return fail(EBADF);
    if (m_buffer.size() + size > kBufferBytes && !flush())
        return false;
    if (size >= kBufferBytes) {
        while (size > 0) {
            const ssize_t written = ::write(m_file.get(), data, size_t(size));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return fail(written < 0 ? errno : ENOSPC);
            data += written;
            size -= written;
        }
        return true;
    }
    m_buffer.append(data, size);
    return true;
}

bool OutputStream::flush()
{
    if (!m_file.isValid())
        return fail(EBADF);
    const char* data = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t written = ::write(m_file.get(), data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_buffer.resize(0);
            return fail(written < 0 ? errno : ENOSPC);
        }
        data += written;
        left -= written;
    }
    m_buffer.resize(0); // keeps the allocation, unlike clear()
    return true;
}

bool OutputStream::seek(qint64 position)
{
    if (!flush())
        return false;
    return ::lseek(m_file.get(), off_t(position), SEEK_SET) >= 0 || fail(errno);
}

qint64 OutputStream::size()
{
    struct stat info = {};
    if (!flush())
        return -1;
    if (::fstat(m_file.get(), &info) != 0) {
        fail(errno);
        return -1;
    }
    return info.st_size;
}

Status OutputStream::failure() const
{
    return Status::error(QStringLiteral("Cannot write %1: %2")
                             .arg(QDir::toNativeSeparators(m_shownPath), systemErrorText(m_error)));
}

Status OutputStream::close(Status status)
{
    if (status && m_file.isValid() && !flush())
        status = failure();
    m_buffer.clear();
    // Closing a local file reports nothing that flush() has not.
    m_file = UniqueFd();
    return status;
}

Status createOutputFile(const QString& path, UniqueFd& file)
{
    int error = 0;
    file = createExclusive(path, error);
    return file.isValid() ? Status() : cannotCreate(path, error);
}

} // namespace tunevale
