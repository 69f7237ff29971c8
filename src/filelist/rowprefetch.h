#pragma once

#include "filelist/rowtexts.h"

#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tunevale {

class AudioInformation;

// Probes files on worker threads, a bounded number ahead of the reader, and hands their rows
// back in the order of the paths: the file list fills as fast as the processors probe, in the
// order the user gave.
class RowPrefetch {
public:
    // Builds one path's row; each worker thread has its own information object.
    using Probe = std::function<ProbedFile(const QString& path, AudioInformation&)>;
    static Probe defaultProbe(); // probeFile

    explicit RowPrefetch(QStringList paths, int threads = 0, // 0: one per processor
                         Probe probe = defaultProbe());
    ~RowPrefetch(); // unclaimed paths are not probed
    RowPrefetch(const RowPrefetch&) = delete;
    RowPrefetch& operator=(const RowPrefetch&) = delete;

    // True once the next path's probe is done, waiting at most timeout for it: a caller that
    // must keep serving events waits in short steps rather than for a probe without end.
    bool waitForNext(std::chrono::milliseconds timeout);
    // The next path's probe, waiting for it: its row, or why it has none. Call it at most once
    // per path.
    ProbedFile next();

private:
    void probeUntilStopped();

    static constexpr qsizetype kAhead = 64; // rows probed but not yet taken, at most

    const QStringList m_paths;
    const Probe m_probe;
    std::vector<std::optional<ProbedFile>> m_rows; // empty until probed
    qsizetype m_claimed = 0;
    qsizetype m_taken = 0;
    bool m_stopping = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::thread> m_workers;
};

} // namespace tunevale
