// The printed report over tables of 1,000, 100,000 and 10,000,001 records,
// offscreen: the print preview opened with its first page painted (and the
// last page of the largest table), the memory the open preview adds over the
// table itself, and the report of 100,000 records written as a PDF.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_report
//
// Counters: heap_MB (heap in use with the preview open and painted, above
// what was in use before it was made), rss_MB (the resident set's growth
// over all iterations), table_MB (the table's own heap, for scale), pages;
// for the PDF pages_per_s and pdf_MB.
#include "files/Report.h"
#include "files/qt/ReportPainter.h"
#include "files/qt/ReportPreviewDialog.h"
#include "platform/Locale.h"
#include "record/ReadingTable.h"

#include <QApplication>
#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>

namespace {

using namespace tolmar;

constexpr std::size_t limitless = 10'000'001;

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::size_t residentBytes()
{
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

double megabytes(double bytes)
{
    return bytes / 1e6;
}

// A recording as the meter makes it: kilohms drifting, one reading every
// 200 ms from 8:00, judged against limits now and then.
ReadingTable makeTable(std::size_t count)
{
    ReadingTable table;
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0, 0.002);
    double kilohms = 4.7;
    char value[16];
    for (std::size_t i = 0; i < count; ++i) {
        kilohms = std::clamp(kilohms + noise(random), 0.0, 39.99);
        std::snprintf(value, sizeof value, "%.3f", kilohms);
        ReadingRecord r;
        r.No = static_cast<std::int32_t>(i + 1);
        r.Time = static_cast<std::int32_t>((8 * 3'600'000 + i * 200) % 86'400'000);
        r.DCAC = "OHM";
        r.Value = value;
        r.Unit = "k*";
        r.Auto = kilohms > 4.8 ? "Fail" : "Pass";
        r.Nval = static_cast<std::int32_t>(std::lround(kilohms * 1000));
        table.append(r);
    }
    return table;
}

// Each table built once, before any timing, and kept for the run.
const ReadingTable &table(std::size_t count)
{
    static std::map<std::size_t, std::unique_ptr<ReadingTable>> tables;
    auto &slot = tables[count];
    if (!slot)
        slot = std::make_unique<ReadingTable>(makeTable(count));
    return *slot;
}

const FixedLocale locale;

// Opens the preview, lets it show, and paints the page in view (the first,
// or the last with `last`) as the screen gets it.
void openPreview(benchmark::State &state, bool last)
{
    const ReadingTable &records = table(static_cast<std::size_t>(state.range(0)));
    QApplication::processEvents();
    const std::size_t rssBefore = residentBytes();
    std::size_t heapAdded = 0;
    std::size_t pages = 0;
    for (auto _ : state) {
        const std::size_t before = heapInUse();
        {
            ReportPreviewDialog dialog(ReportDocument(records.snapshot(), locale));
            dialog.show();
            QApplication::processEvents();
            if (last)
                dialog.lastPage();
            const QPixmap page = dialog.pageView()->grab();
            benchmark::DoNotOptimize(page.cacheKey());
            heapAdded = std::max(heapAdded, heapInUse() - before);
            pages = dialog.pageCount();
        }
        QApplication::processEvents(); // the window's leftovers, before the next one
    }
    state.counters["heap_MB"] = megabytes(static_cast<double>(heapAdded));
    const std::size_t rssAfter = residentBytes();
    state.counters["rss_MB"] = megabytes(static_cast<double>(rssAfter - std::min(rssAfter, rssBefore)));
    state.counters["table_MB"] = megabytes(static_cast<double>(records.bytesUsed()));
    state.counters["pages"] = static_cast<double>(pages);
}

// The first preview of the program, over the largest table: fonts found and
// loaded, the style set up.
void BM_PreviewFirstOpenOfTheProgram(benchmark::State &state) { openPreview(state, false); }
BENCHMARK(BM_PreviewFirstOpenOfTheProgram)->Arg(limitless)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PreviewOpenFirstPage(benchmark::State &state) { openPreview(state, false); }
BENCHMARK(BM_PreviewOpenFirstPage)
    ->Arg(1000)
    ->Arg(100'000)
    ->Arg(limitless)
    ->Unit(benchmark::kMillisecond);

void BM_PreviewOpenLastPage(benchmark::State &state) { openPreview(state, true); }
BENCHMARK(BM_PreviewOpenLastPage)->Arg(limitless)->Unit(benchmark::kMillisecond);

// Turning a page in the open preview: the next page laid out and painted.
void BM_PreviewNextPage(benchmark::State &state)
{
    const ReadingTable &records = table(static_cast<std::size_t>(state.range(0)));
    ReportPreviewDialog dialog(ReportDocument(records.snapshot(), locale));
    dialog.show();
    QApplication::processEvents();
    dialog.goToPage(dialog.pageCount() / 2);
    for (auto _ : state) {
        dialog.nextPage();
        dialog.pageView()->repaint();
    }
}
BENCHMARK(BM_PreviewNextPage)->Arg(limitless)->Unit(benchmark::kMillisecond);

// The PDF writer's bytes counted and dropped.
class NullDevice final : public QIODevice {
public:
    NullDevice() { open(QIODevice::WriteOnly); }
    bool isSequential() const override { return true; }
    qint64 written = 0;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override
    {
        written += size;
        return size;
    }
};

void BM_PdfOfTheReport(benchmark::State &state)
{
    const ReadingTable &records = table(static_cast<std::size_t>(state.range(0)));
    const ReportDocument document(records.snapshot(), locale);
    const std::size_t pages = document.pageCount();
    qint64 bytes = 0;
    for (auto _ : state) {
        NullDevice device;
        {
            QPdfWriter pdf(&device);
            pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
            std::string error;
            if (!printReport(document, pdf, {0, pages - 1}, nullptr, error))
                state.SkipWithError(error.c_str());
        }
        bytes = device.written;
    }
    state.counters["pages_per_s"] =
        benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["pdf_MB"] = megabytes(static_cast<double>(bytes));
}
BENCHMARK(BM_PdfOfTheReport)->Arg(100'000)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

// The offscreen platform's notes on every window would bury the figures.
void quietQt(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietQt);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
