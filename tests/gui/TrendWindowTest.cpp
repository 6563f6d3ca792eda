// The trend window, offscreen: the newest record's series at first, the
// view following new records at the right edge and holding when panned
// back, the cursors' differences, and the view saved in each format.
#include "app/TrendFeed.h"
#include "app/qt/TrendWindow.h"
#include "platform/BackgroundWork.h"
#include "record/ReadingTable.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <time.h>

namespace tolmar {
namespace {

constexpr RecordDate day{20796, 60}; // 2026-12-09, UTC+01:00

struct Trend {
    ReadingTable table;
    InlineBackgroundWork work;
    TrendFeed feed{table, work};
    std::unique_ptr<TrendWindow> window;

    // A record a second from 08:00.
    void record(const char *function, const std::string &value, const char *judge = "pass")
    {
        ReadingRecord r;
        r.DCAC = function;
        r.Unit = " V";
        r.Value = value;
        r.Auto = judge;
        r.Time = static_cast<std::int32_t>(8 * 3'600'000 + table.size() * 1000);
        table.append(r, day);
        feed.sync();
    }
    void open()
    {
        window = std::make_unique<TrendWindow>(table, feed, [] {
            return std::make_pair(std::optional<double>(5.0), std::optional<double>(1.0));
        });
        window->resize(800, 400);
        window->show();
        QApplication::processEvents();
    }
    QCPRange range() const { return window->plot()->xAxis->range(); }
};

// 08:00 on that day, in seconds since 1970 (UTC).
constexpr double eight = 20796 * 86400.0 - 3600 + 8 * 3600;

TEST(TrendWindow, ShowsTheNewestSeriesAndFollowsNewRecordsUntilPannedBack)
{
    Trend t;
    for (int i = 0; i < 50; ++i)
        t.record("AC", "230");
    for (int i = 0; i < 100; ++i)
        t.record("DC", std::to_string(i % 7));
    t.open();
    EXPECT_EQ(t.window->seriesName(), "DC V");
    EXPECT_TRUE(t.window->following());
    EXPECT_LE(t.range().lower, eight + 50);
    EXPECT_GE(t.range().upper, eight + 149);

    t.record("DC", "3");
    t.window->update();
    EXPECT_GE(t.range().upper, eight + 150) << "the view follows the newest record";

    t.window->setRange(eight + 60, eight + 100); // panned back
    EXPECT_FALSE(t.window->following());
    t.record("DC", "4");
    t.window->update();
    EXPECT_EQ(t.range().upper, eight + 100) << "held where it was put";

    t.window->setRange(eight + 120, eight + 160); // back at the edge
    t.record("DC", "5");
    t.window->update();
    EXPECT_GE(t.range().upper, eight + 152);
}

TEST(TrendWindow, ALoadedTableIsShownWholeWithItsNewestSeries)
{
    Trend t;
    for (int i = 0; i < 30; ++i)
        t.record("DC", "1");
    t.open();
    ReadingTable loaded; // a file without dates: against record numbers
    for (int i = 0; i < 40; ++i) {
        ReadingRecord r;
        r.DCAC = "AC";
        r.Unit = "mV";
        r.Value = "5";
        loaded.append(r);
    }
    t.table = std::move(loaded);
    t.feed.sync();
    t.window->update();
    EXPECT_EQ(t.window->seriesName(), "AC mV");
    EXPECT_LE(t.range().lower, 1);
    EXPECT_GE(t.range().upper, 40);
}

TEST(TrendWindow, CursorsTellTimesValuesAndDifferences)
{
    // The window shows moments in the machine's time zone: here Central European.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    ::tzset();
    Trend t;
    for (int i = 0; i < 10; ++i)
        t.record("DC", std::to_string(i * 2));
    t.open();
    t.window->setCursor(0, eight + 2.2);
    t.window->setCursor(1, eight + 7.9);
    EXPECT_EQ(t.window->cursorText().toStdString(), "A: 2026-12-09 08:00:02.000  4   B: 2026-12-09 08:00:08.000  16   "
                                      "Δt 6.000 s  Δv 12  Δv/Δt 2 /s");
    if (zone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", zone);
    ::tzset();
}

TEST(TrendWindow, SavesTheViewAsPngSvgAndPdf)
{
    Trend t;
    for (int i = 0; i < 20; ++i)
        t.record("DC", std::to_string(i));
    t.open();
    QTemporaryDir dir;
    const struct {
        const char *name;
        QByteArray start;
    } files[] = {{"trend.png", "\x89PNG"}, {"trend.svg", "<?xml"}, {"trend.pdf", "%PDF"}};
    for (const auto &file : files) {
        const QString path = dir.filePath(file.name);
        // Every format the save dialog offers is written; one it does not
        // offer (SVG without Qt SVG) is refused, not written as another.
        const QString pattern = "*" + QString(file.name).mid(QString(file.name).indexOf('.'));
        if (!TrendWindow::saveFilter().contains(pattern)) {
            EXPECT_FALSE(t.window->saveView(path)) << file.name;
            EXPECT_FALSE(QFile::exists(path)) << file.name;
            continue;
        }
        ASSERT_TRUE(t.window->saveView(path)) << file.name;
        QFile saved(path);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_TRUE(saved.read(5).startsWith(file.start)) << file.name;
        EXPECT_GT(saved.size(), 1000) << file.name;
    }
    EXPECT_FALSE(t.window->saveView(dir.filePath("missing/folder/trend.png")));
    EXPECT_TRUE(TrendWindow::saveFilter().contains("*.png"));
    EXPECT_TRUE(TrendWindow::saveFilter().contains("*.pdf"));
#ifdef TOLMAR_HAVE_SVG
    EXPECT_TRUE(TrendWindow::saveFilter().contains("*.svg"));
#else
    EXPECT_FALSE(TrendWindow::saveFilter().contains("*.svg"));
#endif
}

} // namespace
} // namespace tolmar
