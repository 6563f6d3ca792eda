// The statistics of the reading table at 10,000,001 records.
//
//   build/bench/bench_statistics --benchmark_format=json
//
// BM_StatisticsUpdate: one record added to the live statistics, as each
// recorded reading is, 10,000,001 times (drifting DC V readings, one in ten
// of another function, one in fifty an overload). Counters: update_ns (mean
// wall time of one add), update_cpu_ns (this thread's processor time, for a
// machine busy with other work), first_million_ns_per_update and
// last_million_ns_per_update (flat: nothing grows with the records), rows.
//
// BM_StatisticsRecompute/distinct:0 and /distinct:1: the statistics of a
// 10,000,001-record snapshot built anew, as a load does on the worker:
// drifting readings, and records whose values all differ (each a text no
// other record has). Counters: recompute_ms, ns_per_record.
#include "RecordingRig.h"
#include "platform/BackgroundWork.h"
#include "record/ReadingTable.h"
#include "record/Statistics.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace benchrig;

constexpr std::int64_t limitless = 10'000'001;

// The i-th record of a recording: the meter's drifting V DC, now and then
// AC mV or an overload. Value texts are the caller's.
tolmar::ReadingRecord recordAt(std::size_t i, std::string_view value)
{
    tolmar::ReadingRecord r;
    r.No = static_cast<std::int32_t>(i);
    r.Time = static_cast<std::int32_t>((8 * 3'600'000 + i * 200) % 86'400'000);
    const bool other = i % 10 == 9;
    r.DCAC = other ? "AC" : "DC";
    r.Unit = other ? "mV" : " V";
    r.Value = i % 50 == 49 ? std::string_view("0.L") : value;
    r.Auto = i % 7 == 0 ? "Fail" : "pass";
    return r;
}

void BM_StatisticsUpdate(benchmark::State &state)
{
    // A ring of made records, so only the adds are timed.
    constexpr std::size_t ring = 1 << 12;
    DriftingMeter meter;
    tolmar::MeterReading reading;
    std::vector<std::string> values(ring);
    std::vector<tolmar::ReadingRecord> records(ring);
    for (std::size_t i = 0; i < ring; ++i) {
        meter.next(reading);
        values[i] = reading.ValueText;
    }
    for (std::size_t i = 0; i < ring; ++i)
        records[i] = recordAt(i, values[i]);
    const std::optional<tolmar::RecordDate> date = tolmar::RecordDate{20'796, 60};

    tolmar::Statistics statistics;
    std::int64_t i = 0;
    double firstMillionNs = 0, lastMillionNs = 0;
    const auto started = std::chrono::steady_clock::now();
    const double cpuStarted = cpuNs();
    auto millionStarted = started;
    for (auto _ : state) {
        statistics.add(records[static_cast<std::size_t>(i) & (ring - 1)], date);
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
    if (statistics.records() != static_cast<std::uint64_t>(limitless))
        state.SkipWithError("not every record was counted");
    state.counters["update_ns"] = elapsedNs / static_cast<double>(i);
    state.counters["update_cpu_ns"] = (cpuNs() - cpuStarted) / static_cast<double>(i);
    state.counters["first_million_ns_per_update"] = firstMillionNs / 1e6;
    state.counters["last_million_ns_per_update"] = lastMillionNs / 1e6;
    state.counters["rows"] = static_cast<double>(statistics.rows().size());
}
BENCHMARK(BM_StatisticsUpdate)->Iterations(limitless)->Unit(benchmark::kMillisecond);

// A table of 10,000,001 records, made once per kind.
const tolmar::ReadingTable &tableOf(bool distinct)
{
    static std::unique_ptr<tolmar::ReadingTable> tables[2];
    auto &table = tables[distinct];
    if (!table) {
        table = std::make_unique<tolmar::ReadingTable>();
        DriftingMeter meter;
        tolmar::MeterReading reading;
        char value[24];
        for (std::int64_t i = 0; i < limitless; ++i) {
            if (distinct) {
                const auto v = static_cast<unsigned long long>(i) * 7919 % 10'000'019; // no value repeats
                std::snprintf(value, sizeof value, "%llu.%03llu", v / 1000, v % 1000);
            } else {
                meter.next(reading);
                std::snprintf(value, sizeof value, "%s", reading.ValueText.c_str());
            }
            // A day's records have one date; the run changes at each midnight.
            const auto r = recordAt(static_cast<std::size_t>(i), value);
            table->append(r, tolmar::RecordDate{static_cast<std::int32_t>(20'796 + (8 * 3'600'000 + i * 200) / 86'400'000), 60});
        }
    }
    return *table;
}

void BM_StatisticsRecompute(benchmark::State &state)
{
    const bool distinct = state.range(0) != 0;
    const tolmar::ReadingTableSnapshot snapshot = tableOf(distinct).snapshot();
    double ms = 0;
    for (auto _ : state) {
        tolmar::WorkProgress progress;
        const auto started = std::chrono::steady_clock::now();
        const tolmar::Statistics statistics = tolmar::Statistics::recompute(snapshot, ".", &progress);
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        if (statistics.records() != static_cast<std::uint64_t>(limitless))
            state.SkipWithError("not every record was counted");
        benchmark::DoNotOptimize(statistics.rows().data());
    }
    state.counters["recompute_ms"] = ms;
    state.counters["ns_per_record"] = ms * 1e6 / static_cast<double>(limitless);
}
BENCHMARK(BM_StatisticsRecompute)->ArgName("distinct")->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
