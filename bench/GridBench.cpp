// The grid DBGrid1 over a "limitless" table of 10,000,001 records, offscreen:
// the UI-thread time for a new record to reach the screen (append, the
// grid's update, the repaint), for scrolling a page and for jumping to the
// end, and the heap the grid itself holds.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_grid
#include "app/qt/ReadingGrid.h"
#include "platform/Locale.h"
#include "record/ReadingTable.h"

#include <QApplication>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <memory>

namespace {

constexpr std::size_t limitless = 10'000'001;

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

tolmar::ReadingRecord record(std::size_t i, char *value)
{
    std::snprintf(value, 16, "%02zu.%02zu", i / 100 % 40, i % 100);
    tolmar::ReadingRecord r;
    r.No = static_cast<std::int32_t>(i);
    r.Time = static_cast<std::int32_t>(i % 86'400'000);
    r.DCAC = "DC";
    r.Value = value;
    r.Unit = "k*";
    r.Auto = "pass";
    return r;
}

struct Fixture {
    tolmar::FixedLocale locale;
    tolmar::ReadingTable table;
    std::unique_ptr<tolmar::ReadingGrid> grid;
    std::size_t gridHeap = 0;

    Fixture()
    {
        char value[16];
        for (std::size_t i = 0; i < limitless; ++i)
            table.append(record(i, value));
        const std::size_t before = heapInUse();
        grid = std::make_unique<tolmar::ReadingGrid>(table, locale);
        grid->resize(334, 321);
        grid->show();
        grid->tableChanged();
        QApplication::processEvents();
        gridHeap = heapInUse() - before;
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_NewRecordReachesTheScreen(benchmark::State &state)
{
    Fixture &f = fixture();
    char value[16];
    std::size_t i = f.table.size();
    for (auto _ : state) {
        f.table.append(record(i++, value));
        f.grid->tableChanged();
        f.grid->viewport()->repaint();
    }
    state.counters["rows"] = static_cast<double>(f.table.size());
    state.counters["grid_heap_bytes"] = static_cast<double>(f.gridHeap);
}
BENCHMARK(BM_NewRecordReachesTheScreen)->Unit(benchmark::kMicrosecond);

void BM_ScrollOnePage(benchmark::State &state)
{
    Fixture &f = fixture();
    QScrollBar *bar = f.grid->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    int step = bar->pageStep();
    for (auto _ : state) {
        step = -step; // back and forth in the middle of ten million rows
        bar->setValue(bar->value() + step);
        f.grid->viewport()->repaint();
    }
}
BENCHMARK(BM_ScrollOnePage)->Unit(benchmark::kMicrosecond);

void BM_JumpFromTopToEnd(benchmark::State &state)
{
    Fixture &f = fixture();
    QScrollBar *bar = f.grid->verticalScrollBar();
    for (auto _ : state) {
        state.PauseTiming();
        bar->setValue(0);
        f.grid->viewport()->repaint();
        state.ResumeTiming();
        bar->setValue(bar->maximum()); // as Ctrl+End does
        f.grid->viewport()->repaint();
    }
}
BENCHMARK(BM_JumpFromTopToEnd)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
