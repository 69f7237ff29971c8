#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tunevale {

class FileListView;

// A file that got no row, and why ("not audio", "unreadable", "unsupported encoding").
struct SkippedFile {
    QString path;
    QString reason;

    friend bool operator==(const SkippedFile&, const SkippedFile&) = default;
};

// "path: reason", one line per file, for the user to read.
QString skippedFilesText(const QList<SkippedFile>& skipped);

// Adds files to the list while worker threads probe the ones ahead: rows go in the order of
// the paths, the caller's event loop gets its turns, and a stop request ends the work after at
// most the probes already running.
class ListFeed {
public:
    struct Hooks {
        std::function<void()> turn;              // after every row, and while a probe is slow
        std::function<bool()> stopRequested;     // polled after every turn
        std::function<void(int added)> rowAdded; // rows this feed added so far
    };

    // threads: probing threads, 0 for one per processor.
    ListFeed(FileListView& list, Hooks hooks, int threads = 0);

    // Adds the paths not listed yet; false when a stop came first. baseFolder: the folder they
    // were found in or below (FileListView::AddBuiltRow).
    bool add(const QStringList& paths, const QString& baseFolder = {});
    void skip(const QString& path, const QString& reason) { m_skipped.append({path, reason}); }

    int addedCount() const { return m_added; }
    const QList<SkippedFile>& skipped() const { return m_skipped; }

private:
    bool stopped() const { return m_hooks.stopRequested && m_hooks.stopRequested(); }
    void turn() const;

    FileListView& m_list;
    Hooks m_hooks;
    int m_threads;
    int m_added = 0;
    QList<SkippedFile> m_skipped;
};

} // namespace tunevale
