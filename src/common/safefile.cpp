#include "common/safefile.h"

#include "common/nativepath.h"

#include <cerrno>
#include <cstring>
#include <type_traits>

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tunevale {

UniqueFd::~UniqueFd()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

int UniqueFd::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

UniqueFd UniqueFd::duplicate() const
{
    return UniqueFd(m_fd >= 0 ? ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0) : -1);
}

QString systemErrorText(int error)
{
    char buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const auto text = [&](auto result) -> const char* {
        if constexpr (std::is_same_v<decltype(result), char*>)
            return result;
        else
            return result == 0 ? buffer : "Unknown error";
    }(strerror_r(error, buffer, sizeof buffer));
    return QString::fromLocal8Bit(text);
}

UniqueFd createExclusive(const QString& path, int& error)
{
    UniqueFd fd(::open(nativePath(path).constData(),
                       O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    error = fd.isValid() ? 0 : errno;
    return fd;
}

int moveWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = nativePath(from);
    const QByteArray target = nativePath(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // link() fails on an existing name just as the rename above does.
    if (::link(source.constData(), target.constData()) != 0)
        return errno;
    ::unlink(source.constData());
    return 0;
}

int makeFoldersBelow(const QString& base, const QStringList& names)
{
    UniqueFd folder(::open(nativePath(base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isValid())
        return errno;
    for (const QString& name : names) {
        const QByteArray native = nativePath(name);
        if (::mkdirat(folder.get(), native.constData(), 0777) != 0 && errno != EEXIST)
            return errno;
        // O_NOFOLLOW refuses a link planted where the folder was made or found.
        UniqueFd below(::openat(folder.get(), native.constData(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!below.isValid())
            return errno;
        folder = std::move(below);
    }
    return 0;
}

int removeFile(const QString& path)
{
    return ::unlink(nativePath(path).constData()) == 0 ? 0 : errno;
}

bool tryLockFile(int fd)
{
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

qint64 currentProcessId()
{
    return ::getpid();
}

bool processExists(qint64 id)
{
    return id > 0 && (::kill(pid_t(id), 0) == 0 || errno == EPERM);
}

PathCheck::PathCheck(const QString& path)
    : m_fd(::open(nativePath(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK))
{
    struct stat info = {};
    if (m_fd.isValid() && (::fstat(m_fd.get(), &info) != 0 || !S_ISREG(info.st_mode)))
        m_fd = UniqueFd();
    m_device = info.st_dev;
    m_inode = info.st_ino;
}

bool PathCheck::stillAt(const QString& path) const
{
    struct stat info = {};
    return m_fd.isValid() && ::lstat(nativePath(path).constData(), &info) == 0 &&
           info.st_dev == m_device && info.st_ino == m_inode;
}

} // namespace tunevale
