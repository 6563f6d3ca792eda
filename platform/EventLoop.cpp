#include "platform/EventLoop.h"

#include <algorithm>
#include <stdexcept>

namespace tolmar {

using namespace std::chrono;

EventLoop::EventLoop()
{
    if (!m_wakeup.ok())
        throw std::runtime_error("eventfd failed");
}

EventLoop::~EventLoop() = default;

void EventLoop::arm(Timer &timer, unsigned intervalMs)
{
    m_periods[&timer] = Period{steady_clock::now() + milliseconds(intervalMs), milliseconds(intervalMs), m_nextOrder++};
}

void EventLoop::disarm(Timer &timer)
{
    m_periods.erase(&timer);
}

void EventLoop::post(std::function<void()> call)
{
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(call));
    }
    m_wakeup.signal();
}

void EventLoop::watch(int fd, std::function<void()> onReadable)
{
    if (fd >= 0)
        m_watches.emplace_back(fd, std::move(onReadable));
}

bool EventLoop::runPosted()
{
    std::function<void()> call;
    {
        std::lock_guard lock(m_mutex);
        if (m_posted.empty())
            return false;
        call = std::move(m_posted.front());
        m_posted.pop_front();
    }
    call();
    return true;
}

bool EventLoop::runDueTimer()
{
    const TimePoint now = steady_clock::now();
    auto next = m_periods.end();
    for (auto it = m_periods.begin(); it != m_periods.end(); ++it)
        if (it->second.due <= now
            && (next == m_periods.end() || it->second.due < next->second.due
                || (it->second.due == next->second.due && it->second.order < next->second.order)))
            next = it;
    if (next == m_periods.end())
        return false;
    Timer *timer = next->first;
    // Like the desktop's timers: a late tick is not made up for with a burst.
    next->second.due += next->second.interval;
    if (next->second.due <= now)
        next->second.due = now + next->second.interval;
    next->second.order = m_nextOrder++;
    timer->fire();
    return true;
}

bool EventLoop::run(const std::function<bool()> &done, TimePoint deadline, milliseconds poll)
{
    for (;;) {
        if (done())
            return true;
        if (steady_clock::now() >= deadline)
            return false;
        if (runPosted() || runDueTimer())
            continue;

        TimePoint wakeAt = std::min(deadline, steady_clock::now() + poll);
        for (const auto &[timer, period] : m_periods)
            wakeAt = std::min(wakeAt, period.due);
        // Rounded up: rounding down would spin with zero waits before a tick.
        const auto wait = ceil<milliseconds>(wakeAt - steady_clock::now()).count();

        std::vector<int> fds;
        for (const auto &[fd, call] : m_watches)
            fds.push_back(fd);
        std::vector<bool> ready;
        if (!m_wakeup.wait(fds, ready, static_cast<int>(std::max<long long>(0, wait))))
            throw std::runtime_error("poll failed");
        for (std::size_t i = 0; i < ready.size(); ++i)
            if (ready[i])
                m_watches[i].second();
    }
}

} // namespace tolmar
