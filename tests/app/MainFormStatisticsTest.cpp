// The window's statistics follow its table: each recorded reading, a load
// (on the file work's worker, with the readings recorded meanwhile), a
// restored session and Close Data; the limits come from the judge panel.
#include "files/FileTestSupport.h"
#include "platform/BackgroundWork.h"
#include "record/RecordingSession.h"
#include "record/Statistics.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tolmar {
namespace {

using test::RecordingSession;
using test::voltFrame;

// n = 100 is 1.00 V.
void record(RecordingSession &s, std::initializer_list<int> readings)
{
    s.recording().RecordSIClick(false);
    for (const int n : readings)
        s.playEvery(voltFrame(n), 1000);
}

// The statistics equal those computed from the whole table at once.
void expectOfTheWholeTable(const RecordingSession &s)
{
    const Statistics whole = Statistics::recompute(s.table().snapshot(), ".");
    const Statistics &kept = s.form.statistics;
    ASSERT_EQ(kept.records(), s.table().size());
    ASSERT_EQ(kept.rows().size(), whole.rows().size());
    for (std::size_t i = 0; i < whole.rows().size(); ++i) {
        const StatisticsRow &a = kept.rows()[i], &b = whole.rows()[i];
        EXPECT_EQ(std::tie(a.function, a.unit, a.count, a.numbers, a.pass, a.fail),
                  std::tie(b.function, b.unit, b.count, b.numbers, b.pass, b.fail));
        EXPECT_DOUBLE_EQ(a.mean, b.mean);
        EXPECT_EQ(a.first, b.first);
        EXPECT_EQ(a.last, b.last);
    }
}

TEST(RecordingStatistics, EachRecordCountsAndCloseDataEmpties)
{
    RecordingSession s;
    int told = 0;
    s.form.onStatisticsChanged = [&told] { ++told; };
    record(s, {100, 300, 200});
    ASSERT_EQ(s.form.statistics.rows().size(), 1u);
    const StatisticsRow &row = s.form.statistics.rows()[0];
    EXPECT_EQ(row.count, 3u);
    EXPECT_EQ(row.minimum, 1.0);
    EXPECT_EQ(row.maximum, 3.0);
    EXPECT_DOUBLE_EQ(row.mean, 2.0);
    EXPECT_EQ(row.pass, 3u) << "judged against the panel's -4000 .. 4000";
    EXPECT_EQ(told, 3);
    ASSERT_TRUE(row.first.date) << "a recorded reading has its date";
    EXPECT_EQ(*row.last.time - *row.first.time, 2000) << "one reading a second";

    // The limits are the judge panel's, taken when asked: s = 1 (1, 3, 2).
    const auto limits = s.form.statisticsLimits();
    ASSERT_TRUE(limits);
    EXPECT_EQ(limits->high, 4000);
    EXPECT_EQ(limits->low, -4000);
    s.form.judge.T1HIChange("5");
    s.form.judge.T1LOChange("-1");
    EXPECT_DOUBLE_EQ(*row.capability(s.form.statisticsLimits()).Cp, 1.0); // 6 / 6
    EXPECT_DOUBLE_EQ(*row.capability(s.form.statisticsLimits()).Cpk, 1.0); // min(3, 3) / 3

    s.prompts.answers = {PromptAnswer::No};
    s.form.RecordNewClick();
    EXPECT_EQ(s.form.statistics.records(), 3u) << "Close Data refused";
    s.prompts.answers = {PromptAnswer::Yes};
    s.form.RecordNewClick();
    EXPECT_TRUE(s.form.statistics.empty());
    EXPECT_EQ(told, 4);
    record(s, {400});
    EXPECT_EQ(s.form.statistics.rows().at(0).count, 1u);
}

TEST(RecordingStatistics, ALoadRecomputesOnTheWorkerWithTheReadingsRecordedMeanwhile)
{
    DeferredBackgroundWork work;
    RecordingSession s({}, {}, &work);
    record(s, {100, 200});
    // A text file's rows are appended: the figures so far stand meanwhile.
    s.form.dataFiles.LoadTable(TOLMAR_TEST_DATA "/files/text-short-frame.txt", false);
    work.runOne();
    ASSERT_EQ(work.jobs.size(), 1u) << "no recompute on the file work";
    EXPECT_EQ(work.jobs.front().title, "Statistics");
    EXPECT_EQ(s.form.statistics.records(), 2u);
    record(s, {300});
    EXPECT_EQ(s.form.statistics.records(), 3u);
    work.runOne();
    EXPECT_EQ(s.table().size(), 4u);
    expectOfTheWholeTable(s);

    // A packet replaces the table (emptied first): no figures of the old
    // one meanwhile.
    s.form.dataFiles.LoadTable(TOLMAR_TEST_DATA "/files/packet-long-frame.xml", true);
    EXPECT_TRUE(s.form.statistics.empty());
    while (!work.jobs.empty()) {
        const bool loading = work.jobs.front().title != "Statistics";
        work.runOne();
        if (loading) {
            EXPECT_TRUE(s.form.statistics.empty());
        }
    }
    expectOfTheWholeTable(s);
    EXPECT_EQ(s.form.statistics.rows().at(0).function, "OHM");

    // Close Data before the recompute ends: it is dropped.
    s.form.dataFiles.LoadTable(TOLMAR_TEST_DATA "/files/text-short-frame.txt", false);
    work.runOne();
    s.prompts.answers = {PromptAnswer::Yes};
    s.form.RecordNewClick();
    work.runOne();
    EXPECT_TRUE(s.table().empty());
    EXPECT_TRUE(s.form.statistics.empty()) << "a recompute of the records before Close Data came in";
}

TEST(RecordingStatistics, ARestoredSessionIsCounted)
{
    filetest::ScratchDir dir;
    {
        RecordingSession crashed(dir.path());
        record(crashed, {100, 200, 300});
    }
    RecordingSession next(dir.path(), {PromptAnswer::Yes});
    ASSERT_EQ(next.table().size(), 3u);
    expectOfTheWholeTable(next);
    record(next, {400});
    expectOfTheWholeTable(next);
}

} // namespace
} // namespace tolmar
