#pragma once

#include <QObject>

class QSocketNotifier;

namespace tolmar {

class TJvHidDeviceController;

// Watches the controller's device-change descriptor (the udev monitor on
// Linux) on the GUI thread's event loop and lets the controller run its
// device-change pass. Create it after the controller and destroy it first.
class QtHidNotifier final : public QObject {
    Q_OBJECT
public:
    explicit QtHidNotifier(TJvHidDeviceController &controller, QObject *parent = nullptr);
    ~QtHidNotifier() override;

    // False when the platform reports no changes (no udev, no monitor).
    bool watching() const { return m_notifier != nullptr; }

private:
    TJvHidDeviceController &m_controller;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace tolmar
