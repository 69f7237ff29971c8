#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace tunevale {

// Walks a folder, and if asked its sub-folders, offering every file whose name matches a
// filter. Rows come in this order: the folder's own files, then each sub-folder's files in
// discovery order (a folder's direct sub-folders are found together, before any of them is
// walked), each folder's files in name order. Hidden entries and sub-folders whose names
// begin with a dot are left out; unreadable folders are skipped; a folder reached twice
// (through links) is walked once.
class FolderScan {
public:
    struct Hooks {
        std::function<void(const QString& path)> fileFound; // probe and add one file
        std::function<void()> yield;                        // give the event loop its turn
        std::function<bool()> stopRequested;                // polled after every entry and file
    };

    explicit FolderScan(Hooks hooks);

    // When set, takes each folder's files at once in place of fileFound, so that they can be
    // probed together; false ends the walk.
    using FolderFilesFound = std::function<bool(const QStringList& paths)>;
    void setFolderFilesFound(FolderFilesFound hook) { m_folderFilesFound = std::move(hook); }

    // filter: wildcard patterns separated by semicolons, matched without regard to case.
    void run(const QString& folder, const QString& filter, bool includeSubfolders);

    // The matching files of one folder, full paths in ascending name order.
    static QStringList matchingFiles(const QString& folder, const QStringList& patterns);
    static QStringList patternsOf(const QString& filter);

private:
    bool scanFolderFiles(const QString& folder, const QStringList& patterns);
    bool discoverSubfolders(const QString& folder, QStringList& discovered);
    bool stopped() const { return m_hooks.stopRequested && m_hooks.stopRequested(); }
    void yield() const;

    Hooks m_hooks;
    FolderFilesFound m_folderFilesFound;
    QSet<QString> m_visited; // canonical paths of folders already walked
};

} // namespace tunevale
