#pragma once

#include "filelist/rowtexts.h"

#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tunevale {

// Probes files on worker threads, a bounded number ahead of the reader, and hands their rows
// back in the order of the paths: the file list fills as fast as the processors probe, in the
// order the user gave.
class RowPrefetch {
public:
    explicit RowPrefetch(QStringList paths, int threads = 0); // 0: one per processor
    ~RowPrefetch();                                           // unclaimed paths are not probed
    RowPrefetch(const RowPrefetch&) = delete;
    RowPrefetch& operator=(const RowPrefetch&) = delete;

    // The row of the next path, waiting for its probe; nothing when that path is no audio
    // file, is a folder or vanished. Call it at most once per path.
    std::optional<FileRow> next();

private:
    void probeUntilStopped();

    static constexpr qsizetype kAhead = 64; // rows probed but not yet taken, at most

    const QStringList m_paths;
    std::vector<std::optional<std::optional<FileRow>>> m_rows; // outer: probed yet
    qsizetype m_claimed = 0;
    qsizetype m_taken = 0;
    bool m_stopping = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::thread> m_workers;
};

} // namespace tunevale
