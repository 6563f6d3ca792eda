#include "record/ReadingTable.h"
#include "RecordingSession.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <vector>

namespace tolmar {
namespace {

using Dates = std::vector<std::optional<RecordDate>>;

Dates datesOf(const ReadingTable &table)
{
    Dates dates;
    for (std::size_t i = 0; i < table.size(); ++i)
        dates.push_back(table.dateOf(i));
    return dates;
}

ReadingTable tableOf(const Dates &dates)
{
    ReadingTable table;
    for (std::size_t i = 0; i < dates.size(); ++i) {
        ReadingRecord r;
        r.No = static_cast<std::int32_t>(i);
        r.Value = "1.000";
        table.append(r, dates[i]);
    }
    return table;
}

constexpr RecordDate monday{20796, 60}, tuesday{20797, 60}, summer{20796, 120};

// Each table, as appended record by record, reads back its dates; so does the
// concatenation of the two.
TEST(RecordDates, TablesAndAppendedTablesReadTheirDatesBack)
{
    const struct {
        const char *name;
        Dates first, second;
    } cases[] = {
        {"undated only", {std::nullopt, std::nullopt}, {std::nullopt}},
        {"one day", {monday, monday}, {monday}},
        {"across midnight", {monday, monday, tuesday}, {tuesday, monday}},
        {"undated after dated", {monday}, {std::nullopt, std::nullopt, tuesday}},
        {"dated after undated", {std::nullopt, std::nullopt}, {monday, monday}},
        {"summer time ends: same day, other offset", {summer, summer, monday}, {summer}},
        {"back and forth", {monday, std::nullopt, monday, std::nullopt}, {std::nullopt, monday}},
        {"into an empty table", {}, {monday, tuesday}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ReadingTable first = tableOf(c.first);
        EXPECT_EQ(datesOf(first), c.first);
        first.append(tableOf(c.second));
        Dates both = c.first;
        both.insert(both.end(), c.second.begin(), c.second.end());
        EXPECT_EQ(datesOf(first), both);
        // Runs tell where a date starts and ends, and lead from one to the next.
        const ReadingTableSnapshot snapshot = first.snapshot();
        std::size_t walked = 0;
        for (DateRun run = snapshot.dateRunOf(0); !both.empty(); run = snapshot.nextDateRun(run)) {
            EXPECT_EQ(run.first, walked);
            ASSERT_GT(run.end, run.first);
            EXPECT_EQ(run.date, both[run.first]);
            walked = run.end;
            if (walked == both.size())
                break;
        }
        for (std::size_t i = 0; i < both.size(); ++i) {
            const DateRun run = first.dateRunOf(i);
            EXPECT_LE(run.first, i);
            EXPECT_GT(run.end, i);
            for (std::size_t j = run.first; j < run.end; ++j)
                EXPECT_EQ(both[j], run.date) << i << " " << j;
        }
        // Later appends go on from the appended rows' last date.
        first.append(ReadingRecord{}, tuesday);
        EXPECT_EQ(first.dateOf(first.size() - 1), tuesday);
        first.append(ReadingRecord{});
        EXPECT_EQ(first.dateOf(first.size() - 1), std::nullopt);
    }
}

TEST(RecordDates, AClearForgetsTheDatesASnapshotKeepsThem)
{
    ReadingTable table = tableOf({monday, monday, tuesday});
    const ReadingTableSnapshot before = table.snapshot();
    table.append(ReadingRecord{}, summer);
    table.clear();
    table.append(ReadingRecord{});
    EXPECT_EQ(datesOf(table), Dates{std::nullopt});
    ASSERT_EQ(before.size(), 3u);
    EXPECT_EQ(before.dateOf(1), monday);
    EXPECT_EQ(before.dateOf(2), tuesday);
    EXPECT_EQ(before.dateRunOf(2).end, 3u) << "a snapshot ends at its own last row";
}

// Many runs (a file of one record a day) over several run blocks, read on a
// worker while the table goes on appending.
TEST(ReadingTableSnapshots, DatesOfManyRunsReadWhileTheTableAppends)
{
    ReadingTable table;
    for (int i = 0; i < 5000; ++i)
        table.append(ReadingRecord{}, RecordDate{i / 2, 0});
    const ReadingTableSnapshot snapshot = table.snapshot();
    std::thread reader([&] {
        for (int i = 0; i < 5000; ++i)
            ASSERT_EQ(snapshot.dateOf(static_cast<std::size_t>(i)), (RecordDate{i / 2, 0}));
    });
    for (int i = 5000; i < 10000; ++i)
        table.append(ReadingRecord{}, RecordDate{i / 2, 0});
    reader.join();
    EXPECT_EQ(table.dateOf(9999), (RecordDate{4999, 0}));
}

// The recording takes the clock's date and offset with each record: past
// midnight the day moves on, when summer time ends the offset changes while
// the time of day goes back an hour.
TEST(RecordingDates, TheClocksDateAndOffsetGoWithEachRecord)
{
    test::RecordingSession s;
    s.recording().RecordSIClick(false);
    s.time.setNow(LocalDateTime{2026, 10, 24, 23, 59, 59, 0, 6, 120});
    s.playEvery(test::voltFrame(1), 100);
    s.time.advance(1000); // past midnight
    s.playEvery(test::voltFrame(2), 100);
    s.time.setNow(LocalDateTime{2026, 10, 25, 2, 59, 59, 900, 0, 120});
    s.playEvery(test::voltFrame(3), 100);
    s.time.setNow(LocalDateTime{2026, 10, 25, 2, 0, 0, 0, 0, 60}); // clocks go back
    s.playEvery(test::voltFrame(4), 100);
    const Dates expected = {RecordDate{20750, 120}, RecordDate{20751, 120}, RecordDate{20751, 120},
                            RecordDate{20751, 60}};
    EXPECT_EQ(datesOf(s.table()), expected);
    EXPECT_GT(s.table().at(2).Time, s.table().at(3).Time) << "the time of day went back";
}

} // namespace
} // namespace tolmar
