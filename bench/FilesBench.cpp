// The data files at scale: a table of 1,000,000 records (about 110 MB of
// packet) saved, exported, loaded and imported through real files, and a
// packet of 10,000,001 records loaded end to end.
//
//   build/bench/bench_files --benchmark_format=json
//
// Counters: MB_per_s (file bytes over wall time, the final sync to disk
// included), file_MB, and for loads peak_heap_MB (the most heap in use while
// loading, above what was in use before) against table_MB (the loaded
// table's own heap): memory while loading stays at the table's own.
#include "files/ByteStreams.h"
#include "files/Packet.h"
#include "files/TextTable.h"
#include "platform/posix/PosixLocale.h"
#include "record/ReadingTable.h"

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

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
// automatic ranging, judged now and then.
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
        r.Time = static_cast<std::int32_t>((8 * 3'600'000 + i * 200) % 86'400'000);
        r.DCAC = "DC";
        r.Value = value;
        r.Unit = " V";
        r.Auto = i % 10 == 0 ? "PASS" : "AUTO";
        r.Nval = static_cast<std::int32_t>(std::lround(volts * 100));
        table.append(r);
    }
    return table;
}

const ReadingTable &millionTable()
{
    static const ReadingTable table = makeTable(1'000'000);
    return table;
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

template <typename Write>
void saveBench(benchmark::State &state, const char *name, Write write)
{
    const std::string path = benchFile(name);
    const ReadingTableSnapshot rows = millionTable().snapshot();
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        AtomicFile file(path);
        if (!write(rows, file) || !file.commit())
            state.SkipWithError(("save failed: " + file.error()).c_str());
        const double s = seconds(start);
        state.SetIterationTime(s);
        total += s;
    }
    const double mb = static_cast<double>(fileSize(path)) / 1e6;
    state.counters["file_MB"] = mb;
    state.counters["MB_per_s"] = mb * static_cast<double>(state.iterations()) / total;
}

template <typename Read>
void loadBench(benchmark::State &state, const std::string &path, Read read)
{
    double total = 0;
    double peak = 0, tableBytes = 0;
    std::size_t rows = 0;
    for (auto _ : state) {
        const std::int64_t before = heapNow.load();
        heapPeak.store(before);
        const auto start = std::chrono::steady_clock::now();
        ReadingTable table;
        FileSource source(path);
        const LoadResult result = read(source, table);
        const double s = seconds(start);
        if (!result.loaded())
            state.SkipWithError(("load failed: " + result.where()).c_str());
        state.SetIterationTime(s);
        total += s;
        peak = static_cast<double>(heapPeak.load() - before);
        tableBytes = static_cast<double>(table.bytesUsed());
        rows = table.size();
    }
    const double mb = static_cast<double>(fileSize(path)) / 1e6;
    state.counters["file_MB"] = mb;
    state.counters["MB_per_s"] = mb * static_cast<double>(state.iterations()) / total;
    state.counters["peak_heap_MB"] = peak / 1e6;
    state.counters["table_MB"] = tableBytes / 1e6;
    state.counters["rows"] = static_cast<double>(rows);
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
    loadBench(state, benchFile("1m.xml"), [](ByteSource &source, ReadingTable &table) {
        return readPacket(source, table);
    });
}

void BM_ImportText(benchmark::State &state)
{
    loadBench(state, benchFile("1m.txt"), [](ByteSource &source, ReadingTable &table) {
        return importText(source, locale(), table);
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

BENCHMARK(BM_SavePacket)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExportText)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadPacket)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ImportText)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadPacket10M)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
