// The whole live path on the real clock: the simulated bridge sending a
// report every millisecond, the reader thread handing each one over to the
// loop thread and waiting, frame assembly, decode and display state. The
// process CPU time against the wall time is the share of a core the link
// costs at the bridge's report rate (the simulator's own work included).
#include "app/MainForm.h"
#include "platform/Architecture.h"
#include "platform/Clock.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/EventLoop.h"
#include "platform/posix/PosixLocale.h"
#include "platform/sim/SimulatedHidPlatform.h"

#include <benchmark/benchmark.h>

namespace {
struct NullView : tolmar::MainFormView {
    void stateChanged() override {}
    void terminateApplication() override {}
};

void BM_LiveLinkAt1kHz(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        tolmar::EventLoop loop;
        tolmar::SystemClock clock;
        tolmar::PosixLocale locale;
        tolmar::ScriptedPrompts prompts;
        tolmar::RecordingShell shell;
        tolmar::HostArchitecture architecture;
        tolmar::SimulatedHidPlatform sim({}, tolmar::SimulatedHidPlatform::steadyClock());
        NullView view;
        tolmar::MainForm form({loop, clock, locale, prompts, shell, architecture, sim, loop}, view);
        form.FormCreate();
        long frames = 0;
        form.setFrameObserver([&](const tolmar::MeterReading &, const std::optional<tolmar::DecodeError> &, bool) {
            ++frames;
        });
        form.USBConClick(true);
        state.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        loop.run([] { return false; }, start + std::chrono::seconds(3));

        state.PauseTiming();
        form.USBConClick(false);
        state.counters["frames"] = static_cast<double>(frames);
        state.ResumeTiming();
    }
}
// One run of three seconds: CPU is the whole process's, so CPU / Time is the
// share of one core.
BENCHMARK(BM_LiveLinkAt1kHz)->MeasureProcessCPUTime()->UseRealTime()->Iterations(1)->Unit(benchmark::kMillisecond);
} // namespace
