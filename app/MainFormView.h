#pragma once

namespace tolmar {

// What the main window's core asks of the window that shows it.
class MainFormView {
public:
    // The state changed: paint it.
    virtual void stateChanged() = 0;
    // End the program at once, without the close question.
    virtual void terminateApplication() = 0;

protected:
    ~MainFormView() = default;
};

} // namespace tolmar
