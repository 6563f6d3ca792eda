#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tolmar {
class Clock;
class MainForm;
}

namespace tolmar::cli {

class OptionTable;

// A live session without a window, as monitor and record run it: connects to
// the "USB to Serial" bridge (or the simulated meter) as the "USB Connection"
// button does, runs the window's timers on the real clock until done() says
// so, S seconds pass, Ctrl-C, or the link ends; then disconnects as the
// button does. Link messages go to `err`. Returns the exit status: 0, or 1
// when the link failed (no cable, a silent meter, the cable pulled).
struct LiveSession {
    const char *command = ""; // "monitor", "record": names the messages
    bool simulate = false;
    int cables = 1;      // --simulate=N: simulated cables
    std::string device;  // --device ID: the cable's port or index; empty: the usual rule
    double seconds = 0;  // 0: no time limit
    std::optional<std::string> decimalSeparator;

    // The session's options in a command's table: --simulate[=N] and
    // --device ID; --count N
    // (into `count`) and --seconds S; --decimal-separator C.
    void addSimulate(OptionTable &table);
    void addLimits(OptionTable &table, long &count);
    void addDecimalSeparator(OptionTable &table);

    // setUp runs before connecting: observers, recording options. finish
    // runs after a session that connected has ended, however it ended (also
    // by Ctrl-C or SIGTERM), and before the form is gone; its status (0 or 1)
    // joins the session's.
    int run(std::ostream &err, const std::function<void(MainForm &, const Clock &)> &setUp,
            const std::function<bool()> &done, const std::function<int(MainForm &)> &finish = {}) const;
};

} // namespace tolmar::cli
