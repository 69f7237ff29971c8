#pragma once

#include <array>

#include <signal.h>

namespace tunevale {

// While it lives, SIGINT, SIGTERM and SIGHUP only record a request that the conversion reads
// after each block; a second such signal ends the program at once as it normally would. A
// signal ignored when the guard is made (under nohup, in a shell's background) stays ignored.
class InterruptionGuard {
public:
    InterruptionGuard();
    ~InterruptionGuard();
    InterruptionGuard(const InterruptionGuard&) = delete;
    InterruptionGuard& operator=(const InterruptionGuard&) = delete;

    // True once one of the signals arrived.
    static bool requested();
    // The shell's status for the signal that arrived (128 plus its number), 0 for none.
    static int exitCode();

private:
    // Each signal's disposition before the guard, put back when it ends.
    std::array<struct sigaction, 3> m_previous = {};
};

} // namespace tunevale
