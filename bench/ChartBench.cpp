// The chart with a "limitless" recording: appending ten million values, the
// memory they take, and a page change drawn by the Qt view.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_chart
//
// CHART_BENCH_SNAPSHOT=dir also saves the last rendered page of each page
// size as dir/chart-<size>.png.
#include "chart/PointStore.h"
#include "chart/uCharControl.h"
#include "chart/qt/QtChartWidget.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#ifndef TOLMAR_CHART_WITH_QCUSTOMPLOT
#include <QLineSeries>
#endif

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cmath>
#include <memory>

namespace {

constexpr std::int64_t tenMillion = 10'000'000;

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A reading as the meter might send it: a slow wave with a little noise.
double reading(std::int64_t i)
{
    return 30 * std::sin(static_cast<double>(i) / 5000) + static_cast<double>(i % 7) / 10;
}

// The pager at start-up: 160 per page, each series holding its placeholder.
struct Chart {
    tolmar::PointStore store;
    tolmar::TChartControl pager{store, 160};
    Chart()
    {
        for (int s = 0; s < store.seriesCount(); ++s)
            store.append(s, 0, "", tolmar::chartBlue);
        pager.SetMaxValue(40);
        pager.SetMinValue(-40);
    }
};

void BM_AddValue(benchmark::State &state)
{
    const std::size_t before = heapInUse();
    auto chart = std::make_unique<Chart>();
    std::int64_t i = 0;
    for (auto _ : state)
        chart->pager.AddValue(reading(++i));
    const double heap = static_cast<double>(heapInUse() - before);
    state.counters["heap_bytes_per_record"] = heap / static_cast<double>(i);
    state.counters["store_bytes_per_record"] = static_cast<double>(chart->store.bytesUsed()) / static_cast<double>(i);
    state.counters["pages"] = chart->pager.pageCount();
}
BENCHMARK(BM_AddValue)->Iterations(tenMillion)->Unit(benchmark::kNanosecond);

// Ten million recorded values, the chart view of the main window's size.
struct Recorded {
    Chart chart;
    tolmar::QtChartWidget view{chart.store};
    Recorded()
    {
        for (std::int64_t i = 1; i <= tenMillion; ++i)
            chart.pager.AddValue(reading(i));
        view.resize(513, 326);
        view.show();
        QCoreApplication::processEvents();
    }
};

Recorded &recorded()
{
    static Recorded instance;
    return instance;
}

// One page change: go to the other of two pages in the middle of the
// recording, rebuild the view's page and (with render) draw it into an image.
void pageChange(benchmark::State &state, bool render)
{
    Recorded &r = recorded();
    const int pageSize = static_cast<int>(state.range(0));
    r.chart.pager.SetPageSize(pageSize);
    const int middle = r.chart.pager.pageCount() / 2;
    QImage image(r.view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    int turn = 0;
    for (auto _ : state) {
        r.chart.pager.GoToPage(middle + (turn++ % 2));
        r.view.refresh();
        if (render) {
            QPainter painter(&image);
            r.view.render(&painter);
        }
    }
#ifdef TOLMAR_CHART_WITH_QCUSTOMPLOT
    state.counters["points_drawn"] = static_cast<double>(r.view.Series1()->dataCount());
#else
    state.counters["points_drawn"] = static_cast<double>(r.view.Series1()->points().size());
#endif
    if (render && qEnvironmentVariableIsSet("CHART_BENCH_SNAPSHOT"))
        image.save(qEnvironmentVariable("CHART_BENCH_SNAPSHOT") + QString("/chart-%1.png").arg(pageSize));
}

void BM_PageChangeUpdate(benchmark::State &state) { pageChange(state, false); }
void BM_PageChangeRender(benchmark::State &state) { pageChange(state, true); }
BENCHMARK(BM_PageChangeUpdate)->Arg(160)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageChangeRender)->Arg(160)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
