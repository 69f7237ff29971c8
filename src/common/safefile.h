#pragma once

#include <QString>
#include <QStringList>

// The few system calls that keep outputs from replacing anything: exclusive creation,
// moves that never replace, advisory locks. Paths go to the system through nativePath().
namespace tunevale {

// Owns a file descriptor and closes it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : m_fd(fd)
    {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept
        : m_fd(other.release())
    {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    int release();
    // A second descriptor for the same open file (sharing its offset and locks).
    UniqueFd duplicate() const;

private:
    int m_fd = -1;
};

// The system's own text for an errno value ("No space left on device").
QString systemErrorText(int error);

// Creates path for reading and writing only when nothing is there, not even a dangling
// link. On failure the result is invalid and error holds the errno value.
UniqueFd createExclusive(const QString& path, int& error);

// Gives the file at from the name to, only when nothing is at to (EEXIST then). Where the
// file system has no such rename, a hard link and an unlink do the same. 0 or errno.
int moveWithoutReplacing(const QString& from, const QString& to);

// Makes each of names, one below the other, under the existing folder base, never following a
// link at or below base: a link or a file where a folder should be fails the call (ELOOP or
// ENOTDIR). Folders already there are used. 0 or errno.
int makeFoldersBelow(const QString& base, const QStringList& names);

// Removes path (never following a link); 0 or errno.
int removeFile(const QString& path);

// An exclusive advisory lock on the open file, held until every descriptor of it is closed.
// False when another open file holds it (or on failure).
bool tryLockFile(int fd);

// The id of this process, and whether a process with an id exists on this machine.
qint64 currentProcessId();
bool processExists(qint64 id);

// Opens an existing regular file read-only without following a link, and tells whether it
// is still the entry at path (same device and inode) when asked later.
class PathCheck {
public:
    explicit PathCheck(const QString& path);
    const UniqueFd& fd() const { return m_fd; }
    bool stillAt(const QString& path) const;

private:
    UniqueFd m_fd;
    quint64 m_device = 0;
    quint64 m_inode = 0;
};

} // namespace tunevale
