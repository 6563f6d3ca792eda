// The session journal at a "limitless" recording: 10,000,001 readings through
// the live append step with the journal on, and the restore of that journal.
//
//   build/bench/bench_journal [--benchmark_filter=...]
//
// The journal goes to $TOLMAR_BENCH_DIR (else /tmp), about 450 MB.
//
// BM_JournalledAppend/journal:0 and /journal:1: the append step of the
// window (record, numbering, chart value) without and with the journal.
// Counters: append_cpu_ns (this thread's processor time per append: the
// UI thread's; the writer works on its own), first and last million (flat:
// no cost grows with the table), journal_bytes_per_record (the file).
// The difference of the two append_cpu_ns is the journal's cost on the UI thread.
//
// BM_Restore: the 10,000,001-record journal read back and its table,
// chart and numbering put in place, as the window does after a crash.
// Counters: restore_s, records, bytes_per_record (table + chart, heap after
// the restore, counted by malloc).
#include "RecordingRig.h"

#include "app/Session.h"
#include "files/ByteStreams.h"
#include "files/Journal.h"
#include "platform/BackgroundWork.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using namespace benchrig;

constexpr std::int64_t limitless = 10'000'001;

std::string benchFolder()
{
    const char *dir = std::getenv("TOLMAR_BENCH_DIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/tolmar-bench-journal";
}

// The recording rig with the window's session around it.
struct JournalledRig : RecordingRig {
    tolmar::InlineBackgroundWork work;
    tolmar::Session session;

    explicit JournalledRig(const std::string &folder)
        : session(folder, {cds1, recording, chart, prompts, work, time, nullptr, nullptr})
    {
        recording.onConsidered = [this](std::optional<std::size_t> index, std::optional<double> value) {
            session.considered(index, value);
        };
        session.start();
    }
};

// The journal of the last /journal:1 run, for BM_Restore.
std::string lastJournal;

void BM_JournalledAppend(benchmark::State &state)
{
    const bool journal = state.range(0) != 0;
    const std::string folder = benchFolder();
    std::filesystem::remove_all(folder);
    auto rig = std::make_unique<JournalledRig>(journal ? folder : std::string());
    DriftingMeter meter;
    std::int64_t i = 0;
    double firstMillionNs = 0, lastMillionNs = 0;
    const double cpuStarted = cpuNs();
    double millionStarted = cpuStarted;
    for (auto _ : state) {
        meter.next(rig->reading);
        rig->time.advance(1);
        rig->recording.INDataToTable1();
        if (++i % 1'000'000 == 0) {
            const double now = cpuNs();
            if (i == 1'000'000)
                firstMillionNs = now - millionStarted;
            lastMillionNs = now - millionStarted;
            millionStarted = now;
        }
    }
    const double elapsedCpuNs = cpuNs() - cpuStarted;
    rig->session.flush();
    if (rig->cds1.size() != static_cast<std::size_t>(limitless))
        state.SkipWithError("the limit gate did not let 10,000,001 records in");
    state.counters["append_cpu_ns"] = elapsedCpuNs / static_cast<double>(i);
    state.counters["first_million_cpu_ns_per_append"] = firstMillionNs / 1e6;
    state.counters["last_million_cpu_ns_per_append"] = lastMillionNs / 1e6;
    if (journal) {
        lastJournal = rig->session.journalPath();
        if (!rig->session.journalling())
            state.SkipWithError("the journal stopped");
        state.counters["journal_bytes_per_record"] =
            static_cast<double>(std::filesystem::file_size(lastJournal)) / static_cast<double>(limitless);
    }
    rig.reset(); // no normal end: the journal stays on disk as a crash leaves it, for BM_Restore
}
BENCHMARK(BM_JournalledAppend)->ArgName("journal")->Arg(0)->Arg(1)->Iterations(limitless)->Unit(benchmark::kMillisecond);

void BM_Restore(benchmark::State &state)
{
    if (lastJournal.empty()) {
        state.SkipWithError("run BM_JournalledAppend/journal:1 first");
        return;
    }
    for (auto _ : state) {
        const std::size_t heapBefore = heapInUse();
        const auto started = std::chrono::steady_clock::now();
        // What the restore does: read the journal beside the window, then
        // put table, chart and numbering in place.
        auto rig = std::make_unique<RecordingRig>();
        tolmar::FileSource source(lastJournal);
        tolmar::WorkProgress progress;
        tolmar::JournalContents contents = tolmar::readJournal(source, &progress);
        rig->cds1 = std::move(contents.rows);
        rig->chart.restoreValues(contents.chartValues);
        std::vector<double>().swap(contents.chartValues);
        rig->recording.NextRecordNo = contents.numbering.next;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const auto records = static_cast<double>(rig->cds1.size());
        if (contents.status != tolmar::JournalContents::Status::Restorable || rig->cds1.size() != limitless
            || progress.done() != progress.total())
            state.SkipWithError("the journal did not restore whole");
        state.counters["restore_s"] = seconds;
        state.counters["records"] = records;
        state.counters["bytes_per_record"] = static_cast<double>(heapInUse() - heapBefore) / records;
        state.counters["table_bytes_per_record"] = static_cast<double>(rig->cds1.bytesUsed()) / records;
        state.counters["chart_bytes_per_record"] = static_cast<double>(rig->Chart1.bytesUsed()) / records;
    }
}
BENCHMARK(BM_Restore)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
