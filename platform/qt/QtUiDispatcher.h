#pragma once

#include "platform/UiDispatcher.h"

#include <QObject>

namespace tolmar {

// Posts calls to the thread this object lives in (create it on the GUI
// thread); they run from its event loop, also inside a modal dialog's.
class QtUiDispatcher final : public QObject, public UiDispatcher {
    Q_OBJECT
public:
    explicit QtUiDispatcher(QObject *parent = nullptr);
    void post(std::function<void()> call) override;
};

} // namespace tolmar
