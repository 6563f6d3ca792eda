#include "platform/qt/QtHidNotifier.h"

#include <QSocketNotifier>

namespace tolmar {

QtHidNotifier::QtHidNotifier(int fd, std::function<void()> changed, QObject *parent)
    : QObject(parent)
    , m_changed(std::move(changed))
{
    if (fd < 0)
        return;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        if (m_changed)
            m_changed();
    });
}

QtHidNotifier::~QtHidNotifier() = default;

} // namespace tolmar
