#pragma once

#include <string>

namespace tolmar {

// What the main window's core asks of the window that shows it.
class MainFormView {
public:
    // The state changed: paint it.
    virtual void stateChanged() = 0;
    // End the program at once, without the close question.
    virtual void terminateApplication() = 0;
    // The reading table was replaced by a loaded one (perhaps of the same size).
    virtual void tableReplaced() {}
    // An export walked the table: its last record is the current one.
    virtual void tableExported() {}
    // Paint the whole window again (a window that lay over it has gone).
    virtual void repaintWindow() {}
    // Say something once in the status bar, for a while (the journal stopped).
    virtual void showStatusMessage(const std::string &) {}

protected:
    ~MainFormView() = default;
};

} // namespace tolmar
