#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tolmar {

// Watches a HID platform's device-change descriptor (the udev monitor on
// Linux) on the GUI thread's event loop and calls `changed` when it is
// readable; the device controller then runs its device-change pass. Create it
// after the controller and destroy it first.
class QtHidNotifier final : public QObject {
    Q_OBJECT
public:
    // `fd` < 0: the platform reports no changes, nothing is watched.
    QtHidNotifier(int fd, std::function<void()> changed, QObject *parent = nullptr);
    ~QtHidNotifier() override;

    // False when the platform reports no changes (no udev, no monitor).
    bool watching() const { return m_notifier != nullptr; }

private:
    std::function<void()> m_changed;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace tolmar
