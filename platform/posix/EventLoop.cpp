#include "platform/posix/EventLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace tolmar {

using namespace std::chrono;

EventLoop::EventLoop() : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_wakeFd < 0)
        throw std::runtime_error("eventfd failed");
}

EventLoop::~EventLoop()
{
    ::close(m_wakeFd);
}

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
    wake();
}

void EventLoop::wake()
{
    const std::uint64_t one = 1;
    // A full counter still wakes the loop: nothing is lost by a failed write.
    [[maybe_unused]] const auto written = ::write(m_wakeFd, &one, sizeof one);
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

        std::vector<pollfd> fds{{m_wakeFd, POLLIN, 0}};
        for (const auto &[fd, call] : m_watches)
            fds.push_back({fd, POLLIN, 0});
        const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(0, wait)));
        if (ready < 0 && errno != EINTR)
            throw std::runtime_error("poll failed");
        if (ready <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto n = ::read(m_wakeFd, &count, sizeof count);
        }
        for (std::size_t i = 1; i < fds.size(); ++i)
            if (fds[i].revents & (POLLIN | POLLERR | POLLHUP))
                m_watches[i - 1].second();
    }
}

} // namespace tolmar
