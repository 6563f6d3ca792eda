#include "files/StatisticsText.h"
#include "platform/BackgroundWork.h"
#include "record/ReadingTable.h"
#include "record/Statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace tolmar {
namespace {

// A record of the table: its time (none: a file's record without one),
// function, value, unit and judge.
ReadingRecord rec(std::optional<std::int32_t> time, std::string_view function, std::string_view value,
                  std::string_view unit, std::string_view judge = {})
{
    ReadingRecord r;
    r.Time = time;
    r.DCAC = function;
    r.Value = value;
    r.Unit = unit;
    r.Auto = judge;
    return r;
}

// One record: function, value, unit, judge.
struct In {
    const char *function;
    const char *value;
    const char *unit;
    const char *judge;
};

// What a row must hold, worked out by hand. Figures a row has none of are
// nullopt.
struct Expected {
    const char *function;
    const char *unit;
    std::uint64_t count, overloads, numbers;
    std::optional<double> minimum, maximum, mean, standardDeviation;
    std::uint64_t pass, fail;
    std::optional<double> yield, Cp, Cpk;
};

struct Table {
    const char *name;
    std::vector<In> records;
    std::optional<StatisticsLimits> limits;
    std::vector<Expected> rows;
    const char *separator = ".";
};

const std::optional<double> none;

const Table tables[] = {
    {"ConstantReading",
     {{"DC", "1.234", " V", "pass"}, {"DC", "1.234", " V", "pass"}, {"DC", "1.234", " V", "pass"}},
     StatisticsLimits{2, 0},
     // No spread: no capability index (it would be infinite).
     {{"DC", " V", 3, 0, 3, 1.234, 1.234, 1.234, 0.0, 3, 0, 100.0, none, none}}},
    {"OneOverload",
     {{"DC", "1.0", " V", "pass"}, {"DC", " 0.L", " V", "Fail"}, {"DC", "3.0", " V", "pass"}},
     std::nullopt,
     // 1 and 3: mean 2, s = sqrt((1 + 1) / 1); the overload failed.
     {{"DC", " V", 3, 1, 2, 1.0, 3.0, 2.0, 1.4142135623730951, 2, 1, 200.0 / 3, none, none}}},
    {"AllFailed",
     {{"AC", "5", "mA", "Fail"}, {"AC", "6", "mA", "Fail"}, {"AC", "7", "mA", "Fail"}},
     StatisticsLimits{4, 0},
     // s = 1: Cp = 4 / 6, Cpk = min(4 - 6, 6 - 0) / 3 = -2 / 3.
     {{"AC", "mA", 3, 0, 3, 5.0, 7.0, 6.0, 1.0, 0, 3, 0.0, 4.0 / 6, -2.0 / 3}}},
    {"HundredMillionWithNoise",
     {{"DC", "100000000.1", "mV", ""}, {"DC", "100000000.2", "mV", ""}, {"DC", "100000000.3", "mV", ""}},
     std::nullopt,
     // Differences -0.1, 0, 0.1 from the mean: s = sqrt(0.02 / 2) = 0.1.
     {{"DC", "mV", 3, 0, 3, 100000000.1, 100000000.3, 100000000.2, 0.1, 0, 0, none, none, none}}},
    {"TwoFunctionsInterleaved",
     {{"DC", "1", " V", "pass"},
      {"AC", "10", "mV", "Fail"},
      {"DC", "3", " V", "pass"},
      {"AC", "20", "mV", "pass"},
      {"DC", "5", " V", "Fail"},
      {"DC", "7", "mV", "pass"}},
     std::nullopt,
     // DC V: 1 3 5, s = sqrt((4 + 0 + 4) / 2) = 2. AC mV: 10 20, s = sqrt(50).
     // DC mV is a function and unit of its own.
     {{"DC", " V", 3, 0, 3, 1.0, 5.0, 3.0, 2.0, 2, 1, 200.0 / 3, none, none},
      {"AC", "mV", 2, 0, 2, 10.0, 20.0, 15.0, 7.0710678118654755, 1, 1, 50.0, none, none},
      {"DC", "mV", 1, 0, 1, 7.0, 7.0, 7.0, none, 1, 0, 100.0, none, none}}},
    {"CapabilityByHand",
     {{"DC", "1", " V", "pass"}, {"DC", "2", " V", "pass"}, {"DC", "3", " V", "pass"}, {"DC", "4", " V", "pass"},
      {"DC", "5", " V", "pass"}},
     StatisticsLimits{10, 0},
     // s = sqrt(10 / 4) = 1.5811388300841898; Cp = 10 / 9.486832980505138,
     // Cpk = min(7, 3) / 4.743416490252569.
     {{"DC", " V", 5, 0, 5, 1.0, 5.0, 3.0, 1.5811388300841898, 5, 0, 100.0, 1.0540925533894598,
       0.6324555320336759}}},
    {"LimitsOutOfOrder",
     {{"DC", "1", " V", "Fail"}, {"DC", "2", " V", "Fail"}},
     StatisticsLimits{0, 10},
     {{"DC", " V", 2, 0, 2, 1.0, 2.0, 1.5, 0.7071067811865476, 0, 2, 0.0, none, none}}},
    {"NoNumbers",
     // Empty, dashes, the judge's "no number" -999999, a file's "OL"; only
     // the judge's own texts count as judged.
     {{"", "", "", ""}, {"", "----", "", "PASS"}, {"", "-999999", "", "fail"}, {"", "OL", "", "Fail"}},
     StatisticsLimits{1, -1},
     {{"", "", 4, 1, 0, none, none, none, none, 0, 1, 0.0, none, none}}},
    {"CommaSeparator",
     {{"DC", "1,5", " V", "pass"}, {"DC", "2,5", " V", "pass"}, {"DC", "3.5", " V", "pass"}},
     std::nullopt,
     // "3.5" is no number where the separator is a comma, as for the judge.
     {{"DC", " V", 3, 0, 2, 1.5, 2.5, 2.0, 0.7071067811865476, 3, 0, 100.0, none, none}},
     ","},
};

class StatisticsTables : public ::testing::TestWithParam<Table> {};

void expectNear(const std::optional<double> &actual, const std::optional<double> &expected, const char *what)
{
    ASSERT_EQ(actual.has_value(), expected.has_value()) << what;
    if (expected) {
        EXPECT_NEAR(*actual, *expected, 1e-9 * std::max(1.0, std::abs(*expected))) << what;
    }
}

TEST_P(StatisticsTables, RowsAsWorkedByHand)
{
    const Table &t = GetParam();
    Statistics statistics(t.separator);
    for (const In &r : t.records)
        statistics.add(rec(1000, r.function, r.value, r.unit, r.judge));
    ASSERT_EQ(statistics.rows().size(), t.rows.size());
    EXPECT_EQ(statistics.records(), t.records.size());
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const StatisticsRow &row = statistics.rows()[i];
        const Expected &e = t.rows[i];
        EXPECT_EQ(row.function, e.function);
        EXPECT_EQ(row.unit, e.unit);
        EXPECT_EQ(row.count, e.count);
        EXPECT_EQ(row.overloads, e.overloads);
        EXPECT_EQ(row.numbers, e.numbers);
        if (e.numbers) {
            expectNear(row.minimum, e.minimum, "minimum");
            expectNear(row.maximum, e.maximum, "maximum");
            expectNear(row.mean, e.mean, "mean");
        }
        // The spread to a millionth of itself, even of 1e8 plus noise.
        ASSERT_EQ(row.standardDeviation().has_value(), e.standardDeviation.has_value());
        if (e.standardDeviation) {
            EXPECT_NEAR(*row.standardDeviation(), *e.standardDeviation, 1e-6 * std::max(*e.standardDeviation, 1e-3));
        }
        EXPECT_EQ(row.pass, e.pass);
        EXPECT_EQ(row.fail, e.fail);
        expectNear(row.yieldPercent(), e.yield, "yield");
        const Capability capability = row.capability(t.limits);
        expectNear(capability.Cp, e.Cp, "Cp");
        expectNear(capability.Cpk, e.Cpk, "Cpk");
    }
}

INSTANTIATE_TEST_SUITE_P(Statistics, StatisticsTables, ::testing::ValuesIn(tables),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Statistics, FirstAndLastTimeAreOfTheRecordsWithATime)
{
    Statistics statistics;
    const RecordDate day{20'796, 60}; // 2026-12-09, UTC+01:00
    statistics.add(rec(3'600'000, "DC", "1", " V"), day);
    statistics.add(rec(std::nullopt, "DC", "2", " V")); // a file's record without a time
    statistics.add(rec(50'405'123, "DC", "3", " V"), RecordDate{20'797, -150});
    statistics.add(rec(std::nullopt, "DC", "4", " V"));
    statistics.add(rec(7, "AC", "4", " V"));
    ASSERT_EQ(statistics.rows().size(), 2u);
    EXPECT_EQ(momentText(statistics.rows()[0].first), "2026-12-09T01:00:00.000+01:00");
    EXPECT_EQ(momentText(statistics.rows()[0].last), "2026-12-10T14:00:05.123-02:30");
    EXPECT_EQ(momentText(statistics.rows()[1].first), "00:00:00.007");
    EXPECT_EQ(momentText(StatisticsMoment{}), "");

    statistics.clear();
    EXPECT_TRUE(statistics.empty());
    EXPECT_EQ(statistics.records(), 0u);
    statistics.add(rec(std::nullopt, "DC", "1", " V"));
    EXPECT_EQ(statistics.rows()[0].count, 1u) << "a clear left counts behind";
    EXPECT_FALSE(statistics.rows()[0].first.time);
}

// A table of a few functions with overloads, judgements, texts that are no
// number and dates that change; the same records added one by one.
void fillRandomTable(ReadingTable &table, Statistics &live, std::size_t count)
{
    std::mt19937 random(5);
    static const char *const functions[] = {"DC", "AC", "OHM"};
    static const char *const units[] = {" V", "mV", "K*"};
    static const char *const judges[] = {"pass", "Fail", ""};
    for (std::size_t i = 0; i < count; ++i) {
        char value[24];
        const unsigned pick = random() % 20;
        if (pick == 0)
            std::snprintf(value, sizeof value, "0.L");
        else if (pick == 1)
            std::snprintf(value, sizeof value, "----");
        else
            std::snprintf(value, sizeof value, "%s%u.%02u", random() % 3 ? "" : "-", static_cast<unsigned>(random() % 40),
                          static_cast<unsigned>(random() % 100));
        const char *function = functions[random() % 3];
        const char *unit = units[random() % 3];
        ReadingRecord record = rec(static_cast<std::int32_t>(i * 997 % 86'400'000), function, value, unit,
                                   judges[random() % 3]);
        record.No = static_cast<std::int32_t>(i);
        const std::optional<RecordDate> date =
            i % 700 < 100 ? std::nullopt : std::optional(RecordDate{static_cast<std::int32_t>(20'000 + i / 700), 60});
        table.append(record, date);
        live.add(record, date);
    }
}

void expectSameRows(const Statistics &a, const Statistics &b)
{
    ASSERT_EQ(a.rows().size(), b.rows().size());
    EXPECT_EQ(a.records(), b.records());
    for (std::size_t i = 0; i < a.rows().size(); ++i) {
        const StatisticsRow &x = a.rows()[i], &y = b.rows()[i];
        SCOPED_TRACE(x.function + x.unit);
        EXPECT_EQ(std::tie(x.function, x.unit, x.count, x.overloads, x.numbers, x.pass, x.fail),
                  std::tie(y.function, y.unit, y.count, y.overloads, y.numbers, y.pass, y.fail));
        // The same records in the same order: the same sums, to the bit.
        EXPECT_EQ(std::tie(x.minimum, x.maximum, x.mean, x.sumOfSquares),
                  std::tie(y.minimum, y.maximum, y.mean, y.sumOfSquares));
        EXPECT_EQ(x.first, y.first);
        EXPECT_EQ(x.last, y.last);
    }
}

TEST(Statistics, LiveUpdatesEqualARecompute)
{
    ReadingTable table;
    Statistics live;
    fillRandomTable(table, live, 5000);
    ASSERT_EQ(live.rows().size(), 9u);
    WorkProgress progress;
    expectSameRows(Statistics::recompute(table.snapshot(), ".", &progress), live);
    EXPECT_EQ(progress.done(), 5000u);
    EXPECT_EQ(progress.total(), 5000u);
}

TEST(Statistics, ARecomputeOfAnOlderSnapshotCatchesUp)
{
    ReadingTable table;
    Statistics live;
    fillRandomTable(table, live, 3000);
    const ReadingTableSnapshot older = table.snapshot();
    Statistics recomputed = Statistics::recompute(older, ".");
    // More records, as recording goes on while the worker runs.
    Statistics more;
    fillRandomTable(table, more, 1500);
    for (std::size_t i = 3000; i < table.size(); ++i)
        live.add(table.at(i), table.dateOf(i));
    for (const auto &[first, end] : {std::pair<std::size_t, std::size_t>{3000, 3001}, {3001, 4500}, {4500, 9000}})
        recomputed.addRows(table.snapshot(), first, end);
    expectSameRows(recomputed, live);
}

TEST(StatisticsText, TabSeparatedWithAHeaderAndPeopleSTexts)
{
    Statistics statistics;
    statistics.add(rec(0, "OHM", "1.5", "K*", "pass"));
    statistics.add(rec(1500, "OHM", "2.5", "K*", "Fail"));
    statistics.add(rec(std::nullopt, "DC\tx", "0.L", "+A"));
    EXPECT_EQ(statisticsTabText(statistics.rows(), StatisticsLimits{3, 1}),
              "Function\tUnit\tCount\tOverloads\tMinimum\tMaximum\tMean\tStd dev\tFirst\tLast\tPass\tFail\tYield "
              "%\tCp\tCpk\n"
              // s = sqrt(0.5) = 0.707107; Cp = 2 / 4.24264 = 0.471405; Cpk = 1 / 2.12132.
              "OHM\tK\u03a9\t2\t0\t1.5\t2.5\t2\t0.707107\t00:00:00.000\t00:00:01.500\t1\t1\t50\t0.471405\t0.471405\n"
              "DC x\t\u00b5A\t1\t1\t\t\t\t\t\t\t0\t0\t\t\t\n");
}

} // namespace
} // namespace tolmar
