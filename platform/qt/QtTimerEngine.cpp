#include "platform/qt/QtTimerEngine.h"

#include <QTimer>

namespace tolmar {

QtTimerEngine::QtTimerEngine(QObject *parent) : QObject(parent) {}

QtTimerEngine::~QtTimerEngine() = default; // the QTimers are our children

void QtTimerEngine::arm(Timer &timer, unsigned intervalMs)
{
    QTimer *&qtimer = m_timers[&timer];
    if (!qtimer) {
        qtimer = new QTimer(this);
        // Millisecond periods, as the desktop timer keeps them.
        qtimer->setTimerType(Qt::PreciseTimer);
        Timer *target = &timer;
        connect(qtimer, &QTimer::timeout, this, [target] { target->fire(); });
    }
    qtimer->start(static_cast<int>(intervalMs)); // start() restarts a running period
}

void QtTimerEngine::disarm(Timer &timer)
{
    const auto it = m_timers.find(&timer);
    if (it == m_timers.end())
        return;
    it->second->stop();
    // Deleted later: disarm may come from inside this timer's own timeout.
    it->second->deleteLater();
    m_timers.erase(it);
}

} // namespace tolmar
