// The chart view, the chart's controls and the judge panel, offscreen.
#include "app/qt/GraphicControlPanel.h"
#include "app/qt/JudgePanel.h"
#include "chart/GraphicControl.h"
#include "chart/PointStore.h"
#include "gui/ChartProbe.h"
#include "gui/Ink.h"
#include "meter/MeterReading.h"
#include "meter/qt/LcdTextLabel.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "chart/qt/QtChartWidget.h"
#include "platform/virtual/VirtualTime.h"
#include "record/Judge.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace tolmar {
namespace {

using test::axisShown;
using test::seriesPoints;
using test::seriesShown;

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

void expectPage(const QList<QPointF> &points, int first, int last)
{
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
    expectPage(seriesPoints(*w.chart, 0), 481, 500);
    expectPage(seriesPoints(*w.chart, 1), 481, 500);
    EXPECT_EQ(axisShown(*w.chart, Qt::Horizontal).minimum, 481);
    EXPECT_EQ(axisShown(*w.chart, Qt::Horizontal).maximum, 640);

    QTest::mouseClick(w.panel->btnPrevious, Qt::LeftButton);
    w.settle();
    expectPage(seriesPoints(*w.chart, 0), 321, 480);
    EXPECT_EQ(w.panel->edtCurPage->text(), "3");

    // Page 1 starts at position 1: the placeholder at 0 stays out of view.
    QTest::mouseClick(w.panel->btnfirst, Qt::LeftButton);
    w.settle();
    expectPage(seriesPoints(*w.chart, 0), 1, 160);
    EXPECT_EQ(axisShown(*w.chart, Qt::Horizontal).minimum, 1);
    EXPECT_EQ(axisShown(*w.chart, Qt::Horizontal).maximum, 160);

    w.panel->edtPage->clear();
    QTest::keyClicks(w.panel->edtPage, "2");
    QTest::mouseClick(w.panel->btnGoPage, Qt::LeftButton);
    w.settle();
    expectPage(seriesPoints(*w.chart, 0), 161, 320);
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

    const QList<QPointF> points = seriesPoints(*w.chart, 0);
    const int columns = static_cast<int>(test::plotArea(*w.chart).width());
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
    w.record(3); // a series shows only with a point in the page
    EXPECT_FALSE(test::legendShown(*w.chart));
    EXPECT_EQ(axisShown(*w.chart, Qt::Horizontal).title, "Record Number");
    EXPECT_EQ(axisShown(*w.chart, Qt::Vertical).title, "Value");
    EXPECT_EQ(axisShown(*w.chart, Qt::Vertical).minimum, -40);
    EXPECT_EQ(axisShown(*w.chart, Qt::Vertical).maximum, 40);
    EXPECT_EQ(test::lineColour(*w.chart), QColor(0, 0, 255));
    EXPECT_EQ(test::fillColour(*w.chart), QColor(0, 0, 255));
    EXPECT_TRUE(w.chart->testAttribute(Qt::WA_TransparentForMouseEvents));

    // Fill on: only the area; off: only the line.
    QTest::mouseClick(w.panel->cbFill, Qt::LeftButton);
    w.settle();
    EXPECT_FALSE(w.panel->cbFill->isChecked());
    EXPECT_TRUE(seriesShown(*w.chart, 0));
    EXPECT_FALSE(seriesShown(*w.chart, 1));
    QTest::mouseClick(w.panel->cbFill, Qt::LeftButton);
    w.settle();
    EXPECT_FALSE(seriesShown(*w.chart, 0));
    EXPECT_TRUE(seriesShown(*w.chart, 1));
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

TEST(ChartView, TheWaveformUnitIsDrawnInTheLcdSymbols)
{
    ChartWindow w;
    w.controls.showWaveformValue("1.234", "M*");
    ChartWindow::settle();
    auto *label = w.chart->findChild<LcdTextLabel *>("Label6");
    ASSERT_EQ(label, w.panel->Label6);
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->text(), "M*");
    const auto ink = [label] {
        const QImage shown = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return test::inkBox(shown, shown.rect());
    };
    const QRect megaohm = ink();
    ASSERT_FALSE(megaohm.isEmpty());
    w.controls.showWaveformValue("1.234", "M");
    const QRect mega = ink();
    // The ohm sign stands at least as tall as the M beside it and nearly as wide; the
    // font's star would add a few pixels high on the line.
    EXPECT_GE(megaohm.height(), mega.height());
    EXPECT_GE(megaohm.width() - mega.width(), mega.height() * 2 / 3);
    EXPECT_GT(mega.height(), QFontMetrics(label->font()).capHeight());
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

// The full scales of the meter's ranges, and the waveform's 60.
constexpr int meterRanges[] = {4, 10, 40, 60, 100, 400, 750, 1000, 4000};

bool isSeriesBlue(QColor c)
{
    return c.blue() > 160 && c.red() < 120 && c.green() < 120;
}

// Blue pixels in the pixel columns around the plot's left edge that lie
// more than two rows away from `value`, the only value drawn there.
int strayBlueAtLeftEdge(QtChartWidget &chart, double value)
{
    const QImage image = chart.grab().toImage();
    const QRectF area = test::plotArea(chart);
    const double valueRow = test::pixelOf(chart, QPointF(axisShown(chart, Qt::Horizontal).minimum, value)).y();
    int stray = 0;
    const int edge = static_cast<int>(area.left());
    for (int x = edge - 1; x <= edge + 1; ++x)
        for (int y = static_cast<int>(area.top()); y <= static_cast<int>(area.bottom()); ++y)
            if (std::abs(y - valueRow) > 2 && isSeriesBlue(image.pixelColor(x, y)))
                ++stray;
    return stray;
}

TEST(ChartView, TheAreaIsFilledFromItsLineDownToTheBottomOfThePlot)
{
    // Above and below 0: the area reaches the bottom edge of the plot, not
    // the line of 0, and nothing above its line is blue.
    for (const double value : {20.0, -20.0}) {
        ChartWindow w;
        for (int i = 0; i < 50; ++i)
            w.controls.recordValue(value);
        w.settle();
        ASSERT_TRUE(seriesShown(*w.chart, 1));
        const QImage image = w.chart->grab().toImage();
        const QRectF area = test::plotArea(*w.chart);
        const QPointF line = test::pixelOf(*w.chart, QPointF(25, value));
        int blueBelow = 0, rowsBelow = 0, blueAbove = 0;
        for (int y = static_cast<int>(area.top()) + 1; y < static_cast<int>(area.bottom()) - 1; ++y) {
            const bool blue = isSeriesBlue(image.pixelColor(static_cast<int>(line.x()), y));
            if (y > line.y() + 2) {
                ++rowsBelow;
                blueBelow += blue;
            } else if (y < line.y() - 2) {
                blueAbove += blue;
            }
        }
        EXPECT_GT(rowsBelow, 50) << value;
        EXPECT_EQ(blueBelow, rowsBelow) << value;
        EXPECT_EQ(blueAbove, 0) << value;
    }
}

TEST(ChartView, NothingOutsideThePageIsDrawnAtItsLeftEdge)
{
    // A waveform: placeholders at position 0 in both series, the samples at
    // 1..160 on Series1 only, both series shown (Fill not clicked yet). Then
    // each full scale in turn, in the normal and the enlarged layout: the
    // edge of the plot falls on different sub-pixel offsets. A value of 3
    // fits every range and keeps apart from the placeholders' 0.
    ChartWindow w;
    std::array<int, 160> samples{};
    samples.fill(3);
    for (const bool enlarged : {false, true}) {
        if (enlarged)
            w.controls.btnFlyClick();
        w.controls.setWaveformRange();
        w.controls.buildWaveformPage(samples);
        w.settle();
        ASSERT_EQ(axisShown(*w.chart, Qt::Horizontal).minimum, 1);
        for (const int fullScale : meterRanges) {
            w.controls.setFullScaleRange(fullScale);
            w.settle();
            EXPECT_EQ(strayBlueAtLeftEdge(*w.chart, 3), 0) << "waveform, full scale " << fullScale
                                                           << (enlarged ? ", enlarged" : "");
        }
    }

    // Readings after the waveform: Series1 moves on to the page [161, 320],
    // Series2 fills 1, 2, ... on the page before it.
    for (int i = 0; i < 5; ++i)
        w.controls.recordValue(3);
    w.settle();
    ASSERT_EQ(axisShown(*w.chart, Qt::Horizontal).minimum, 161);
    for (const int fullScale : meterRanges) {
        w.controls.setFullScaleRange(fullScale);
        w.settle();
        EXPECT_EQ(strayBlueAtLeftEdge(*w.chart, 3), 0) << "readings, full scale " << fullScale;
    }
}

// Every label is a whole multiple of the axis' step inside its range, and
// every such multiple has its label.
void expectLabelsReadAsNumbers(const QtChartWidget &chart, Qt::Orientation orientation, const std::string &when)
{
    const test::AxisShown axis = axisShown(chart, orientation);
    const double step = axis.step;
    std::vector<double> shown;
    for (const QString &label : test::axisLabels(chart, orientation)) {
        bool number = false;
        shown.push_back(label.toDouble(&number));
        EXPECT_TRUE(number) << when << ": label \"" << label.toStdString() << "\"";
    }
    std::vector<double> expected;
    for (double v = std::ceil(axis.minimum / step) * step; v <= axis.maximum + step / 1000; v += step)
        expected.push_back(std::abs(v) < step / 1000 ? 0 : v);
    std::sort(shown.begin(), shown.end());
    ASSERT_EQ(shown.size(), expected.size()) << when;
    for (std::size_t i = 0; i < shown.size(); ++i)
        EXPECT_NEAR(shown[i], expected[i], step / 100) << when;
    EXPECT_GE(shown.size(), 3u) << when;
    EXPECT_LE(shown.size(), 11u) << when;
}

TEST(ChartView, AxisLabelsFollowEveryRangeAtOnce)
{
    ChartWindow w;
    // A range must never meet the step of the range before it: from -4..4
    // (step 1) to -4000..4000 Qt Charts would build 8000 ticks at once.
    double mostTicks = 0;
    test::onVerticalRange(*w.chart, [&](qreal minimum, qreal maximum) {
        mostTicks = std::max(mostTicks, (maximum - minimum) / axisShown(*w.chart, Qt::Vertical).step);
    });

    // Each change is followed by one turn of the event loop only, as when a
    // frame arrives; the picture must be complete by then.
    const int sequence[] = {60, 400, 750, 4, 4000, 10, 1000, 40, 100, 4, 60, 4000, 4};
    for (const int fullScale : sequence) {
        w.controls.setFullScaleRange(fullScale);
        QCoreApplication::processEvents();
        const std::string when = "full scale " + std::to_string(fullScale);
        ASSERT_EQ(axisShown(*w.chart, Qt::Vertical).maximum, fullScale);
        expectLabelsReadAsNumbers(*w.chart, Qt::Vertical, when);
        expectLabelsReadAsNumbers(*w.chart, Qt::Horizontal, when);
    }
    EXPECT_LE(mostTicks, 11);

    // And the same in the enlarged layout, with more room for labels.
    w.controls.btnFlyClick();
    w.settle();
    for (const int fullScale : meterRanges) {
        w.controls.setFullScaleRange(fullScale);
        QCoreApplication::processEvents();
        expectLabelsReadAsNumbers(*w.chart, Qt::Vertical, "enlarged, full scale " + std::to_string(fullScale));
    }
}

TEST(ChartView, FirstPictureOfAWindowShownAndFilledWithoutATurnOfTheLoop)
{
    // The main window is shown and reads frames before its first event loop
    // turn; the grab after that one turn must show the final axes.
    VirtualTime time;
    Timer timerChange{time, 1000, false};
    ScriptedPrompts prompts;
    PointStore store;
    GraphicControl controls{store, timerChange, prompts};
    QWidget window;
    window.resize(876, 563);
    auto *chart = new QtChartWidget(store, &window);
    chart->setGeometry(352, 216, 513, 326);
    controls.createChartPager();
    controls.resetSeries();
    controls.setStartVerticalRange();
    window.show();
    for (const int fullScale : {60, 400, 750})
        controls.setFullScaleRange(fullScale);
    QCoreApplication::processEvents();
    expectLabelsReadAsNumbers(*chart, Qt::Vertical, "first turn");
    expectLabelsReadAsNumbers(*chart, Qt::Horizontal, "first turn");
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
