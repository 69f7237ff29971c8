#include "cli/interruption.h"

#include <atomic>

namespace tunevale {

namespace {

constexpr std::array kSignals = {SIGINT, SIGTERM, SIGHUP};

// Written by the handler: a lock-free atomic is safe there.
std::atomic<int> g_signal = 0;
static_assert(std::atomic<int>::is_always_lock_free);

void recordSignal(int number)
{
    g_signal.store(number);
}

} // namespace

InterruptionGuard::InterruptionGuard()
{
    static_assert(kSignals.size() == std::tuple_size_v<decltype(m_previous)>);
    g_signal.store(0);
    struct sigaction action = {};
    action.sa_handler = recordSignal;
    sigemptyset(&action.sa_mask);
    // The handler runs once; a second signal finds the default action again.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (size_t index = 0; index < kSignals.size(); ++index) {
        sigaction(kSignals[index], nullptr, &m_previous[index]);
        // Whoever started us asked for the signal to be ignored (nohup, a background job).
        if (m_previous[index].sa_handler != SIG_IGN)
            sigaction(kSignals[index], &action, nullptr);
    }
}

InterruptionGuard::~InterruptionGuard()
{
    for (size_t index = 0; index < kSignals.size(); ++index)
        sigaction(kSignals[index], &m_previous[index], nullptr);
}

bool InterruptionGuard::requested()
{
    return g_signal.load() != 0;
}

int InterruptionGuard::exitCode()
{
    const int number = g_signal.load();
    return number == 0 ? 0 : 128 + number;
}

} // namespace tunevale
