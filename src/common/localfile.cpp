#include "common/localfile.h"

#include "common/nativepath.h"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace tunevale {

LocalFileInfo LocalFileInfo::of(const QString& path)
{
    LocalFileInfo info;
    const QByteArray name = nativePath(path);
    struct stat entry {};
    if (::lstat(name.constData(), &entry) != 0)
        return info;
    info.exists = true;
    info.isSymLink = S_ISLNK(entry.st_mode);
    if (info.isSymLink && ::stat(name.constData(), &entry) != 0)
        return info;
    info.isFile = S_ISREG(entry.st_mode);
    info.isDir = S_ISDIR(entry.st_mode);
    info.size = entry.st_size;
    info.lastModified = QDateTime::fromMSecsSinceEpoch(qint64(entry.st_mtim.tv_sec) * 1000 +
                                                       entry.st_mtim.tv_nsec / 1'000'000);
    return info;
}

bool isAccessible(const QString& path, bool forWriting)
{
    return ::access(nativePath(path).constData(), forWriting ? R_OK | W_OK : R_OK) == 0;
}

QStringList folderEntryNames(const QString& folder)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(nativePath(folder).constData()),
                                                  ::closedir);
    QStringList names;
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(pathFromNative(name));
    }
    return names;
}

QString canonicalPath(const QString& path)
{
    const std::unique_ptr<char, void (*)(void*)> resolved(
        ::realpath(nativePath(path).constData(), nullptr), std::free);
    return resolved ? pathFromNative(QByteArray(resolved.get())) : QString();
}

QString absolutePath(const QString& path)
{
    if (path.startsWith(u'/'))
        return path;
    const std::unique_ptr<char, void (*)(void*)> folder(::getcwd(nullptr, 0), std::free);
    if (!folder)
        return path;
    const QString base = pathFromNative(QByteArray(folder.get()));
    if (path.isEmpty())
        return base;
    return base.endsWith(u'/') ? base + path : base + u'/' + path;
}

UniqueFd openRegularFile(const QString& path, OpenFor purpose, int& error)
{
    const QByteArray name = nativePath(path);
    const bool writing = purpose == OpenFor::Writing;
    const auto refuse = [&error](int why) {
        error = why;
        return UniqueFd();
    };
    const auto kindError = [](mode_t mode) {
        if (S_ISREG(mode))
            return 0;
        return S_ISDIR(mode) ? EISDIR : kNotRegularFile;
    };
    // Looked at before opening: opening a device can act on it, and a FIFO would wait for a
    // writer without O_NONBLOCK.
    struct stat info {};
    if ((writing ? ::lstat(name.constData(), &info) : ::stat(name.constData(), &info)) != 0)
        return refuse(errno);
    if (const int why = kindError(info.st_mode))
        return refuse(why);
    const int access = writing ? O_RDWR | O_NOFOLLOW : O_RDONLY;
    UniqueFd fd(::open(name.constData(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.isValid())
        return refuse(errno);
    // The name may lead somewhere else since it was looked at.
    if (::fstat(fd.get(), &info) != 0)
        return refuse(errno);
    if (const int why = kindError(info.st_mode))
        return refuse(why);
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return refuse(errno);
    error = 0;
    return fd;
}

QString openErrorText(int error)
{
    return error == kNotRegularFile ? QStringLiteral("not a regular file") : systemErrorText(error);
}

bool openForReading(QFile& file, const QString& path)
{
    int error = 0;
    UniqueFd descriptor = openRegularFile(path, OpenFor::Reading, error);
    if (!descriptor.isValid() ||
        !file.open(descriptor.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return false;
    (void)descriptor.release(); // the file closes it now
    return true;
}

bool openForUpdate(QFile& file, const QString& path)
{
    const int descriptor =
        ::open(nativePath(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return false;
    if (file.open(descriptor, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle))
        return true;
    ::close(descriptor);
    return false;
}

} // namespace tunevale
