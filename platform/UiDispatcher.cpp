#include "platform/UiDispatcher.h"

namespace tolmar {

void ManualUiDispatcher::post(std::function<void()> call)
{
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }
    m_changed.notify_all();
}

bool ManualUiDispatcher::runOne()
{
    std::function<void()> call;
    {
        std::lock_guard lock(m_mutex);
        if (m_calls.empty())
            return false;
        call = std::move(m_calls.front());
        m_calls.pop_front();
    }
    // Outside the lock: the call may post again.
    call();
    return true;
}

std::size_t ManualUiDispatcher::runAll()
{
    std::size_t count = 0;
    while (runOne())
        ++count;
    return count;
}

std::size_t ManualUiDispatcher::pending() const
{
    std::lock_guard lock(m_mutex);
    return m_calls.size();
}

bool ManualUiDispatcher::waitForPost(std::chrono::microseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, timeout, [this] { return !m_calls.empty() || m_woken; });
    m_woken = false;
    return !m_calls.empty();
}

void ManualUiDispatcher::wake()
{
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_changed.notify_all();
}

} // namespace tolmar
