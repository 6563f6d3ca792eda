#include "app/TrendFeed.h"
#include "platform/BackgroundWork.h"
#include "record/ReadingTable.h"

#include <gtest/gtest.h>

namespace tolmar {
namespace {

void appendRows(ReadingTable &table, std::size_t count, const char *value = "1.0")
{
    ReadingRecord r;
    r.DCAC = "DC";
    r.Unit = " V";
    r.Value = value;
    for (std::size_t i = 0; i < count; ++i)
        table.append(r);
}

// A large table replaced (a load) is summarised on the worker; records that
// come meanwhile follow, and a cancelled summary waits for the next change.
TEST(TrendFeed, ALargeTableIsSummarisedOnTheWorkerAndCatchesUp)
{
    ReadingTable table;
    DeferredBackgroundWork work;
    TrendFeed feed(table, work);
    int told = 0;
    feed.onChanged = [&] { ++told; };

    appendRows(table, 10);
    feed.sync();
    EXPECT_TRUE(work.jobs.empty()) << "a small table at once";
    EXPECT_EQ(feed.summary().size(), 10u);

    ReadingTable loaded;
    appendRows(loaded, 70'000, "2.0");
    table = std::move(loaded);
    feed.sync();
    ASSERT_EQ(work.jobs.size(), 1u);
    EXPECT_TRUE(feed.rebuilding());
    EXPECT_EQ(feed.summary().size(), 0u) << "nothing of the old table meanwhile";
    appendRows(table, 5, "3.0"); // recorded while it is summarised
    feed.sync();
    work.runOne();
    EXPECT_FALSE(feed.rebuilding());
    EXPECT_EQ(feed.summary().size(), 70'005u);
    const TrendExtent all = feed.summary().extent(table, 0, 0, table.size());
    EXPECT_EQ(all.min, 2.0f);
    EXPECT_EQ(all.max, 3.0f);

    ReadingTable again;
    appendRows(again, 70'000);
    table = std::move(again);
    feed.sync();
    work.jobs.front().progress->cancel();
    work.runOne();
    appendRows(table, 1);
    feed.sync();
    EXPECT_EQ(feed.summary().size(), 0u) << "cancelled: empty until the table is replaced again";
    table.clear();
    feed.sync();
    EXPECT_EQ(feed.summary().size(), 0u);
    appendRows(table, 3);
    feed.sync();
    EXPECT_EQ(feed.summary().size(), 3u);
    EXPECT_GE(told, 4);
}

} // namespace
} // namespace tolmar
