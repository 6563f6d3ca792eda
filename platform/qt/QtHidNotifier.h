#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace tolmar {

// Watches for HID devices coming and going on the GUI thread's event loop
// and calls `changed` when they may have; the HID controller's
// NotificationFd and HandleDeviceNotifications fit here. On Linux that is
// the device-change descriptor (the udev monitor) becoming readable. Windows
// has no descriptor (the platform gives -1): there WM_DEVICECHANGE is the
// sign, for the HID interface class and for any device node.
// Destroy it before whatever owns the descriptor.
class QtHidNotifier final : public QObject {
    Q_OBJECT
public:
    // A negative descriptor (no udev, no monitor) watches nothing, except on
    // Windows, which has none.
    QtHidNotifier(int fd, std::function<void()> changed, QObject *parent = nullptr);
    ~QtHidNotifier() override;

    // False when the platform reports no changes (no udev, no monitor).
    bool watching() const;

private:
    std::function<void()> m_changed;
    QSocketNotifier *m_notifier = nullptr;
#ifdef Q_OS_WIN
    struct DeviceChanges;
    std::unique_ptr<DeviceChanges> m_deviceChanges;
#endif
};

} // namespace tolmar
