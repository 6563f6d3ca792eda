#include "platform/BackgroundWork.h"
#include "record/TrendSummary.h"
#include "record/TrendView.h"

#include <gtest/gtest.h>

#include <random>

namespace tolmar {
namespace {

struct Row {
    const char *function;
    const char *unit;
    std::string value;
    const char *judge = "pass";
    std::int32_t time = 0;
};

void append(ReadingTable &table, TrendSummary &summary, const Row &row, std::optional<RecordDate> date = {})
{
    ReadingRecord record;
    record.DCAC = row.function;
    record.Unit = row.unit;
    record.Value = row.value;
    record.Auto = row.judge;
    record.Time = row.time;
    table.append(record, date);
    summary.append(table.at(table.size() - 1));
}

TEST(TrendSummary, DisplayedNumbers)
{
    const struct {
        const char *text;
        std::optional<double> number;
    } cases[] = {
        {"12.34", 12.34}, {" -0.5 ", -0.5}, {"1,5", 1.5}, {"+3", 3.0}, {"0231", 231.0}, {".5", 0.5},
        {"0L", {}},       {".OL", {}},      {"1.2.3", {}}, {"-", {}},   {"", {}},         {"1 2", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(displayedNumber(c.text), c.number) << c.text;
    EXPECT_TRUE(isOverloadText("0L"));
    EXPECT_FALSE(isOverloadText("12.3"));
    EXPECT_TRUE(isFailText("Fail") && isFailText(" FAIL") && !isFailText("pass"));
}

// Three series in random stretches, with overloads and failures, across
// three levels of blocks; every extent against a scan of the rows.
TEST(TrendSummary, ExtentsAgreeWithAScanAtEveryBlockEdge)
{
    std::mt19937 random(5);
    ReadingTable table;
    TrendSummary summary;
    const Row kinds[] = {{"DC", " V", ""}, {"AC", " V", ""}, {"DC", "mV", ""}};
    std::size_t kind = 0;
    constexpr std::size_t block = std::size_t{1} << TrendSummary::blockShift;
    // Past two blocks of the third level.
    constexpr std::size_t rows = block * block * block * 2 + 70;
    for (std::size_t i = 0; i < rows; ++i) {
        if (random() % 50 == 0)
            kind = random() % 3;
        Row row = kinds[kind];
        const int draw = static_cast<int>(random() % 1000);
        row.value = draw < 10 ? "0L" : std::to_string(draw - 500) + "." + std::to_string(random() % 10);
        row.judge = draw > 900 ? "Fail" : "pass";
        append(table, summary, row);
    }
    ASSERT_EQ(summary.keys().size(), 3u);
    // Each row as the scan sees it, read once.
    struct Seen {
        std::optional<std::uint16_t> key;
        std::optional<double> value;
        bool overload, failed;
    };
    std::vector<Seen> seen;
    for (std::size_t i = 0; i < rows; ++i) {
        const ReadingRecord r = table.at(i);
        seen.push_back({summary.keyOf(r.DCAC, r.Unit), displayedNumber(r.Value), isOverloadText(r.Value),
                        isFailText(r.Auto)});
    }
    const auto scan = [&](std::uint16_t key, std::size_t first, std::size_t end) {
        TrendExtent e;
        for (std::size_t i = first; i < end; ++i) {
            if (seen[i].key != key)
                continue;
            if (seen[i].value)
                e.add(static_cast<float>(*seen[i].value));
            e.overload = e.overload || seen[i].overload;
            e.failed = e.failed || seen[i].failed;
        }
        return e;
    };
    std::vector<std::size_t> edges;
    for (std::size_t size : {block * block, block * block * block})
        for (std::size_t at = 0; at <= rows; at += size)
            for (std::size_t near : {at, at + 1, at ? at - 1 : 0})
                edges.push_back(std::min(near, rows));
    for (int i = 0; i < 60; ++i) { // the first level's edges, some of them, and anywhere
        const std::size_t at = random() % (rows / block) * block;
        for (std::size_t near : {at, at + 1, at ? at - 1 : 0})
            edges.push_back(std::min(near, rows));
        edges.push_back(random() % (rows + 1));
    }
    const auto built = TrendSummary::build(table.snapshot(), nullptr);
    ASSERT_TRUE(built);
    for (std::uint16_t key = 0; key < 3; ++key) {
        for (std::size_t a = 0; a < edges.size(); a += 3) {
            for (std::size_t b = 1; b < edges.size(); b += 7) {
                const std::size_t first = std::min(edges[a], edges[b]), end = std::max(edges[a], edges[b]);
                const TrendExtent expected = scan(key, first, end);
                for (const TrendSummary *s : {static_cast<const TrendSummary *>(&summary), &*built}) {
                    const TrendExtent got = s->extent(table, key, first, end);
                    ASSERT_EQ(got.any, expected.any) << key << " [" << first << ", " << end << ")";
                    if (expected.any) {
                        ASSERT_EQ(got.min, expected.min) << key << " [" << first << ", " << end << ")";
                        ASSERT_EQ(got.max, expected.max) << key << " [" << first << ", " << end << ")";
                    }
                    ASSERT_EQ(got.failed, expected.failed);
                    ASSERT_EQ(got.overload, expected.overload);
                }
            }
        }
        // The first and last row of the series, in the whole table and from a row on.
        std::optional<std::size_t> first, last;
        for (std::size_t i = 0; i < rows; ++i)
            if (seen[i].key == key) {
                first = first ? first : i;
                last = i;
            }
        EXPECT_EQ(summary.firstRow(table, key), first);
        EXPECT_EQ(summary.lastRow(table, key), last);
    }
    EXPECT_LT(summary.bytesUsed(), rows * 2) << "at most 2 bytes a record";
}

TEST(TrendView, TimeOfARecordIsItsMomentInUtc)
{
    ReadingTable table;
    TrendSummary summary;
    // 2026-12-09 (day 20796) 13:13:13.123 at UTC+01:00 is 12:13:13.123 UTC.
    append(table, summary, {"DC", " V", "1", "pass", 47593123}, RecordDate{20796, 60});
    const TrendView view(table, summary, 0);
    ASSERT_TRUE(view.timeAxis());
    EXPECT_DOUBLE_EQ(view.xOf(0), 1796818393.123);

    ReadingTable loaded;
    TrendSummary loadedSummary;
    append(loaded, loadedSummary, {"DC", " V", "1", "pass", 1000});
    const TrendView numbered(loaded, loadedSummary, 0);
    EXPECT_FALSE(numbered.timeAxis());
    EXPECT_EQ(numbered.xOf(0), 1.0) << "record numbers without dates";
}

// A record a second on one day: each record a point when few are in view;
// another function between, or a pause, breaks the line.
TEST(TrendView, RecordsInViewBreakWhereTheMeterShowedSomethingElseOrPaused)
{
    ReadingTable table;
    TrendSummary summary;
    const RecordDate day{20796, 0};
    const auto at = [](int second) { return second * 1000; };
    append(table, summary, {"DC", " V", "1.0", "pass", at(0)}, day);
    append(table, summary, {"DC", " V", "2.0", "Fail", at(1)}, day);
    append(table, summary, {"AC", " V", "230", "pass", at(2)}, day);
    append(table, summary, {"DC", " V", "3.0", "pass", at(3)}, day);
    append(table, summary, {"DC", " V", "0L", "Fail", at(4)}, day);
    append(table, summary, {"DC", " V", "4.0", "pass", at(5)}, day);
    append(table, summary, {"DC", " V", "5.0", "pass", at(65)}, day); // a minute's pause
    const TrendView view(table, summary, 0);
    const double start = 20796 * 86400.0;
    const auto points = view.points(start - 1, start + 70, 100);
    const struct {
        double second;
        bool hasValue;
        double value;
        bool failed, overload, gapBefore;
    } expected[] = {
        {0, true, 1.0, false, false, true},  {1, true, 2.0, true, false, false},
        {3, true, 3.0, false, false, true},  {4, false, 0, true, true, false},
        {5, true, 4.0, false, false, false}, {65, true, 5.0, false, false, true},
    };
    ASSERT_EQ(points.size(), std::size(expected));
    for (std::size_t i = 0; i < points.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_DOUBLE_EQ(points[i].x, start + expected[i].second);
        EXPECT_EQ(points[i].hasValue, expected[i].hasValue);
        if (expected[i].hasValue) {
            EXPECT_EQ(points[i].min, expected[i].value);
        }
        EXPECT_EQ(points[i].failed, expected[i].failed);
        EXPECT_EQ(points[i].overload, expected[i].overload);
        EXPECT_EQ(points[i].gapBefore, expected[i].gapBefore);
    }
    EXPECT_EQ(view.nearestRow(start + 2.4), 3u) << "the AC record is not of the series";
    EXPECT_EQ(view.nearestRow(start + 40), 6u) << "25 s to the next, 35 s to the one before";
    EXPECT_EQ(view.span(), std::make_pair(start, start + 65));
}

// Many records: a point per pixel column, from its minimum to its maximum.
TEST(TrendView, ManyRecordsGiveAPointPerColumnWithItsExtremes)
{
    ReadingTable table;
    TrendSummary summary;
    for (int i = 0; i < 10000; ++i)
        append(table, summary, {"DC", " V", std::to_string(i % 100), "pass"});
    const TrendView view(table, summary, 0);
    const auto points = view.points(0.5, 10000.5, 100); // 100 records a column
    ASSERT_EQ(points.size(), 100u);
    for (const TrendPoint &p : points) {
        EXPECT_EQ(p.min, 0);
        EXPECT_EQ(p.max, 99);
    }
    EXPECT_TRUE(points.front().gapBefore);
    EXPECT_FALSE(points.back().gapBefore);
}

TEST(TrendFollow, FollowsAtTheRightEdgeAndHoldsWhenMovedBack)
{
    TrendFollow follow;
    EXPECT_TRUE(follow.following());
    EXPECT_EQ(follow.recordsAdded(0, 100, 110), std::make_pair(10.0, 110.0)) << "same width, newest at the edge";
    EXPECT_EQ(follow.recordsAdded(0, 100, 90), std::nullopt) << "the newest is in view already";
    follow.viewMoved(80, 110); // panned back
    EXPECT_FALSE(follow.following());
    EXPECT_EQ(follow.recordsAdded(0, 80, 120), std::nullopt);
    follow.viewMoved(130, 120); // brought to the edge again
    EXPECT_TRUE(follow.following());
}

TEST(TrendSummary, ABuildCanBeCancelled)
{
    ReadingTable table;
    TrendSummary summary;
    for (int i = 0; i < 100; ++i)
        append(table, summary, {"DC", " V", "1"});
    WorkProgress progress;
    progress.cancel();
    EXPECT_FALSE(TrendSummary::build(table.snapshot(), &progress));
}

} // namespace
} // namespace tolmar
