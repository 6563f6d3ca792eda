// The trend over a "limitless" table of 10,000,001 dated records (ten a
// second for eleven and a half days, drifting, with failures and an hour in
// another function each day), offscreen.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_trend
//
// BM_SummaryAppend: the summary kept up as records come (ns a record, first
// and last million) and its size (bytes a record).
// BM_TrendWindow: the window opened (made, shown, drawn), then zoomed from
// everything to a single record in steps of ten and back, and panned; each
// step's UI-thread time, in processor time of the thread (the view's points from the summary, the plot's
// data, a replot painted at once). Counters in milliseconds: open_ms,
// zoom_in_max_ms, zoom_out_max_ms, pan_max_ms, and each step's time.
#include "RecordingRig.h"

#include "app/TrendFeed.h"
#include "app/qt/TrendWindow.h"
#include "platform/BackgroundWork.h"
#include "record/ReadingTable.h"
#include "record/TrendSummary.h"

#include <qcustomplot.h>

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>

namespace {

using namespace benchrig;

constexpr std::size_t limitless = 10'000'001;
constexpr int msPerRecord = 100;

tolmar::ReadingTable &table()
{
    static tolmar::ReadingTable *t = [] {
        auto *rows = new tolmar::ReadingTable;
        std::mt19937 random(9);
        double volts = 12.0;
        char value[16];
        for (std::size_t i = 0; i < limitless; ++i) {
            const long long ms = static_cast<long long>(i) * msPerRecord;
            const int msOfDay = static_cast<int>(ms % 86'400'000);
            const bool otherFunction = msOfDay >= 10 * 3'600'000 && msOfDay < 11 * 3'600'000;
            volts = std::clamp(volts + std::normal_distribution<double>(0, 0.01)(random), 0.0, 39.99);
            std::snprintf(value, sizeof value, "%05.2f", otherFunction ? 229.5 : volts);
            tolmar::ReadingRecord r;
            r.No = static_cast<std::int32_t>(i);
            r.Time = msOfDay;
            r.DCAC = otherFunction ? "AC" : "DC";
            r.Value = value;
            r.Unit = " V";
            r.Auto = volts > 12.5 ? "Fail" : "pass";
            rows->append(r, tolmar::RecordDate{static_cast<std::int32_t>(20796 + ms / 86'400'000), 60});
        }
        return rows;
    }();
    return *t;
}

void BM_SummaryAppend(benchmark::State &state)
{
    const tolmar::ReadingTable &rows = table();
    for (auto _ : state) {
        tolmar::TrendSummary summary;
        double first = 0, last = 0;
        const double started = cpuNs();
        double millionStarted = started;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            summary.append(rows.at(i));
            if ((i + 1) % 1'000'000 == 0) {
                const double now = cpuNs();
                if (i + 1 == 1'000'000)
                    first = now - millionStarted;
                last = now - millionStarted;
                millionStarted = now;
            }
        }
        state.counters["append_cpu_ns"] = (cpuNs() - started) / static_cast<double>(rows.size());
        state.counters["first_million_ns_per_append"] = first / 1e6;
        state.counters["last_million_ns_per_append"] = last / 1e6;
        state.counters["summary_bytes_per_record"] =
            static_cast<double>(summary.bytesUsed()) / static_cast<double>(rows.size());
    }
}
BENCHMARK(BM_SummaryAppend)->Iterations(1)->Unit(benchmark::kMillisecond);

// UI-thread time: this thread's processor time, so other work on a busy
// machine does not count.
double msSince(double startedCpuNs)
{
    return (cpuNs() - startedCpuNs) / 1e6;
}

void BM_TrendWindow(benchmark::State &state)
{
    const tolmar::ReadingTable &rows = table();
    tolmar::InlineBackgroundWork work;
    tolmar::TrendFeed feed(rows, work);
    feed.sync();
    const auto limits = [] { return std::make_pair(std::optional<double>(12.5), std::optional<double>(11.5)); };
    for (auto _ : state) {
        const double started = cpuNs();
        auto window = std::make_unique<tolmar::TrendWindow>(rows, feed, limits);
        window->resize(900, 520);
        window->show();
        window->plot()->replot(QCustomPlot::rpImmediateRefresh);
        QApplication::processEvents();
        state.counters["open_ms"] = msSince(started);

        const QCPRange whole = window->plot()->xAxis->range();
        const double centre = (whole.lower + whole.upper) / 2;
        double width = whole.size();
        const auto step = [&](double w, double middle) {
            const double t = cpuNs();
            window->setRange(middle - w / 2, middle + w / 2);
            window->plot()->replot(QCustomPlot::rpImmediateRefresh);
            return msSince(t);
        };
        double zoomIn = 0, zoomOut = 0, pan = 0;
        int steps = 0;
        // Down to a tenth of a second: a single record in view.
        std::vector<double> widths;
        while (width > 0.1) {
            width /= 10;
            widths.push_back(width);
        }
        for (const double w : widths) {
            const double ms = step(w, centre);
            zoomIn = std::max(zoomIn, ms);
            state.counters["zoom_in_" + std::to_string(steps++) + "_ms"] = ms;
        }
        const int pointsAtTheEnd = window->pointsDrawn();
        for (auto w = widths.rbegin(); w != widths.rend(); ++w)
            zoomOut = std::max(zoomOut, step(*w, centre));
        zoomOut = std::max(zoomOut, step(whole.size(), centre));
        for (int i = 1; i <= 10; ++i)
            pan = std::max(pan, step(whole.size() / 20, centre + i * whole.size() / 40));
        state.counters["zoom_in_max_ms"] = zoomIn;
        state.counters["zoom_out_max_ms"] = zoomOut;
        state.counters["pan_max_ms"] = pan;
        state.counters["records_at_the_deepest"] = pointsAtTheEnd;
        state.counters["summary_bytes_per_record"] =
            static_cast<double>(feed.summary().bytesUsed()) / static_cast<double>(rows.size());
    }
}
BENCHMARK(BM_TrendWindow)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
