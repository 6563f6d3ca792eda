#pragma once

#include "platform/Timers.h"

#include <QObject>

#include <unordered_map>

class QTimer;

namespace tolmar {

// Runs timer periods on the Qt event loop of the thread that owns it.
class QtTimerEngine final : public QObject, public TimerEngine {
    Q_OBJECT
public:
    explicit QtTimerEngine(QObject *parent = nullptr);
    ~QtTimerEngine() override;

    void arm(Timer &timer, unsigned intervalMs) override;
    void disarm(Timer &timer) override;

private:
    std::unordered_map<Timer *, QTimer *> m_timers;
};

} // namespace tolmar
