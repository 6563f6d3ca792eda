// The reading table with a "limitless" recording: 10,000,001 readings through
// the live append step (record, numbering, chart value), with readings that
// drift as a real meter's do, and the memory table and chart take per record.
//
//   build/bench/bench_table --benchmark_format=json
//
// Counters: append_ns (mean cost of one append step; append_cpu_ns the same
// in this thread's processor time, for a machine busy with other work),
// bytes_per_record (table + chart points, heap counted by malloc),
// table_bytes_per_record and
// chart_bytes_per_record (the stores' own counts), and the cost of the last
// million appends against the first (flat: no cost grows with the table).
// The clock starts at 22:30 and moves a millisecond a frame, so the records'
// dates cross midnight, and the UTC offset changes at 01:00 (date_days: the
// days the records span, checked).
//
// BM_TableAppend/distinct:0 and /distinct:1 append 1,000,000 records to the
// table alone: drifting readings, and records that all differ (each value a
// text no other record has; functions, units and judgements varying). Their
// counters: append_ns, table_bytes_per_record (the store's own count) and
// text_bytes_per_record (each field's distinct texts, once).
#include "RecordingRig.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace {

using namespace benchrig;

constexpr std::int64_t limitless = 10'000'001;

void BM_LiveAppend(benchmark::State &state)
{
    const std::size_t heapBefore = heapInUse();
    auto rig = std::make_unique<RecordingRig>();
    DriftingMeter meter;
    std::int64_t i = 0;
    double firstMillionNs = 0, lastMillionNs = 0;
    auto started = std::chrono::steady_clock::now();
    const double cpuStarted = cpuNs();
    auto millionStarted = started;
    for (auto _ : state) {
        meter.next(rig->reading);
        rig->time.advance(1); // the clock moves, as between frames
        if (i == 9'000'000) {
            // 01:00 the next day: the offset changes as when summer time
            // ends (the time of day runs on, the runs are what count here).
            tolmar::LocalDateTime t = rig->time.now();
            t.utcOffsetMinutes = 60;
            rig->time.setNow(t);
        }
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
    const double elapsedCpuNs = cpuNs() - cpuStarted;
    const auto records = static_cast<double>(rig->cds1.size());
    if (rig->cds1.size() != static_cast<std::size_t>(limitless))
        state.SkipWithError("the limit gate did not let 10,000,001 records in");
    state.counters["records"] = records;
    state.counters["append_ns"] = elapsedNs / static_cast<double>(i);
    state.counters["append_cpu_ns"] = elapsedCpuNs / static_cast<double>(i);
    state.counters["first_million_ns_per_append"] = firstMillionNs / 1e6;
    state.counters["last_million_ns_per_append"] = lastMillionNs / 1e6;
    state.counters["bytes_per_record"] = static_cast<double>(heapInUse() - heapBefore) / records;
    state.counters["table_bytes_per_record"] = static_cast<double>(rig->cds1.bytesUsed()) / records;
    state.counters["chart_bytes_per_record"] = static_cast<double>(rig->Chart1.bytesUsed()) / records;
    const auto first = rig->cds1.dateOf(0), last = rig->cds1.dateOf(rig->cds1.size() - 1);
    if (!first || !last || last->day != first->day + 1 || last->utcOffsetMinutes != 60)
        state.SkipWithError("the records' dates did not cross midnight and the change of offset");
    else
        state.counters["date_days"] = last->day - first->day + 1;
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

// One record of a table that drifts (distinct = false) or whose records all
// differ (distinct = true), the i-th of its kind.
struct RecordSource {
    std::mt19937 random{11};
    DriftingMeter meter;
    tolmar::MeterReading reading;
    char value[24] = {};

    tolmar::ReadingRecord next(std::size_t i, bool distinct)
    {
        static const char *const functions[] = {"DC", "AC", "AC+DC", "DIODE", "CONT"};
        static const char *const units[] = {" V", "mV", " A", "mA", "uA", "Ohm", "kOhm", "MOhm", "Hz", "kHz", "nF", "uF", "C", "F", "%"};
        static const char *const judgements[] = {"AUTO", "MANU", "PASS", "FAIL", "HOLD", ""};
        tolmar::ReadingRecord r;
        r.No = static_cast<std::int32_t>(i + 1);
        if (distinct) {
            const std::uint64_t v = (i * 7919) % 10'000'019; // a prime stride: no value repeats
            std::snprintf(value, sizeof value, "%s%llu.%03llu", random() % 4 == 0 ? "-" : "",
                          static_cast<unsigned long long>(v / 1000), static_cast<unsigned long long>(v % 1000));
            r.Time = static_cast<std::int32_t>(random() % 86'400'000);
            r.DCAC = functions[random() % std::size(functions)];
            r.Unit = units[random() % std::size(units)];
            r.Auto = judgements[random() % std::size(judgements)];
            r.Nval = static_cast<std::int32_t>(v);
            r.Value = value;
        } else {
            meter.next(reading);
            std::snprintf(value, sizeof value, "%s", reading.ValueText.c_str());
            r.Time = static_cast<std::int32_t>((8 * 3'600'000 + i * 200) % 86'400'000);
            r.DCAC = "DC";
            r.Unit = " V";
            r.Auto = i % 10 == 0 ? "PASS" : "AUTO";
            r.Nval = static_cast<std::int32_t>(reading.Nval);
            r.Value = value;
        }
        return r;
    }
};

void BM_TableAppend(benchmark::State &state)
{
    constexpr std::size_t count = 1'000'000;
    const bool distinct = state.range(0) != 0;
    // The records are made first, so only the appends are timed.
    std::vector<tolmar::ReadingRecord> records;
    std::vector<std::string> values;
    records.reserve(count);
    values.reserve(count);
    RecordSource source;
    for (std::size_t i = 0; i < count; ++i) {
        records.push_back(source.next(i, distinct));
        values.emplace_back(records.back().Value);
    }
    for (std::size_t i = 0; i < count; ++i)
        records[i].Value = values[i];
    double appendNs = 0, appendCpuNs = 0, tableBytes = 0, textBytes = 0;
    for (auto _ : state) {
        tolmar::ReadingTable table;
        const auto started = std::chrono::steady_clock::now();
        const double cpuStarted = cpuNs();
        for (const tolmar::ReadingRecord &r : records)
            table.append(r);
        appendNs = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - started).count()
            / static_cast<double>(count);
        appendCpuNs = (cpuNs() - cpuStarted) / static_cast<double>(count);
        state.PauseTiming();
        tableBytes = static_cast<double>(table.bytesUsed());
        std::unordered_set<std::string_view> seen[4];
        textBytes = 0;
        for (std::size_t i = 0; i < table.size(); ++i) {
            const tolmar::ReadingRecord r = table.at(i);
            const std::string_view texts[] = {r.DCAC, r.Value, r.Unit, r.Auto};
            for (std::size_t f = 0; f < 4; ++f)
                if (seen[f].insert(texts[f]).second)
                    textBytes += static_cast<double>(texts[f].size());
        }
        state.ResumeTiming();
    }
    state.counters["append_ns"] = appendNs;
    state.counters["append_cpu_ns"] = appendCpuNs;
    state.counters["table_bytes_per_record"] = tableBytes / static_cast<double>(count);
    state.counters["text_bytes_per_record"] = textBytes / static_cast<double>(count);
}
BENCHMARK(BM_TableAppend)->ArgName("distinct")->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
