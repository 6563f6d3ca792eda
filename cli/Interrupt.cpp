#include "cli/Interrupt.h"

#include "platform/System.h"

#include <atomic>

namespace tolmar::cli {

namespace {
std::atomic<bool> signalled{false};
} // namespace

InterruptGuard::InterruptGuard()
{
    signalled = false;
    // A read from a terminal or pipe returns too, so a replay from standard
    // input ends at once.
    setInterruptFlag(&signalled);
}

InterruptGuard::~InterruptGuard()
{
    setInterruptFlag(nullptr);
    signalled = false;
}

bool InterruptGuard::interrupted()
{
    return signalled;
}

} // namespace tolmar::cli
