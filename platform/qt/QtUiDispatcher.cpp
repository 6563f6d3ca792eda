#include "platform/qt/QtUiDispatcher.h"

#include <QMetaObject>

namespace tolmar {

QtUiDispatcher::QtUiDispatcher(QObject *parent)
    : QObject(parent)
{
}

void QtUiDispatcher::post(std::function<void()> call)
{
    // Queued even when posted from the GUI thread itself: the caller
    // expects the call later, never in the middle of its own work.
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

} // namespace tolmar
