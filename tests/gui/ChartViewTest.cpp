// The chart view, the chart's controls and the judge panel, offscreen.
#include "app/GraphicControlPanel.h"
#include "app/JudgePanel.h"
#include "chart/GraphicControl.h"
#include "chart/PointStore.h"
#include "meter/MeterReading.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/qt/QtChartWidget.h"
#include "platform/virtual/VirtualTime.h"
#include "record/Judge.h"

#include <QAreaSeries>
#include <QChart>
#include <QCheckBox>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <memory>

namespace tolmar {
namespace {

// The chart and its controls on a window-sized panel, started up as the
// main window starts them.
struct ChartWindow {
    VirtualTime time;
    Timer timerChange{time, 1000, false};
    ScriptedPrompts prompts;
    PointStore store;
    GraphicControl controls{store, timerChange, prompts};
    QWidget window;
    QtChartWidget *chart = new QtChartWidget(store, &window);
    GraphicControlPanel *panel = new GraphicControlPanel(controls, &window);

    ChartWindow()
    {
        window.resize(876, 563);
        panel->attachChart(chart);
        controls.onChanged = [this] { panel->refresh(); };
        controls.createChartPager();
        controls.resetSeries();
        controls.setStartVerticalRange();
        window.show();
        settle();
    }
    // Lets the deferred redraws run: a redraw can move the plot area (axis
    // labels), which asks for one more.
    static void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
    void record(int count)
    {
        for (int i = 1; i <= count; ++i)
            controls.recordValue(i * 0.5);
        settle();
    }
};

void expectPage(const QLineSeries *series, int first, int last)
{
    const QList<QPointF> points = series->points();
    ASSERT_EQ(points.size(), last - first + 1);
    for (int i = 0; i < points.size(); ++i) {
        EXPECT_EQ(points[i].x(), first + i);
        EXPECT_EQ(points[i].y(), (first + i) * 0.5);
    }
}

TEST(ChartView, HoldsExactlyThePageInView)
{
    ChartWindow w;
    w.record(500); // 501 points: page 4 of 4 at [481, 640]
    expectPage(w.chart->Series1(), 481, 500);
    expectPage(w.chart->Series2Line(), 481, 500);
    EXPECT_EQ(w.chart->horizontalAxis()->min(), 481);
    EXPECT_EQ(w.chart->horizontalAxis()->max(), 640);

    QTest::mouseClick(w.panel->btnPrevious, Qt::LeftButton);
    w.settle();
    expectPage(w.chart->Series1(), 321, 480);
    EXPECT_EQ(w.panel->edtCurPage->text(), "3");

    // Page 1 starts at position 1: the placeholder at 0 stays out of view.
    QTest::mouseClick(w.panel->btnfirst, Qt::LeftButton);
    w.settle();
    expectPage(w.chart->Series1(), 1, 160);
    EXPECT_EQ(w.chart->horizontalAxis()->min(), 1);
    EXPECT_EQ(w.chart->horizontalAxis()->max(), 160);

    w.panel->edtPage->clear();
    QTest::keyClicks(w.panel->edtPage, "2");
    QTest::mouseClick(w.panel->btnGoPage, Qt::LeftButton);
    w.settle();
    expectPage(w.chart->Series1(), 161, 320);
    EXPECT_EQ(w.panel->edtCurPage->text(), "2");
}

TEST(ChartView, AWidePageIsDrawnFromEachColumnsExtremes)
{
    ChartWindow w;
    w.controls.edtRangeChange("10000");
    w.time.advance(1000);
    for (int i = 1; i <= 10000; ++i)
        w.controls.recordValue(i == 5000 ? 1000 : i == 7777 ? -1000 : i % 100);
    w.settle();

    const QList<QPointF> points = w.chart->Series1()->points();
    const int columns = static_cast<int>(w.chart->chart()->plotArea().width());
    ASSERT_GT(columns, 100);
    EXPECT_LE(points.size(), 2 * columns);
    EXPECT_GE(points.size(), columns);
    EXPECT_TRUE(points.contains(QPointF(5000, 1000)));
    EXPECT_TRUE(points.contains(QPointF(7777, -1000)));
    for (int i = 1; i < points.size(); ++i)
        ASSERT_LT(points[i - 1].x(), points[i].x());
    EXPECT_GE(points.front().x(), 1);
    EXPECT_LE(points.back().x(), 10000);
}

TEST(ChartView, LooksAsTheProgramDrawsIt)
{
    ChartWindow w;
    QChart *plot = w.chart->chart();
    EXPECT_FALSE(plot->legend()->isVisible());
    EXPECT_EQ(w.chart->horizontalAxis()->titleText(), "Record Number");
    EXPECT_EQ(w.chart->verticalAxis()->titleText(), "Value");
    EXPECT_EQ(w.chart->verticalAxis()->min(), -40);
    EXPECT_EQ(w.chart->verticalAxis()->max(), 40);
    EXPECT_EQ(w.chart->Series1()->pen().color(), QColor(0, 0, 255));
    EXPECT_EQ(w.chart->Series2()->brush().color(), QColor(0, 0, 255));
    EXPECT_TRUE(w.chart->testAttribute(Qt::WA_TransparentForMouseEvents));

    // Fill on: only the area; off: only the line.
    QTest::mouseClick(w.panel->cbFill, Qt::LeftButton);
    w.settle();
    EXPECT_FALSE(w.panel->cbFill->isChecked());
    EXPECT_TRUE(w.chart->Series1()->isVisible());
    EXPECT_FALSE(w.chart->Series2()->isVisible());
    QTest::mouseClick(w.panel->cbFill, Qt::LeftButton);
    w.settle();
    EXPECT_FALSE(w.chart->Series1()->isVisible());
    EXPECT_TRUE(w.chart->Series2()->isVisible());
}

TEST(ChartView, EnlargedLayoutCoversTheWindow)
{
    ChartWindow w;
    EXPECT_EQ(w.panel->geometry(), QRect(352, 160, 513, 57));
    EXPECT_EQ(w.chart->geometry(), QRect(352, 216, 513, 326));
    EXPECT_TRUE(w.panel->btnfly->isVisible());
    EXPECT_FALSE(w.panel->btnChartZoomOut->isVisible());

    QTest::mouseClick(w.panel->btnfly, Qt::LeftButton);
    EXPECT_EQ(w.panel->geometry(), QRect(8, 5, 857, 68));
    EXPECT_EQ(w.chart->geometry(), QRect(8, 72, 857, 470));
    EXPECT_FALSE(w.panel->btnfly->isVisible());
    EXPECT_TRUE(w.panel->btnChartZoomOut->isVisible());

    QTest::mouseClick(w.panel->btnChartZoomOut, Qt::LeftButton);
    EXPECT_EQ(w.panel->geometry(), QRect(352, 160, 513, 57));
    EXPECT_EQ(w.chart->geometry(), QRect(352, 216, 513, 326));
}

TEST(ChartView, RangeBoxTakesDigitsOnlyAndWaveformSwapsTheControls)
{
    ChartWindow w;
    w.panel->edtRange->selectAll();
    QTest::keyClicks(w.panel->edtRange, "2x0-0");
    EXPECT_EQ(w.panel->edtRange->text(), "200");
    w.time.advance(1000);
    EXPECT_EQ(w.controls.ChartPager().pageSize(), 200);

    w.controls.showWaveformValue("1.234", "mV");
    EXPECT_FALSE(w.panel->edtRange->isVisible());
    EXPECT_FALSE(w.panel->btnGoPage->isVisible());
    EXPECT_TRUE(w.panel->btnfly->isVisible());
    EXPECT_TRUE(w.panel->Edit1->isVisible());
    EXPECT_EQ(w.panel->Edit1->text(), "1.234");
    EXPECT_EQ(w.panel->Label6->text(), "mV");
    w.controls.showPageControls();
    EXPECT_TRUE(w.panel->edtRange->isVisible());
    EXPECT_FALSE(w.panel->Edit1->isVisible());
}

TEST(ChartView, OutlivesItsStore)
{
    // The window's widgets are deleted after the core that holds the store.
    auto store = std::make_unique<PointStore>();
    QtChartWidget chart(*store);
    store->append(0, 1, "", chartBlue);
    store.reset();
    chart.refresh();
    QCoreApplication::processEvents();
    SUCCEED();
}

struct JudgeWindow {
    VirtualTime time;
    Timer Timer4{time, 2000, false};
    ScriptedPrompts prompts;
    FixedLocale locale;
    Judge judge{Timer4, prompts, locale};
    std::string systeminfomation = ".";
    JudgePanel panel{judge, systeminfomation};

    JudgeWindow()
    {
        judge.onChanged = [this] { panel.refresh(); };
        panel.show();
    }
};

TEST(JudgePanel, FiltersKeysAndRestoresBadLimits)
{
    JudgeWindow w;
    EXPECT_EQ(w.panel.size(), QSize(515, 127));
    EXPECT_EQ(w.panel.linkLampSlot()->geometry().size(), QSize(25, 24));
    w.panel.T1HI->selectAll();
    QTest::keyClicks(w.panel.T1HI, "1a2.5,.5");
    EXPECT_EQ(w.panel.T1HI->text(), "12.55");
    EXPECT_EQ(w.judge.state().T1HI, "12.55");

    w.panel.T1HI->end(false);
    QTest::keyClicks(w.panel.T1HI, "'");
    EXPECT_EQ(w.prompts.shown.size(), 1u);
    EXPECT_EQ(w.panel.T1HI->text(), "12.55");

    MeterReading reading;
    reading.ValueText = "13.0";
    w.judge.JudgeReading(reading);
    EXPECT_EQ(w.panel.T1VALUE->text(), "13.0");
    EXPECT_EQ(w.panel.judge->text(), "Fail");
    EXPECT_EQ(w.panel.Shape1->fill(), QColor(255, 0, 0));
    EXPECT_EQ(w.panel.T1VALUE->palette().color(QPalette::Base), QColor(255, 0, 0));
    reading.ValueText = "12.0";
    w.judge.JudgeReading(reading);
    EXPECT_EQ(w.panel.judge->text(), "Pass");
    EXPECT_EQ(w.panel.judge->palette().color(QPalette::Window), QColor(0, 128, 0));

    auto *lamp = new QWidget;
    w.panel.setLinkLamp(lamp);
    EXPECT_EQ(lamp->parentWidget(), w.panel.linkLampSlot());
    EXPECT_EQ(lamp->size(), QSize(25, 24));
}

} // namespace
} // namespace tolmar
