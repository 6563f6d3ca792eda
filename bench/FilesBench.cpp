// The data files at scale: a table of 1,000,000 records (about 110 MB of
// packet) saved, exported (tab-separated and comma-separated), loaded and
// imported through real files, and a
// packet of 10,000,001 records loaded end to end. Each 1,000,000-record case
// runs on two tables: /drifting, a meter's day whose readings repeat, and
// /distinct, where every record's value is a text no other record has and
// the function, unit and judgement vary (a file from elsewhere, a long mixed
// session).
//
//   build/bench/bench_files --benchmark_format=json
//
// Counters: MB_per_s (file bytes over wall time, the final sync to disk
// included), MB_per_cpu_s (the same over this thread's processor time, for a
// machine busy with other work), file_MB, and for loads peak_heap_MB (the most heap in use while
// loading, above what was in use before) against table_MB (the loaded
// table's own heap): memory while loading stays at the table's own.
// table_bytes_per_record is that heap per record, text_bytes_per_record the
// bytes of the distinct texts themselves (each field's distinct texts, once).
#include "files/ByteStreams.h"
#include "files/CsvTable.h"
#include "files/Packet.h"
#include "files/TextTable.h"
#include "platform/posix/PosixLocale.h"
#include "record/ReadingTable.h"

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>

// Heap in use, counted at every allocation of this program.
namespace {
std::atomic<std::int64_t> heapNow{0};
std::atomic<std::int64_t> heapPeak{0};
constexpr std::size_t sizeHeader = 16; // keeps alignment for every type

void *counted(std::size_t size)
{
    void *block = std::malloc(size + sizeHeader);
    if (!block)
        throw std::bad_alloc();
    *static_cast<std::size_t *>(block) = size;
    const std::int64_t now = heapNow.fetch_add(static_cast<std::int64_t>(size)) + static_cast<std::int64_t>(size);
    std::int64_t peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char *>(block) + sizeHeader;
}

void uncounted(void *p)
{
    if (!p)
        return;
    void *block = static_cast<char *>(p) - sizeHeader;
    heapNow.fetch_sub(static_cast<std::int64_t>(*static_cast<std::size_t *>(block)));
    std::free(block);
}
} // namespace

void *operator new(std::size_t size) { return counted(size); }
void *operator new[](std::size_t size) { return counted(size); }
void operator delete(void *p) noexcept { uncounted(p); }
void operator delete[](void *p) noexcept { uncounted(p); }
void operator delete(void *p, std::size_t) noexcept { uncounted(p); }
void operator delete[](void *p, std::size_t) noexcept { uncounted(p); }

namespace {

using namespace tolmar;

// A day's log: readings every 200 ms drifting like a meter's, DC volts with
// automatic ranging, judged now and then; dated (a million readings span
// three days).
ReadingTable makeTable(std::size_t count)
{
    ReadingTable table;
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 0.02);
    double volts = 12.0;
    char value[16];
    for (std::size_t i = 0; i < count; ++i) {
        volts = std::clamp(volts + noise(random), 0.0, 39.99);
        std::snprintf(value, sizeof value, "%05.2f", volts);
        ReadingRecord r;
        r.No = static_cast<std::int32_t>(i + 1);
        const std::uint64_t since = 8 * 3'600'000 + i * 200;
        r.Time = static_cast<std::int32_t>(since % 86'400'000);
        r.DCAC = "DC";
        r.Value = value;
        r.Unit = " V";
        r.Auto = i % 10 == 0 ? "PASS" : "AUTO";
        r.Nval = static_cast<std::int32_t>(std::lround(volts * 100));
        table.append(r, RecordDate{static_cast<std::int32_t>(20796 + since / 86'400'000), 60});
    }
    return table;
}

// Records that all differ: the value a text of its own (a prime stride
// through 10,000,019 numbers, so none repeats), the function, unit and
// judgement drawn at random, the time a random time of day of a random day
// of a year (nearly every record a date run of its own).
ReadingTable makeDistinctTable(std::size_t count)
{
    static const char *const functions[] = {"DC", "AC", "AC+DC", "DIODE", "CONT"};
    static const char *const units[] = {" V", "mV", " A", "mA", "uA", "Ohm", "kOhm", "MOhm", "Hz", "kHz", "nF", "uF", "C", "F", "%"};
    static const char *const judgements[] = {"AUTO", "MANU", "PASS", "FAIL", "HOLD", ""};
    ReadingTable table;
    std::mt19937 random(11);
    char value[24];
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t v = (i * 7919) % 10'000'019;
        std::snprintf(value, sizeof value, "%s%llu.%03llu", random() % 4 == 0 ? "-" : "",
                      static_cast<unsigned long long>(v / 1000), static_cast<unsigned long long>(v % 1000));
        ReadingRecord r;
        r.No = static_cast<std::int32_t>(i + 1);
        r.Time = static_cast<std::int32_t>(random() % 86'400'000);
        r.DCAC = functions[random() % std::size(functions)];
        r.Value = value;
        r.Unit = units[random() % std::size(units)];
        r.Auto = judgements[random() % std::size(judgements)];
        r.Nval = static_cast<std::int32_t>(v);
        table.append(r, RecordDate{static_cast<std::int32_t>(20454 + random() % 365), random() % 2 ? std::int16_t{60}
                                                                                                    : std::int16_t{120}});
    }
    return table;
}

// state.range(0): 0 for the drifting table, 1 for the distinct one.
bool distinctCase(const benchmark::State &state)
{
    return state.range(0) != 0;
}

const ReadingTable &millionTable(bool distinct)
{
    static const ReadingTable drifting = makeTable(1'000'000);
    static const ReadingTable different = makeDistinctTable(1'000'000);
    return distinct ? different : drifting;
}

// The bytes of a table's distinct texts, each field's counted once.
std::size_t distinctTextBytes(const ReadingTable &table)
{
    std::unordered_set<std::string_view> seen[4];
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ReadingRecord r = table.at(i);
        const std::string_view texts[] = {r.DCAC, r.Value, r.Unit, r.Auto};
        for (std::size_t f = 0; f < 4; ++f)
            if (seen[f].insert(texts[f]).second)
                bytes += texts[f].size();
    }
    return bytes;
}

std::string benchFile(const char *name)
{
    const char *dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/tolmar-bench-" + name;
}

std::uint64_t fileSize(const std::string &path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor time of this thread: on a machine busy with other work, wall
// time says more about the others than about us.
double cpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

template <typename Write>
void saveBench(benchmark::State &state, std::string name, Write write)
{
    const std::string path = benchFile((distinctCase(state) ? "distinct-" + name : name).c_str());
    const ReadingTableSnapshot rows = millionTable(distinctCase(state)).snapshot();
    double total = 0, cpu = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuSeconds();
        AtomicFile file(path);
        if (!write(rows, file) || !file.commit()) {
            state.SkipWithError(("save failed: " + file.error()).c_str());
            break;
        }
        const double s = seconds(start);
        cpu += cpuSeconds() - cpuStart;
        state.SetIterationTime(s);
        total += s;
    }
    const double mb = static_cast<double>(fileSize(path)) / 1e6;
    state.counters["file_MB"] = mb;
    state.counters["MB_per_s"] = mb * static_cast<double>(state.iterations()) / total;
    state.counters["MB_per_cpu_s"] = mb * static_cast<double>(state.iterations()) / cpu;
}

template <typename Read>
void loadBench(benchmark::State &state, const std::string &path, Read read)
{
    double total = 0, cpu = 0;
    double peak = 0, tableBytes = 0, textBytes = 0;
    std::size_t rows = 0;
    for (auto _ : state) {
        const std::int64_t before = heapNow.load();
        heapPeak.store(before);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuSeconds();
        ReadingTable table;
        FileSource source(path);
        const LoadResult result = read(source, table);
        const double s = seconds(start);
        cpu += cpuSeconds() - cpuStart;
        if (!result.loaded()) {
            // The file comes from the save or export bench before it: a
            // filter that leaves that one out has nothing to read.
            state.SkipWithError(("load failed (run the save/export bench first): " + result.where()).c_str());
            break;
        }
        state.SetIterationTime(s);
        total += s;
        peak = static_cast<double>(heapPeak.load() - before);
        tableBytes = static_cast<double>(table.bytesUsed());
        rows = table.size();
        state.PauseTiming();
        textBytes = static_cast<double>(distinctTextBytes(table));
        state.ResumeTiming();
    }
    const double mb = static_cast<double>(fileSize(path)) / 1e6;
    state.counters["file_MB"] = mb;
    state.counters["MB_per_s"] = mb * static_cast<double>(state.iterations()) / total;
    state.counters["MB_per_cpu_s"] = mb * static_cast<double>(state.iterations()) / cpu;
    state.counters["peak_heap_MB"] = peak / 1e6;
    state.counters["table_MB"] = tableBytes / 1e6;
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["table_bytes_per_record"] = rows ? tableBytes / static_cast<double>(rows) : 0;
    state.counters["text_bytes_per_record"] = rows ? textBytes / static_cast<double>(rows) : 0;
}

std::string caseFile(const benchmark::State &state, const char *name)
{
    return benchFile(distinctCase(state) ? (std::string("distinct-") + name).c_str() : name);
}

PosixLocale &locale()
{
    static PosixLocale posix;
    return posix;
}

void BM_SavePacket(benchmark::State &state)
{
    saveBench(state, "1m.xml", [](const ReadingTableSnapshot &rows, ByteSink &sink) { return writePacket(rows, sink); });
}

void BM_ExportText(benchmark::State &state)
{
    saveBench(state, "1m.txt",
              [](const ReadingTableSnapshot &rows, ByteSink &sink) { return exportText(rows, locale(), sink); });
}

void BM_LoadPacket(benchmark::State &state)
{
    loadBench(state, caseFile(state, "1m.xml"), [](ByteSource &source, ReadingTable &table) {
        return readPacket(source, table);
    });
}

void BM_ImportText(benchmark::State &state)
{
    loadBench(state, caseFile(state, "1m.txt"), [](ByteSource &source, ReadingTable &table) {
        return importText(source, locale(), table);
    });
}

void BM_ExportCsv(benchmark::State &state)
{
    saveBench(state, "1m.csv", [](const ReadingTableSnapshot &rows, ByteSink &sink) { return exportCsv(rows, sink); });
}

void BM_ImportCsv(benchmark::State &state)
{
    loadBench(state, caseFile(state, "1m.csv"), [](ByteSource &source, ReadingTable &table) {
        return importCsv(source, table);
    });
}

// The "limitless" log: written once (not timed), loaded once end to end.
void BM_LoadPacket10M(benchmark::State &state)
{
    const std::string path = benchFile("10m.xml");
    {
        const ReadingTable table = makeTable(10'000'001);
        AtomicFile file(path);
        if (!writePacket(table.snapshot(), file) || !file.commit()) {
            state.SkipWithError("cannot write the 10 M packet");
            return;
        }
    }
    loadBench(state, path, [](ByteSource &source, ReadingTable &table) { return readPacket(source, table); });
    ::unlink(path.c_str());
}

} // namespace

// The loads read what the saves wrote: the saves run first.
BENCHMARK(BM_SavePacket)->ArgName("distinct")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExportText)->ArgName("distinct")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadPacket)->ArgName("distinct")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ImportText)->ArgName("distinct")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExportCsv)->ArgName("distinct")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ImportCsv)->ArgName("distinct")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadPacket10M)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
