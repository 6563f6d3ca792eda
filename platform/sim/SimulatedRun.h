#pragma once

#include <chrono>
#include <cstdint>

namespace tolmar {

class ManualUiDispatcher;
class SimulatedHidPlatform;
class VirtualTime;

// Runs the simulated bridge, the controller's reader thread and the UI
// thread's hand-overs in lock-step on virtual time, so that a test sees the
// same reports in the same order on every run:
//
//   VirtualTime time;  ManualUiDispatcher ui;
//   SimulatedHidPlatform sim;              // no clock: time moves here only
//   TJvHidDeviceController HidCtl(sim, ui);
//   SimulatedRun run(time, sim, ui);
//   ... claim the bridge, send the reports, attach the data handler ...
//   run.advance(2000);                     // two seconds of reports, all handled
//
// Each millisecond: the virtual clock moves on (its timers fire), the bridge
// sends that millisecond's report, and the test thread, acting as the UI
// thread, runs hand-overs until the reader has taken every report and waits
// for the next one.
class SimulatedRun {
public:
    SimulatedRun(VirtualTime &time, SimulatedHidPlatform &sim, ManualUiDispatcher &ui);
    ~SimulatedRun();
    SimulatedRun(const SimulatedRun &) = delete;
    SimulatedRun &operator=(const SimulatedRun &) = delete;

    void advance(std::int64_t ms);
    // Runs hand-overs until the readers have caught up. Throws
    // std::runtime_error if they do not within `limit` of real time (a
    // handler that never returns, a reader that never reads).
    void settle(std::chrono::milliseconds limit = std::chrono::seconds(10));

private:
    VirtualTime &m_time;
    SimulatedHidPlatform &m_sim;
    ManualUiDispatcher &m_ui;
};

} // namespace tolmar
