#pragma once

#include "common/audio/status.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace tunevale {

// Hands blocks to a consumer on a thread of its own, so that work beside a conversion (its
// loudness meter, a checksum) takes a spare core instead of the converting thread's time.
// Blocks are copied; while two wait, add() waits too, so a slow consumer holds the caller back
// instead of filling memory.
template <typename T> class BlockThread {
public:
    using Consumer = std::function<Status(std::span<const T>)>;

    explicit BlockThread(Consumer consume)
        : m_consume(std::move(consume))
        , m_thread([this] { consumeBlocks(); })
    {}
    // Consumes what was added, then ends the thread.
    ~BlockThread()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    BlockThread(const BlockThread&) = delete;
    BlockThread& operator=(const BlockThread&) = delete;

    void add(std::span<const T> block)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_waiting.size() < kMostWaiting; });
        std::vector<T> copy;
        if (!m_spare.empty()) {
            copy = std::move(m_spare.back());
            m_spare.pop_back();
        }
        copy.assign(block.begin(), block.end());
        m_waiting.push_back(std::move(copy));
        lock.unlock();
        m_changed.notify_all();
    }

    // Waits until every block added is consumed; the consumer's first failure, if any.
    Status finish()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_waiting.empty() && !m_consuming; });
        return m_status;
    }

private:
    static constexpr size_t kMostWaiting = 2;

    void consumeBlocks()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_closing || !m_waiting.empty(); });
            if (m_waiting.empty())
                return;
            std::vector<T> block = std::move(m_waiting.front());
            m_waiting.pop_front();
            m_consuming = true;
            lock.unlock();
            m_changed.notify_all();
            Status status = m_consume(block);
            lock.lock();
            m_consuming = false;
            if (m_status && !status)
                m_status = status;
            m_spare.push_back(std::move(block));
            m_changed.notify_all();
        }
    }

    Consumer m_consume;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<T>> m_waiting;
    std::vector<std::vector<T>> m_spare; // consumed blocks, kept for reuse
    bool m_consuming = false;            // a block is out of the queue being consumed
    bool m_closing = false;
    Status m_status;
    std::thread m_thread; // last: starts once the rest exists
};

} // namespace tunevale
