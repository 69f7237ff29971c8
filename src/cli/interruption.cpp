#include "cli/interruption.h"

#include <atomic>

#include <signal.h>

namespace tunevale {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

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
    g_signal.store(0);
    struct sigaction action = {};
    action.sa_handler = recordSignal;
    sigemptyset(&action.sa_mask);
    // The handler runs once; a second signal finds the default action again.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (const int number : kSignals)
        sigaction(number, &action, nullptr);
}

InterruptionGuard::~InterruptionGuard()
{
    for (const int number : kSignals)
        signal(number, SIG_DFL);
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
