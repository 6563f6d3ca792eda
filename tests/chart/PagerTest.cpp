// The chart pager over the core's point store: following the newest page,
// browsing, the page quirks users see, and the store it runs on.
#include "chart/PointStore.h"
#include "chart/uCharControl.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tolmar {
namespace {

// Start-up as the main window does it: pager with 160 per page, each series
// reset to its placeholder point at position 0, vertical range -40..+40.
struct Chart {
    PointStore store;
    TChartControl pager{store, 160};
    int nextValue = 1;

    Chart()
    {
        for (int s = 0; s < store.seriesCount(); ++s) {
            store.clear(s);
            store.append(s, -7, "", chartBlue);
        }
        pager.SetMaxValue(40);
        pager.SetMinValue(-40);
    }
    // Appends the readings nextValue, nextValue + 1, ...
    void add(int count)
    {
        for (int i = 0; i < count; ++i)
            pager.AddValue(nextValue++);
    }
    std::pair<double, double> view() const { return {store.horizontalMinimum(), store.horizontalMaximum()}; }
};

using View = std::pair<double, double>;

TEST(Pager, FollowsTheNewestPage)
{
    // Reading n lands at position n. Reading 160 makes 161 points, so two
    // pages, but nothing lies beyond 160 yet; reading 161 moves the view.
    const struct { int readings; int pageCount; View view; } cases[] = {
        {1, 1, {1, 160}},     {159, 1, {1, 160}},   {160, 2, {1, 160}},   {161, 2, {161, 320}},
        {320, 3, {161, 320}}, {321, 3, {321, 480}}, {1000, 7, {961, 1120}},
    };
    for (const auto &k : cases) {
        Chart c;
        c.add(k.readings);
        EXPECT_EQ(c.pager.pageCount(), k.pageCount) << k.readings;
        EXPECT_EQ(c.pager.currentPage(), k.pageCount) << k.readings;
        EXPECT_EQ(c.view(), k.view) << k.readings;
        EXPECT_EQ(c.store.value(0, k.readings), k.readings);
        EXPECT_EQ(c.store.value(1, k.readings), k.readings);
    }
}

TEST(Pager, BrowsingBackHoldsTheViewUntilTheLastPageIsReached)
{
    Chart c;
    c.add(321); // page 3 of 3, view [321, 480]
    c.pager.PreviousPage();
    EXPECT_EQ(c.view(), View(161, 320));
    EXPECT_EQ(c.pager.currentPage(), 2);
    EXPECT_TRUE(c.pager.browsing());

    c.add(200); // 522 points: 4 pages, the view stays
    EXPECT_EQ(c.view(), View(161, 320));
    EXPECT_EQ(c.pager.currentPage(), 2);
    EXPECT_EQ(c.pager.pageCount(), 4);

    c.pager.NextPage(); // page 3 of 4: still browsing
    EXPECT_EQ(c.view(), View(321, 480));
    EXPECT_TRUE(c.pager.browsing());
    c.add(1);
    EXPECT_EQ(c.view(), View(321, 480));

    c.pager.NextPage(); // the last page: following again
    EXPECT_EQ(c.view(), View(481, 640));
    EXPECT_FALSE(c.pager.browsing());
    c.add(119); // up to reading 641
    EXPECT_EQ(c.view(), View(641, 800));
    EXPECT_EQ(c.pager.currentPage(), 5);
}

TEST(Pager, FirstAndLastPageJumpInOneGo)
{
    Chart c;
    c.add(801); // 802 points: page 6 of 6 at [801, 960]
    c.pager.FirstPage();
    EXPECT_EQ(c.view(), View(1, 160));
    EXPECT_EQ(c.pager.currentPage(), 1);
    EXPECT_TRUE(c.pager.browsing());
    c.pager.LastPage();
    EXPECT_EQ(c.view(), View(801, 960));
    EXPECT_EQ(c.pager.currentPage(), 6);
    EXPECT_FALSE(c.pager.browsing());
}

TEST(Pager, OnePageRefusesEveryMove)
{
    const std::vector<std::pair<const char *, std::function<void(TChartControl &)>>> moves = {
        {"first", [](TChartControl &p) { p.FirstPage(); }},
        {"previous", [](TChartControl &p) { p.PreviousPage(); }},
        {"next", [](TChartControl &p) { p.NextPage(); }},
        {"last", [](TChartControl &p) { p.LastPage(); }},
        {"go to 1", [](TChartControl &p) { p.GoToPage(1); }},
        {"go to 2", [](TChartControl &p) { p.GoToPage(2); }},
    };
    for (const auto &[name, move] : moves) {
        Chart c;
        c.add(100);
        move(c.pager);
        EXPECT_EQ(c.view(), View(1, 160)) << name;
        EXPECT_EQ(c.pager.currentPage(), 1) << name;
        EXPECT_FALSE(c.pager.browsing()) << name;
    }
}

TEST(Pager, GoToPageIgnoresARepeatOfTheLastRequest)
{
    Chart c;
    c.add(801); // page 6 of 6 at [801, 960]
    c.pager.GoToPage(3);
    EXPECT_EQ(c.view(), View(321, 480));
    EXPECT_TRUE(c.pager.browsing());
    c.pager.NextPage();
    c.pager.GoToPage(3); // the same request as last time: nothing
    EXPECT_EQ(c.view(), View(481, 640));
    EXPECT_EQ(c.pager.currentPage(), 4);

    c.pager.GoToPage(6);
    EXPECT_EQ(c.view(), View(801, 960));
    EXPECT_FALSE(c.pager.browsing());
    c.pager.GoToPage(0);
    EXPECT_EQ(c.pager.currentPage(), 6);

    // A request beyond the last page is refused but remembered.
    c.pager.GoToPage(2);
    c.pager.GoToPage(7);
    EXPECT_EQ(c.pager.currentPage(), 2);
    c.add(160); // 962 points: 7 pages, the view held on page 2
    ASSERT_EQ(c.pager.pageCount(), 7);
    c.pager.GoToPage(7);
    EXPECT_EQ(c.pager.currentPage(), 2);
    EXPECT_EQ(c.view(), View(161, 320));
}

TEST(Pager, ClearShowsPageOneAndKeepsThePageCount)
{
    Chart c;
    c.add(700); // 701 points: page 5 of 5 at [641, 800]
    ASSERT_EQ(c.pager.currentPage(), 5);
    c.pager.Clear();
    EXPECT_EQ(c.view(), View(1, 160));
    EXPECT_EQ(c.pager.currentPage(), 1);
    EXPECT_EQ(c.pager.pageCount(), 5);
    EXPECT_FALSE(c.pager.browsing());
    EXPECT_EQ(c.store.count(0), 0);
    EXPECT_EQ(c.store.count(1), 0);

    // No placeholder any more: the first value lands at 0, outside page 1.
    c.pager.AddValue(11);
    EXPECT_EQ(c.pager.pageCount(), 1);
    EXPECT_EQ(c.pager.currentPage(), 1);
    c.pager.AddValue(12);
    EXPECT_EQ(c.store.value(0, 0), 11);
    EXPECT_EQ(c.store.value(0, 1), 12);
    EXPECT_EQ(c.view(), View(1, 160));
}

TEST(Pager, NextPageAfterClearBrowsesAnEmptyChart)
{
    Chart c;
    c.add(700);
    c.pager.Clear();
    c.pager.NextPage(); // PageCount is still 5; nothing lies beyond 160
    EXPECT_EQ(c.pager.currentPage(), 2);
    EXPECT_TRUE(c.pager.browsing());
    EXPECT_EQ(c.view(), View(1, 160));

    c.add(400); // positions 0..399, three pages: not followed
    EXPECT_EQ(c.view(), View(1, 160));
    EXPECT_EQ(c.pager.currentPage(), 2);
    c.pager.LastPage();
    EXPECT_EQ(c.pager.currentPage(), 3);
    EXPECT_FALSE(c.pager.browsing());
    EXPECT_EQ(c.view(), View(161, 320));
}

TEST(Pager, SetPageSizeShowsTheLastPage)
{
    Chart c;
    c.add(1000); // 1001 points
    c.pager.PreviousPage();
    c.pager.SetPageSize(300); // 4 pages of 300, the last at [901, 1200]
    EXPECT_EQ(c.view(), View(901, 1200));
    EXPECT_EQ(c.pager.pageCount(), 4);
    EXPECT_EQ(c.pager.currentPage(), 4);
    EXPECT_FALSE(c.pager.browsing());

    c.pager.SetPageSize(10000);
    EXPECT_EQ(c.view(), View(1, 10000));
    EXPECT_EQ(c.pager.pageCount(), 1);

    c.pager.SetPageSize(0); // no page without positions
    EXPECT_EQ(c.pager.pageSize(), 10000);
}

TEST(Pager, SetPageSizeOnAnEmptyChartGivesPageZero)
{
    Chart c;
    c.add(50);
    c.pager.Clear();
    c.pager.SetPageSize(200);
    EXPECT_EQ(c.pager.pageCount(), 0);
    EXPECT_EQ(c.pager.currentPage(), 0);
    EXPECT_EQ(c.view(), View(1, 200));
}

TEST(Pager, SetPageSizeFromAViewBelowPositionOne)
{
    // After a Clear the first value sits at 0, so paging back can move the
    // view to [-159, 0]; a new page size must still give [1, size].
    Chart c;
    c.pager.Clear();
    c.add(161);
    c.pager.PreviousPage();
    ASSERT_EQ(c.view(), View(-159, 0));
    c.pager.SetPageSize(100);
    EXPECT_EQ(c.view(), View(101, 200)); // [1, 100], then one page on
}

TEST(Pager, VerticalRangeChangesOnlyWithANewValue)
{
    PointStore store;
    TChartControl pager(store, 160);
    store.setVerticalMaximum(5);
    pager.SetMaxValue(0); // MaxValue starts at 0: nothing to do
    EXPECT_EQ(store.verticalMaximum(), 5);
    pager.SetMaxValue(4000);
    pager.SetMinValue(-4000);
    EXPECT_EQ(store.verticalMaximum(), 4000);
    EXPECT_EQ(store.verticalMinimum(), -4000);
    store.setVerticalMaximum(7);
    pager.SetMaxValue(4000); // the same value as last time
    EXPECT_EQ(store.verticalMaximum(), 7);
}

TEST(Pager, AppendsToHiddenSeriesAndStepsOnShownOnes)
{
    Chart c;
    c.store.setSeriesVisible(0, false);
    c.add(161);
    EXPECT_EQ(c.store.count(0), 162);
    EXPECT_EQ(c.store.count(1), 162);
    EXPECT_EQ(c.view(), View(161, 320));
    // With no series shown no point lies beyond: the view cannot move.
    c.store.setSeriesVisible(1, false);
    c.add(160);
    EXPECT_EQ(c.view(), View(161, 320));
}

TEST(PointStore, RangesRefuseToCross)
{
    PointStore store;
    EXPECT_TRUE(store.setVerticalMaximum(40));
    EXPECT_TRUE(store.setVerticalMinimum(-40));
    EXPECT_FALSE(store.setVerticalMinimum(41));
    EXPECT_FALSE(store.setVerticalMaximum(-41));
    EXPECT_EQ(store.verticalMinimum(), -40);
    EXPECT_EQ(store.verticalMaximum(), 40);
    EXPECT_TRUE(store.setVerticalMaximum(-40)); // equal ends are allowed

    store.setHorizontalAutomatic(false);
    EXPECT_FALSE(store.setHorizontalMinimum(1)); // the range starts at [0, 0]
    EXPECT_TRUE(store.setHorizontalMaximum(160));
    EXPECT_TRUE(store.setHorizontalMinimum(1));
    store.shiftHorizontal(-320);
    EXPECT_EQ(store.horizontalMinimum(), -319);
    EXPECT_EQ(store.horizontalMaximum(), -160);
}

TEST(PointStore, KeepsValuesLabelsAndColoursAcrossBlocks)
{
    PointStore store;
    const std::int64_t count = 200'000; // more than three blocks
    for (std::int64_t i = 0; i < count; ++i)
        store.append(0, static_cast<double>(i % 1000) / 4, i < 160 ? "paper" : "", i == 5 ? 0xFF0000 : chartBlue);
    EXPECT_EQ(store.count(0), count);
    EXPECT_EQ(store.count(1), 0);
    for (const std::int64_t i : std::initializer_list<std::int64_t>{0, 159, 160, 65535, 65536, 131072, count - 1})
        EXPECT_EQ(store.value(0, i), static_cast<float>(i % 1000) / 4) << i;
    EXPECT_EQ(store.label(0, 159), "paper");
    EXPECT_EQ(store.label(0, 160), "");
    EXPECT_EQ(store.colour(0, 4), chartBlue);
    EXPECT_EQ(store.colour(0, 5), 0xFF0000u);
    EXPECT_EQ(store.colour(0, 6), chartBlue);
    // 4 bytes a value, and one block at most beyond them.
    EXPECT_LE(store.bytesUsed(), static_cast<std::size_t>(count) * 4 + 300'000);
    EXPECT_EQ(store.largestShownPosition(), count - 1);
    EXPECT_EQ(store.smallestShownPosition(), 0.0);

    store.clear(0);
    EXPECT_EQ(store.count(0), 0);
    EXPECT_LT(store.bytesUsed(), 1000u);
    EXPECT_EQ(store.largestShownPosition(), std::nullopt);
    // Bad indices are ignored, not a crash.
    store.append(2, 1, "", chartBlue);
    store.append(-1, 1, "", chartBlue);
    EXPECT_EQ(store.value(0, 3), 0.0f);
    EXPECT_EQ(store.count(5), 0);
}

} // namespace
} // namespace tolmar
