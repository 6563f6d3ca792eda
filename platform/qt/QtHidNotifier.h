#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tolmar {

// Watches a device-change descriptor (the udev monitor on Linux) on the GUI
// thread's event loop and calls `changed` whenever it becomes readable; the
// HID controller's NotificationFd and HandleDeviceNotifications fit here.
// Destroy it before whatever owns the descriptor.
class QtHidNotifier final : public QObject {
    Q_OBJECT
public:
    // A negative descriptor (no udev, no monitor) watches nothing.
    QtHidNotifier(int fd, std::function<void()> changed, QObject *parent = nullptr);
    ~QtHidNotifier() override;

    // False when the platform reports no changes (no udev, no monitor).
    bool watching() const { return m_notifier != nullptr; }

private:
    std::function<void()> m_changed;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace tolmar
