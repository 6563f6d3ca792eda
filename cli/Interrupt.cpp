#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>

namespace tolmar::cli {

namespace {
std::atomic<bool> signalled{false};
struct sigaction oldInt {};
struct sigaction oldTerm {};

extern "C" void onInterrupt(int)
{
    signalled = true;
}
} // namespace

InterruptGuard::InterruptGuard()
{
    signalled = false;
    // No SA_RESTART: a read from a terminal or pipe returns, so a replay from
    // standard input ends at once too.
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);
}

InterruptGuard::~InterruptGuard()
{
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    signalled = false;
}

bool InterruptGuard::interrupted()
{
    return signalled;
}

} // namespace tolmar::cli
