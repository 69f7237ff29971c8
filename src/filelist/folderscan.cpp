#include "filelist/folderscan.h"

#include "common/localfile.h"
#include "common/nativepath.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>

namespace tunevale {

namespace {

enum class EntryKind { File, Folder };

// The entries of one kind in folder, full paths in ascending name order without regard to case.
// The system lists the folder: Qt's listing leaves out names that are not UTF-8. Names
// beginning with a dot are hidden.
QStringList entriesOf(const QString& folder, EntryKind kind,
                      const QList<QRegularExpression>& filters = {})
{
    const QDir dir(folder);
    QStringList names = folderEntryNames(folder);
    const auto unwanted = [&](const QString& name) {
        if (name.startsWith(u'.'))
            return true;
        // Regular expressions refuse the escapes of undecodable bytes; match those as U+FFFD.
        const QString matched = QString::fromUtf8(nativePath(name));
        const auto matches = [&matched](const QRegularExpression& filter) {
            return filter.match(matched).hasMatch();
        };
        if (!filters.isEmpty() && std::none_of(filters.begin(), filters.end(), matches))
            return true;
        const LocalFileInfo info = LocalFileInfo::of(dir.filePath(name));
        return kind == EntryKind::File ? !info.isFile : !info.isDir;
    };
    names.erase(std::remove_if(names.begin(), names.end(), unwanted), names.end());
    std::sort(names.begin(), names.end(), [](const QString& left, const QString& right) {
        const int order = left.compare(right, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : left < right;
    });
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& name : std::as_const(names))
        paths.append(QDir::toNativeSeparators(dir.filePath(name)));
    return paths;
}

} // namespace

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
    QList<QRegularExpression> filters;
    for (const QString& pattern : patterns)
        filters.append(QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive));
    return entriesOf(folder, EntryKind::File, filters);
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
    m_visited.insert(canonicalPath(folder));
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
    if (m_folderFilesFound) {
        const QStringList files = matchingFiles(folder, patterns);
        return (files.isEmpty() || m_folderFilesFound(files)) && !stopped();
    }
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
    QStringList children;
    for (const QString& path : entriesOf(folder, EntryKind::Folder)) {
        yield();
        if (stopped())
            return false;
        // A link back up the tree must not make the walk go round for ever.
        const QString canonical = canonicalPath(path);
        if (canonical.isEmpty() || m_visited.contains(canonical))
            continue;
        m_visited.insert(canonical);
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
