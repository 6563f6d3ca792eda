#pragma once

namespace tolmar::cli {

// While a guard lives, Ctrl-C and SIGTERM (on Windows Ctrl-C, Ctrl-Break and
// closing the console) only raise a flag that the running command polls, so
// the command ends as at its other limits:
// disconnects, and writes what it still owes (a packet given with --out)
// before the process exits. A second signal while that is written is taken
// the same way, so it cannot cut the file short.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    // True once a signal came while this guard lives (one lives at a time).
    static bool interrupted();
};

} // namespace tolmar::cli
