#include "convert/meterthread.h"

namespace tunevale {

namespace {

constexpr size_t kMostWaiting = 2;

} // namespace

MeterThread::MeterThread(LoudnessMeter& meter)
    : m_meter(meter)
    , m_thread([this] { measureBlocks(); })
{}

MeterThread::~MeterThread()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void MeterThread::add(std::span<const qint16> samples)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waiting.size() < kMostWaiting; });
    std::vector<qint16> block;
    if (!m_spare.empty()) {
        block = std::move(m_spare.back());
        m_spare.pop_back();
    }
    block.assign(samples.begin(), samples.end());
    m_waiting.push_back(std::move(block));
    lock.unlock();
    m_changed.notify_all();
}

Status MeterThread::finish()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waiting.empty() && !m_measuring; });
    return m_status;
}

void MeterThread::measureBlocks()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_closing || !m_waiting.empty(); });
        if (m_waiting.empty())
            return;
        std::vector<qint16> block = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_measuring = true;
        lock.unlock();
        m_changed.notify_all();
        Status status = m_meter.add(block);
        lock.lock();
        m_measuring = false;
        if (m_status && !status)
            m_status = status;
        m_spare.push_back(std::move(block));
        m_changed.notify_all();
    }
}

} // namespace tunevale
