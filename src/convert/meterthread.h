#pragma once

#include "common/audio/status.h"
#include "convert/loudness.h"

#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace tunevale {

// Feeds a started loudness meter on a thread of its own, so that a conversion with a core to
// spare does not wait for its meter. Blocks are copied; while two wait, add() waits too, so a
// slow meter holds the conversion back instead of filling memory.
class MeterThread {
public:
    explicit MeterThread(LoudnessMeter& meter);
    // Measures what was added, then ends the thread.
    ~MeterThread();
    MeterThread(const MeterThread&) = delete;
    MeterThread& operator=(const MeterThread&) = delete;

    void add(std::span<const qint16> samples);
    // Waits until every block added is measured; the meter's first failure, if any. The
    // meter may be read once this returns.
    Status finish();

private:
    void measureBlocks();

    LoudnessMeter& m_meter;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<qint16>> m_waiting;
    std::vector<std::vector<qint16>> m_spare; // measured blocks, kept for reuse
    bool m_measuring = false;                 // a block is out of the queue being measured
    bool m_closing = false;
    Status m_status;
    std::thread m_thread; // last: starts once the rest exists
};

} // namespace tunevale
