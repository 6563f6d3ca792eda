#pragma once

#include <functional>

namespace tolmar {

class TimerEngine;

// A periodic tick source with the desktop timer's rules:
// - enabling an enabled timer, or setting the interval it already has,
//   leaves the running period untouched;
// - a changed interval (or a new handler) restarts the period;
// - an interval of 0, a disabled timer or a timer without a handler never ticks.
// The rules live here; a TimerEngine only arms and disarms the periods, so the
// same behaviour runs on the desktop and on virtual time.
class Timer {
public:
    explicit Timer(TimerEngine &engine, unsigned intervalMs = 1000, bool enabled = true);
    ~Timer();
    Timer(const Timer &) = delete;
    Timer &operator=(const Timer &) = delete;

    void setEnabled(bool enabled);
    bool enabled() const { return m_enabled; }
    void setInterval(unsigned intervalMs);
    unsigned interval() const { return m_intervalMs; }
    void setOnTimer(std::function<void()> handler);

    // True while the engine holds a running period for this timer.
    bool ticking() const { return m_armed; }

    // Called by the engine when a period has elapsed.
    void fire();

private:
    void update();

    TimerEngine &m_engine;
    unsigned m_intervalMs;
    bool m_enabled;
    bool m_armed = false;
    std::function<void()> m_onTimer;
};

// Runs the periods of timers: the desktop's event loop or a virtual clock.
class TimerEngine {
public:
    virtual ~TimerEngine() = default;
    // Start (or restart) a period of intervalMs for timer; it then calls
    // timer.fire() every intervalMs until disarm().
    virtual void arm(Timer &timer, unsigned intervalMs) = 0;
    virtual void disarm(Timer &timer) = 0;
};

} // namespace tolmar
