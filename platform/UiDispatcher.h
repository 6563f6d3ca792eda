#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace tolmar {

// Runs calls on the user-interface thread. A worker thread posts a call and,
// if it needs to, waits for it by its own means; the dispatcher itself never
// blocks the poster.
class UiDispatcher {
public:
    virtual ~UiDispatcher() = default;
    // Any thread. The call runs later on the UI thread, in posting order.
    virtual void post(std::function<void()> call) = 0;
};

// Runs every call at once on the posting thread. For programs without a UI
// thread (tolmar-cli) and for tests: a reader's handlers then run on the
// reader thread, and a handler that stops its own reader leaves the thread to
// end a moment later, when the HID controller joins it.
class InlineUiDispatcher final : public UiDispatcher {
public:
    void post(std::function<void()> call) override { call(); }
};

// Queues the calls until the test, acting as the UI thread, runs them.
class ManualUiDispatcher final : public UiDispatcher {
public:
    void post(std::function<void()> call) override;

    // Runs the oldest queued call on this thread; false when none was queued.
    bool runOne();
    // Runs calls until the queue is empty, also those posted meanwhile.
    std::size_t runAll();
    std::size_t pending() const;
    // Blocks until a call is queued or wake() is called, at most `timeout`.
    // True when a call is queued.
    bool waitForPost(std::chrono::microseconds timeout);
    // Any thread: ends the current or next waitForPost.
    void wake();

private:
    mutable std::mutex m_mutex; // guards m_calls and m_woken
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_calls;
    bool m_woken = false;
};

} // namespace tolmar
