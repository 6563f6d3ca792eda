#include "platform/Timers.h"

namespace tolmar {

Timer::Timer(TimerEngine &engine, unsigned intervalMs, bool enabled)
    : m_engine(engine), m_intervalMs(intervalMs), m_enabled(enabled)
{
}

Timer::~Timer()
{
    if (m_armed)
        m_engine.disarm(*this);
}

void Timer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    update();
}

void Timer::setInterval(unsigned intervalMs)
{
    if (intervalMs == m_intervalMs)
        return;
    m_intervalMs = intervalMs;
    update();
}

void Timer::setOnTimer(std::function<void()> handler)
{
    m_onTimer = std::move(handler);
    update();
}

void Timer::fire()
{
    if (m_armed && m_onTimer)
        m_onTimer();
}

void Timer::update()
{
    if (m_armed) {
        m_engine.disarm(*this);
        m_armed = false;
    }
    if (m_enabled && m_intervalMs != 0 && m_onTimer) {
        m_engine.arm(*this, m_intervalMs);
        m_armed = true;
    }
}

} // namespace tolmar
