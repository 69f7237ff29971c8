#include "filelist/folderscan.h"

#include <QDir>
#include <QFileInfo>

namespace tunevale {

FolderScan::FolderScan(Hooks hooks)
    : m_hooks(std::move(hooks))
{}

QStringList FolderScan::patternsOf(const QString& filter)
{
    QStringList patterns;
    for (const QString& part : filter.split(u';', Qt::SkipEmptyParts)) {
        const QString pattern = part.trimmed();
        if (!pattern.isEmpty())
            patterns.append(pattern);
    }
    return patterns;
}

QStringList FolderScan::matchingFiles(const QString& folder, const QStringList& patterns)
{
    if (patterns.isEmpty())
        return {};
    // Without QDir::Hidden, names beginning with a dot and files the platform marks
    // hidden are left out; without QDir::CaseSensitive, patterns ignore case.
    const QDir dir(folder);
    QStringList paths;
    const QFileInfoList entries =
        dir.entryInfoList(patterns, QDir::Files, QDir::Name | QDir::IgnoreCase);
    paths.reserve(entries.size());
    for (const QFileInfo& entry : entries)
        paths.append(QDir::toNativeSeparators(entry.filePath()));
    return paths;
}

void FolderScan::yield() const
{
    if (m_hooks.yield)
        m_hooks.yield();
}

void FolderScan::run(const QString& folder, const QString& filter, bool includeSubfolders)
{
    m_visited.clear();
    const QStringList patterns = patternsOf(filter);
    m_visited.insert(QFileInfo(folder).canonicalFilePath());
    if (!scanFolderFiles(folder, patterns) || !includeSubfolders)
        return;

    QStringList discovered;
    if (!discoverSubfolders(folder, discovered))
        return;
    for (const QString& subfolder : std::as_const(discovered)) {
        if (!scanFolderFiles(subfolder, patterns))
            return;
    }
}

bool FolderScan::scanFolderFiles(const QString& folder, const QStringList& patterns)
{
    for (const QString& path : matchingFiles(folder, patterns)) {
        m_hooks.fileFound(path);
        yield();
        if (stopped())
            return false;
    }
    return !stopped();
}

bool FolderScan::discoverSubfolders(const QString& folder, QStringList& discovered)
{
    // A folder's direct sub-folders are entered together, in name order, before any is walked.
    const QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    QStringList children;
    for (const QFileInfo& entry : entries) {
        yield();
        if (stopped())
            return false;
        if (entry.fileName().startsWith(u'.'))
            continue;
        // A link back up the tree must not make the walk go round for ever.
        const QString canonical = entry.canonicalFilePath();
        if (canonical.isEmpty() || m_visited.contains(canonical))
            continue;
        m_visited.insert(canonical);
        const QString path = QDir::toNativeSeparators(entry.filePath());
        children.append(path);
        discovered.append(path);
    }
    for (const QString& child : std::as_const(children)) {
        if (!discoverSubfolders(child, discovered))
            return false;
    }
    return true;
}

} // namespace tunevale
