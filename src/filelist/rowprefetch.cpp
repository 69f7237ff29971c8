#include "filelist/rowprefetch.h"

#include "common/audio/audioinformation.h"

#include <QThread>

#include <algorithm>

namespace tunevale {

RowPrefetch::Probe RowPrefetch::defaultProbe()
{
    return [](const QString& path, AudioInformation& information) {
        return probeFile(path, information);
    };
}

RowPrefetch::RowPrefetch(QStringList paths, int threads, Probe probe)
    : m_paths(std::move(paths))
    , m_probe(std::move(probe))
    , m_rows(static_cast<size_t>(m_paths.size()))
{
    const int wanted = threads > 0 ? threads : std::max(1, QThread::idealThreadCount());
    const auto count = static_cast<int>(std::min<qsizetype>(wanted, m_paths.size()));
    m_workers.reserve(static_cast<size_t>(count));
    for (int worker = 0; worker < count; ++worker)
        m_workers.emplace_back([this] { probeUntilStopped(); });
}

RowPrefetch::~RowPrefetch()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

bool RowPrefetch::waitForNext(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (m_taken >= m_paths.size())
        return false;
    const auto index = static_cast<size_t>(m_taken);
    return m_changed.wait_for(lock, timeout, [&] { return m_rows[index].has_value(); });
}

ProbedFile RowPrefetch::next()
{
    std::unique_lock lock(m_mutex);
    const auto index = static_cast<size_t>(m_taken);
    m_changed.wait(lock, [&] { return m_rows[index].has_value(); });
    ProbedFile row = std::move(*m_rows[index]);
    m_rows[index].reset();
    ++m_taken;
    lock.unlock();
    m_changed.notify_all();
    return row;
}

void RowPrefetch::probeUntilStopped()
{
    AudioInformation information;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] {
            return m_stopping || (m_claimed < m_paths.size() && m_claimed < m_taken + kAhead);
        });
        if (m_stopping)
            return;
        const qsizetype index = m_claimed++;
        lock.unlock();
        ProbedFile row = m_probe(m_paths[index], information);
        lock.lock();
        m_rows[static_cast<size_t>(index)].emplace(std::move(row));
        m_changed.notify_all();
    }
}

} // namespace tunevale
