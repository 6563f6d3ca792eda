#include "platform/sim/SimulatedRun.h"

#include "platform/UiDispatcher.h"
#include "platform/sim/SimulatedHidPlatform.h"
#include "platform/virtual/VirtualTime.h"

#include <stdexcept>

namespace tolmar {

SimulatedRun::SimulatedRun(VirtualTime &time, SimulatedHidPlatform &sim, ManualUiDispatcher &ui)
    : m_time(time)
    , m_sim(sim)
    , m_ui(ui)
{
    // A reader that moves on ends the wait for the next hand-over at once.
    m_sim.setActivityListener([&ui] { ui.wake(); });
    m_sim.advanceTo(m_time.elapsedMs());
}

SimulatedRun::~SimulatedRun()
{
    m_sim.setActivityListener({});
}

void SimulatedRun::advance(std::int64_t ms)
{
    for (std::int64_t i = 0; i < ms; ++i) {
        m_time.advance(1);
        m_sim.advanceTo(m_time.elapsedMs());
        settle();
    }
}

void SimulatedRun::settle(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        m_ui.runAll();
        if (m_sim.readersCaughtUp() && m_ui.pending() == 0)
            return;
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("simulated run: the reader did not catch up");
        m_ui.waitForPost(std::chrono::microseconds(500));
    }
}

} // namespace tolmar
