// The cost of the report stream on the UI thread: one input report through
// frame assembly (with its share of the display update), and the display
// update of one frame without painting.
#include "app/MainForm.h"
#include "link/FrameAssembler.h"
#include "meter/LcdDisplay.h"
#include "platform/Architecture.h"
#include "platform/NoHidPlatform.h"
#include "platform/UiDispatcher.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/posix/PosixLocale.h"
#include "platform/virtual/VirtualTime.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {
const std::string sampleFrame = "5A0003050559800101010006001000000B000400002030302E363620562000322E3031336B487A002E";

struct NullView : tolmar::MainFormView {
    void stateChanged() override {}
    void terminateApplication() override {}
};

// The sample frame as the bridge sends it: 7 payload bytes per 9-byte report,
// each burst closed by a report without payload.
std::vector<std::vector<std::uint8_t>> sampleReports()
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < sampleFrame.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(sampleFrame.substr(i, 2), nullptr, 16)));
    std::vector<std::vector<std::uint8_t>> reports;
    for (std::size_t at = 0; at < bytes.size(); at += 7) {
        std::vector<std::uint8_t> report(8, 0);
        const std::size_t n = std::min<std::size_t>(7, bytes.size() - at);
        report[0] = static_cast<std::uint8_t>(n);
        std::copy(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + n), report.begin() + 1);
        reports.push_back(report);
        reports.push_back(std::vector<std::uint8_t>(8, 0));
    }
    return reports;
}

// Reports through the main window's core: assembly, decode, LCD state, seams.
void BM_ReportThroughMainForm(benchmark::State &state)
{
    tolmar::VirtualTime time;
    tolmar::PosixLocale locale;
    tolmar::ScriptedPrompts prompts;
    tolmar::RecordingShell shell;
    tolmar::HostArchitecture architecture;
    tolmar::NoHidPlatform noHid;
    tolmar::InlineUiDispatcher dispatcher;
    NullView view;
    tolmar::MainForm form({time, time, locale, prompts, shell, architecture, noHid, dispatcher}, view);
    form.FormCreate();
    const auto reports = sampleReports();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto &report = reports[i];
        form.HidCtlDeviceData(0, report.data(), report.size());
        if (++i == reports.size())
            i = 0;
    }
    state.counters["reports/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReportThroughMainForm);

struct NullPeers : tolmar::LcdDisplayPeers {
    void resetLinkTickDivider() override {}
    void SetMaxValue(int) override {}
    void SetMinValue(int) override {}
    bool JudgeReading() override
    {
        t1value = reading->ValueText;
        return true;
    }
    std::string T1VALUE() const override { return t1value; }
    void showWaveformValue(const std::string &, const std::string &) override {}
    void showPageControls() override {}
    void INDataToTable() override {}
    void INDataToTable1() override {}
    void showWaveformPage(const std::array<int, tolmar::MeterReading::waveformLength> &) override {}
    const tolmar::MeterReading *reading = nullptr;
    std::string t1value;
};

void BM_LcdDisplayShortFrame(benchmark::State &state)
{
    tolmar::MeterReading reading;
    tolmar::LcdState lcd;
    tolmar::PosixLocale locale;
    NullPeers peers;
    peers.reading = &reading;
    tolmar::LcdDisplay display(reading, lcd, locale, peers);
    for (auto _ : state) {
        auto error = display.run(sampleFrame);
        benchmark::DoNotOptimize(error);
    }
}
BENCHMARK(BM_LcdDisplayShortFrame);
} // namespace
