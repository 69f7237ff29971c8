#include "common/localfile.h"

#include "common/nativepath.h"

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

bool openForReading(QFile& file, const QString& path)
{
    const int descriptor = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    if (file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    ::close(descriptor);
    return false;
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
