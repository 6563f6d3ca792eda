#include "platform/qt/QtHidNotifier.h"

#include "link/JvHidControllerClass.h"

#include <QSocketNotifier>

namespace tolmar {

QtHidNotifier::QtHidNotifier(TJvHidDeviceController &controller, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
{
    const int fd = controller.NotificationFd();
    if (fd < 0)
        return;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { m_controller.HandleDeviceNotifications(); });
}

QtHidNotifier::~QtHidNotifier() = default;

} // namespace tolmar
