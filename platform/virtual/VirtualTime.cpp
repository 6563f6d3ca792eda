#include "platform/virtual/VirtualTime.h"

namespace tolmar {

VirtualTime::VirtualTime(LocalDateTime start) : m_start(start)
{
    m_start.dayOfWeek = dayOfWeek(start.year, start.month, start.day);
}

LocalDateTime VirtualTime::now() const
{
    return addMilliseconds(m_start, m_nowMs - m_startOffsetMs);
}

void VirtualTime::setNow(const LocalDateTime &t)
{
    m_start = t;
    m_startOffsetMs = m_nowMs;
}

void VirtualTime::arm(Timer &timer, unsigned intervalMs)
{
    m_periods[&timer] = Period{m_nowMs + intervalMs, intervalMs, m_nextOrder++};
}

void VirtualTime::disarm(Timer &timer)
{
    m_periods.erase(&timer);
}

void VirtualTime::advance(std::int64_t ms)
{
    const std::int64_t target = m_nowMs + ms;
    for (;;) {
        auto next = m_periods.end();
        for (auto it = m_periods.begin(); it != m_periods.end(); ++it) {
            if (it->second.dueMs > target)
                continue;
            if (next == m_periods.end() || it->second.dueMs < next->second.dueMs
                || (it->second.dueMs == next->second.dueMs && it->second.order < next->second.order))
                next = it;
        }
        if (next == m_periods.end())
            break;
        Timer *timer = next->first;
        m_nowMs = next->second.dueMs;
        // The next period keeps the timer's place among timers due together:
        // the order they were started in (enabled, or given a new interval).
        next->second.dueMs += next->second.intervalMs;
        timer->fire();
    }
    m_nowMs = target;
}

} // namespace tolmar
