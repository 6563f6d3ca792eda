// The statistics window, offscreen: what it shows, what "Copy" puts on the
// clipboard, and that it follows a refresh and a change of limits.
#include "app/qt/StatisticsWindow.h"

#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

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

QString cell(const StatisticsWindow &window, int row, int column)
{
    const QAbstractItemModel *model = window.table()->model();
    return model->data(model->index(row, column)).toString();
}

TEST(StatisticsWindow, CopyGivesTheRowsAsTabSeparatedText)
{
    Statistics statistics;
    std::optional<StatisticsLimits> limits = StatisticsLimits{3, 1};
    StatisticsWindow window(statistics, [&limits] { return limits; });
    QAbstractItemModelTester tester(window.table()->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    window.show();
    EXPECT_EQ(window.windowTitle(), "Statistics");
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(window.table()->model()->rowCount(), 0);
    EXPECT_EQ(window.table()->model()->columnCount(), 15);

    statistics.add(rec(36'000'000, "DC", "1.5", " V", "pass"));
    statistics.add(rec(36'001'000, "DC", "2.5", " V", "Fail"));
    statistics.add(rec(36'002'000, "AC", "0.L", "m+A", "Fail"));
    EXPECT_EQ(window.table()->model()->rowCount(), 0) << "shown before a refresh";
    window.refresh();
    ASSERT_EQ(window.table()->model()->rowCount(), 2);
    EXPECT_EQ(cell(window, 1, 1), QString::fromUtf8("m\u00b5A"));

    QApplication::clipboard()->clear();
    QTest::mouseClick(window.copyButton(), Qt::LeftButton);
    // DC V: 1.5 and 2.5, s = sqrt(0.5) = 0.707107; against 1 .. 3:
    // Cp = 2 / 4.24264 = 0.471405, Cpk = min(1, 1) / 2.12132 = 0.471405.
    const QString header = "Function\tUnit\tCount\tOverloads\tMinimum\tMaximum\tMean\tStd dev\tFirst\tLast\tPass\tFail\t"
                           "Yield %\tCp\tCpk\n";
    EXPECT_EQ(QApplication::clipboard()->text(),
              header
                  + "DC\t V\t2\t0\t1.5\t2.5\t2\t0.707107\t10:00:00.000\t10:00:01.000\t1\t1\t50\t0.471405\t0.471405\n"
                  + QString::fromUtf8("AC\tm\u00b5A\t1\t1\t\t\t\t\t10:00:02.000\t10:00:02.000\t0\t1\t0\t\t\n"));

    // New limits count at the next refresh; none leave Cp and Cpk empty.
    limits = StatisticsLimits{4, 0};
    window.refresh();
    EXPECT_EQ(cell(window, 0, 13), "0.942809"); // 4 / 4.24264
    limits.reset();
    window.refresh();
    EXPECT_EQ(cell(window, 0, 13), "");
    EXPECT_EQ(cell(window, 0, 14), "");

    // Emptied (Close Data): the header alone.
    statistics.clear();
    window.refresh();
    EXPECT_EQ(window.table()->model()->rowCount(), 0);
    window.copyClick();
    EXPECT_EQ(QApplication::clipboard()->text(), header);
}

TEST(StatisticsWindow, AHiddenWindowCatchesUpWhenShown)
{
    Statistics statistics;
    StatisticsWindow window(statistics, [] { return std::nullopt; });
    statistics.add(rec(std::nullopt, "DC", "1", " V"));
    window.refresh(); // hidden: noted only
    EXPECT_EQ(window.table()->model()->rowCount(), 0);
    window.show();
    EXPECT_EQ(window.table()->model()->rowCount(), 1);
    EXPECT_EQ(cell(window, 0, 2), "1");
}

} // namespace
} // namespace tolmar
