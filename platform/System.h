#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

// The process's part of the operating system, for the Qt-free layers (the
// files are in SystemFiles.h): its id, the wall clock's local time, Ctrl-C,
// and a wake-up for event loops.
namespace tolmar {

std::uint64_t processId();

// The keys that end input typed at the terminal: "Ctrl-D" ("Ctrl-Z, Enter"
// at the Windows console).
const char *endOfInputKeys();

// Sets an environment variable of this process (UTF-8), or removes it when
// `value` is null. With `overwrite` false a variable already set is kept.
void setEnvironment(const char *name, const char *value, bool overwrite = true);

// The local time of the wall clock at `seconds` since 1970 (UTC); false
// when the system cannot tell.
bool localTime(std::time_t seconds, std::tm &local);

// While `flag` is set, Ctrl-C and a request to end the process (SIGINT and
// SIGTERM; the console's Ctrl-C, Ctrl-Break and close on Windows) only set
// *flag, and cut short a read from a terminal or pipe that waits
// (std::errc::interrupted). nullptr puts back what handled them before.
void setInterruptFlag(std::atomic<bool> *flag);

// Wakes a thread waiting in wait() from any thread. On Linux it is an
// eventfd, which others may watch too (fd()); Windows has no descriptor to
// give.
class Wakeup {
public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup &) = delete;
    Wakeup &operator=(const Wakeup &) = delete;

    // False when the system gave none.
    bool ok() const;
    // Readable while signalled; -1 where there is no descriptor.
    int fd() const;
    void signal();
    // Takes back the signals so far.
    void clear();
    // Waits up to timeoutMs for signal() (taken back) or for one of `fds`
    // to become readable or hung up: ready[i] tells which. Descriptors are
    // watched on Linux only; on Windows there are none to watch. False when
    // the system failed to wait.
    bool wait(const std::vector<int> &fds, std::vector<bool> &ready, int timeoutMs);

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace tolmar
