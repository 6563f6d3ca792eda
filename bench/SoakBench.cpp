// Long sessions on the simulated meter and virtual time.
//
//   build/bench/bench_soak --benchmark_filter=Week     # a week, ~3 million frames
//   build/bench/bench_soak --benchmark_filter=Replug   # 1,000 unplug/replug cycles
//
// BM_Week runs seven days of a connected session ("limitless"), recording at
// the 1 s interval (recording:0), every frame (1), or every frame up to the
// "1000" limit, so that the table stops growing after four minutes (2). It
// prints to standard error, every six virtual hours: frames, records, link
// log lines and bytes, the heap in use (malloc's count), the table's and the
// chart's own bytes, the rest (everything else the session holds) and the
// resident size. Counters: the growth of that rest from the moment the link
// log is full to the end, the table and chart bytes per record, and the heap
// in all. The rest grows only by what the table's own count leaves out: each
// 1.4 MiB block of records is a mapping of its own, a page more than its
// bytes (0.07 bytes a record).
//
// BM_Replug runs the unplug/replug cycles of tests/link/LinkSoakTest.cpp a
// thousand times on the full path (reader threads, device notifications) and
// counts the cycles' worst wall time.
#include "app/SteppedSession.h"
#include "link/HistoryLog.h"
#include "link/LinkSoak.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>

namespace {

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::size_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

constexpr std::int64_t hourMs = 3'600'000;

void BM_Week(benchmark::State &state)
{
    const bool everyFrame = state.range(0) != 0;
    const bool limited = state.range(0) == 2;
    const int days = static_cast<int>(state.range(1));
    for (auto _ : state) {
        const std::size_t heapBefore = heapInUse();
        auto session = std::make_unique<tolmar::test::SteppedSession>();
        tolmar::MainForm &form = session->form;
        long frames = 0, failed = 0;
        form.setFrameObserver([&](const tolmar::MeterReading &, const std::optional<tolmar::DecodeError> &error,
                                  bool) {
            ++frames;
            failed += error.has_value();
        });
        if (everyFrame)
            form.recording.RecordSIClick(false);
        if (limited)
            form.recording.N10001Click();
        else
            form.recording.limitessClick();
        session->connect();

        std::fprintf(stderr, "%s, %d days\n%6s %9s %9s %9s %10s %11s %11s %11s %10s %10s\n",
                     limited ? "every frame, limit 1000" : everyFrame ? "every frame" : "1 s interval", days, "hour", "frames", "records", "log lines",
                     "log bytes", "heap", "table", "chart", "rest", "RSS");
        std::optional<std::size_t> restAtFullLog;
        std::size_t rest = 0;
        const auto started = std::chrono::steady_clock::now();
        for (int hour = 1; hour <= 24 * days; ++hour) {
            session->advance(hourMs);
            const tolmar::HistoryLog &log = form.HistoryListBox();
            const std::size_t heap = heapInUse() - heapBefore;
            const std::size_t table = form.cds1.bytesUsed();
            const std::size_t chart = form.Chart1.bytesUsed();
            rest = heap - table - chart;
            if (!restAtFullLog && log.dropped() > 0)
                restAtFullLog = rest;
            if (hour % 6 == 0)
                std::fprintf(stderr, "%6d %9ld %9zu %9zu %10zu %11zu %11zu %11zu %10zu %10zu\n", hour, frames,
                             form.cds1.size(), log.size(), log.bytesUsed(), heap, table, chart, rest,
                             residentBytes());
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (!form.link().USBConDown || failed > 0 || !session->prompts.shown.empty())
            state.SkipWithError("the session did not stay connected with every frame decoded");
        const auto records = static_cast<double>(form.cds1.size());
        state.counters["frames"] = static_cast<double>(frames);
        state.counters["records"] = records;
        state.counters["virtual_days_per_minute"] = days / seconds * 60;
        state.counters["rest_growth_after_full_log"] =
            restAtFullLog ? static_cast<double>(rest) - static_cast<double>(*restAtFullLog) : -1;
        state.counters["log_bytes"] = static_cast<double>(form.HistoryListBox().bytesUsed());
        state.counters["table_chart_bytes_per_record"] =
            static_cast<double>(form.cds1.bytesUsed() + form.Chart1.bytesUsed()) / records;
        state.counters["heap"] = static_cast<double>(heapInUse() - heapBefore);
        session.reset();
        state.counters["heap_left_after"] = static_cast<double>(heapInUse()) - static_cast<double>(heapBefore);
    }
}
BENCHMARK(BM_Week)
    ->ArgNames({"recording", "days"})
    ->Args({1, 7})
    ->Args({0, 7})
    ->Args({2, 7})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

void BM_Replug(benchmark::State &state)
{
    for (auto _ : state) {
        tolmar::test::LinkSoak soak;
        double worstMs = 0;
        const auto started = std::chrono::steady_clock::now();
        for (int cycle = 0; cycle < state.range(0); ++cycle) {
            const auto cycleStart = std::chrono::steady_clock::now();
            const std::string fault = soak.replugCycle(cycle);
            if (!fault.empty()) {
                state.SkipWithError(("cycle " + std::to_string(cycle) + ": " + fault).c_str());
                break;
            }
            worstMs = std::max(worstMs, std::chrono::duration<double, std::milli>(
                                            std::chrono::steady_clock::now() - cycleStart).count());
        }
        const std::string fault = soak.check();
        if (!fault.empty())
            state.SkipWithError(fault.c_str());
        state.counters["cycles"] = static_cast<double>(state.range(0));
        state.counters["records"] = static_cast<double>(soak.records());
        state.counters["worst_cycle_ms"] = worstMs;
        state.counters["mean_cycle_ms"] =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count()
            / static_cast<double>(state.range(0));
    }
}
BENCHMARK(BM_Replug)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
