#pragma once

#include "platform/Clock.h"
#include "platform/Timers.h"

#include <cstdint>
#include <map>

namespace tolmar {

// Virtual time for tests and simulations: a clock that only moves when
// advance() is called, and a timer engine whose periods elapse on that clock.
class VirtualTime final : public Clock, public TimerEngine {
public:
    explicit VirtualTime(LocalDateTime start = {2024, 3, 5, 14, 7, 8, 0, 2});

    LocalDateTime now() const override;
    void arm(Timer &timer, unsigned intervalMs) override;
    void disarm(Timer &timer) override;

    // Moves time forward, firing every period that elapses on the way, in
    // order of their due times (timers due together fire in the order they
    // were started: enabled, or restarted by a new interval). Handlers may
    // arm, disarm or destroy timers.
    void advance(std::int64_t ms);
    void setNow(const LocalDateTime &t);
    // Milliseconds since this object was created.
    std::int64_t elapsedMs() const { return m_nowMs; }

private:
    struct Period {
        std::int64_t dueMs;
        unsigned intervalMs;
        std::uint64_t order;
    };

    LocalDateTime m_start;
    std::int64_t m_nowMs = 0;
    std::int64_t m_startOffsetMs = 0;
    std::uint64_t m_nextOrder = 0;
    std::map<Timer *, Period> m_periods;
};

} // namespace tolmar
