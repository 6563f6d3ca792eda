// The reading table with a "limitless" recording: 10,000,001 readings through
// the live append step (record, numbering, chart value), with readings that
// drift as a real meter's do, and the memory table and chart take per record.
//
//   build/bench/bench_table --benchmark_format=json
//
// Counters: append_ns (mean cost of one append step), bytes_per_record
// (table + chart points, heap counted by malloc), table_bytes_per_record and
// chart_bytes_per_record (the stores' own counts), and the cost of the last
// million appends against the first (flat: no cost grows with the table).
#include "chart/GraphicControl.h"
#include "chart/PointStore.h"
#include "meter/MeterReading.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/Timers.h"
#include "platform/virtual/VirtualTime.h"
#include "record/ReadingTable.h"
#include "record/Recording.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr std::int64_t limitless = 10'000'001;

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Readings of a V DC range drifting slowly with noise in the last digit:
// "dd.dd" as the meter's display text, judged pass.
struct DriftingMeter {
    std::mt19937 random{12345};
    double volts = 12.0;
    void next(tolmar::MeterReading &r)
    {
        volts += std::normal_distribution<double>(0, 0.02)(random);
        volts = std::clamp(volts, 0.0, 39.99);
        char text[16];
        std::snprintf(text, sizeof text, "%05.2f", volts);
        r.ValueText = text;
        r.Nval = static_cast<float>(std::lround(volts * 100));
    }
};

// What the window gives recording: its timers, clock, locale and chart.
struct RecordingRig {
    tolmar::VirtualTime time;
    tolmar::FixedLocale locale;
    tolmar::ScriptedPrompts prompts;
    tolmar::Timer Timer1{time, 1000, false};
    tolmar::Timer Timer2{time, 1000, false};
    tolmar::Timer Trecord{time, 1000, true};
    tolmar::Timer timerChange{time, 1000, false};
    tolmar::PointStore Chart1;
    tolmar::GraphicControl chart{Chart1, timerChange, prompts};
    tolmar::MeterReading reading;
    tolmar::ReadingTable cds1;
    tolmar::Recording recording{cds1, {reading, Timer1, Timer2, Trecord, time, locale, prompts, chart}};

    RecordingRig()
    {
        chart.createChartPager();
        chart.resetSeries();
        chart.setStartVerticalRange();
        recording.start();
        recording.RecordSIClick(false); // every frame
        recording.limitessClick();
        reading.FunctionText = "DC";
        reading.UnitText = " V";
        reading.JudgeText = "pass";
    }
};

void BM_LiveAppend(benchmark::State &state)
{
    const std::size_t heapBefore = heapInUse();
    auto rig = std::make_unique<RecordingRig>();
    DriftingMeter meter;
    std::int64_t i = 0;
    double firstMillionNs = 0, lastMillionNs = 0;
    auto started = std::chrono::steady_clock::now();
    auto millionStarted = started;
    for (auto _ : state) {
        meter.next(rig->reading);
        rig->time.advance(1); // the clock moves, as between frames
        rig->recording.INDataToTable1();
        if (++i % 1'000'000 == 0) {
            const auto now = std::chrono::steady_clock::now();
            const double ns = std::chrono::duration<double, std::nano>(now - millionStarted).count();
            if (i == 1'000'000)
                firstMillionNs = ns;
            lastMillionNs = ns;
            millionStarted = now;
        }
    }
    const double elapsedNs =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - started).count();
    const auto records = static_cast<double>(rig->cds1.size());
    if (rig->cds1.size() != static_cast<std::size_t>(limitless))
        state.SkipWithError("the limit gate did not let 10,000,001 records in");
    state.counters["records"] = records;
    state.counters["append_ns"] = elapsedNs / static_cast<double>(i);
    state.counters["first_million_ns_per_append"] = firstMillionNs / 1e6;
    state.counters["last_million_ns_per_append"] = lastMillionNs / 1e6;
    state.counters["bytes_per_record"] = static_cast<double>(heapInUse() - heapBefore) / records;
    state.counters["table_bytes_per_record"] = static_cast<double>(rig->cds1.bytesUsed()) / records;
    state.counters["chart_bytes_per_record"] = static_cast<double>(rig->Chart1.bytesUsed()) / records;
}
BENCHMARK(BM_LiveAppend)->Iterations(limitless)->Unit(benchmark::kMillisecond);

// Reading records back by index, as the grid and the file writers do.
void BM_ReadByIndex(benchmark::State &state)
{
    static RecordingRig *rig = [] {
        auto *r = new RecordingRig;
        DriftingMeter meter;
        for (std::int64_t i = 0; i < limitless; ++i) {
            meter.next(r->reading);
            r->recording.INDataToTable1();
        }
        return r;
    }();
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> index(0, rig->cds1.size() - 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(rig->cds1.at(index(random)));
}
BENCHMARK(BM_ReadByIndex);

} // namespace

BENCHMARK_MAIN();
