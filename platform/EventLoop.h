#pragma once

#include "platform/System.h"
#include "platform/Timers.h"
#include "platform/UiDispatcher.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace tolmar {

// A Qt-free event loop for programs without a window (tolmar-cli monitor):
// desktop-style timer periods on the steady clock, calls posted from other
// threads, and file descriptors to watch, all run on the thread that calls
// run(). It builds on every system; descriptors are watched only where the
// system has them (not on Windows, whose HID backend gives none).
class EventLoop final : public TimerEngine, public UiDispatcher {
public:
    EventLoop();
    ~EventLoop() override;
    EventLoop(const EventLoop &) = delete;
    EventLoop &operator=(const EventLoop &) = delete;

    void arm(Timer &timer, unsigned intervalMs) override;
    void disarm(Timer &timer) override;
    void post(std::function<void()> call) override; // any thread

    // Calls onReadable on the loop's thread whenever fd becomes readable
    // (never on Windows).
    void watch(int fd, std::function<void()> onReadable);

    // Runs timers, posted calls and watches until done() answers true (it is
    // asked after every piece of work and at least every `poll`) or the
    // deadline passes. Returns true when done() ended it.
    bool run(const std::function<bool()> &done, std::chrono::steady_clock::time_point deadline,
             std::chrono::milliseconds poll = std::chrono::milliseconds(50));

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    struct Period {
        TimePoint due;
        std::chrono::milliseconds interval;
        std::uint64_t order;
    };

    bool runPosted();
    bool runDueTimer();
    Wakeup m_wakeup;
    std::mutex m_mutex; // guards m_posted
    std::deque<std::function<void()>> m_posted;
    std::map<Timer *, Period> m_periods; // loop thread only
    std::uint64_t m_nextOrder = 0;
    std::vector<std::pair<int, std::function<void()>>> m_watches;
};

} // namespace tolmar
