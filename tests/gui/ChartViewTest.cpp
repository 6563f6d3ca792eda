// The chart view, the chart's controls and the judge panel, offscreen.
#include "app/qt/GraphicControlPanel.h"
#include "app/qt/JudgePanel.h"
#include "chart/GraphicControl.h"
#include "chart/PointStore.h"
#include "gui/Ink.h"
#include "meter/MeterReading.h"
#include "meter/qt/LcdTextLabel.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "chart/qt/QtChartWidget.h"
#include "platform/virtual/VirtualTime.h"
#include "record/Judge.h"

#include <QAreaSeries>
#include <QChart>
#include <QCheckBox>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

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
    w.record(3); // a series shows only with a point in the page
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
    const QRectF area = chart.chart()->plotArea();
    const double valueRow = chart.chart()->mapToPosition(QPointF(chart.horizontalAxis()->min(), value),
                                                         chart.Series1()).y();
    int stray = 0;
    const int edge = static_cast<int>(area.left());
    for (int x = edge - 1; x <= edge + 1; ++x)
        for (int y = static_cast<int>(area.top()); y <= static_cast<int>(area.bottom()); ++y)
            if (std::abs(y - valueRow) > 2 && isSeriesBlue(image.pixelColor(x, y)))
                ++stray;
    return stray;
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
        ASSERT_EQ(w.chart->horizontalAxis()->min(), 1);
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
    ASSERT_EQ(w.chart->horizontalAxis()->min(), 161);
    for (const int fullScale : meterRanges) {
        w.controls.setFullScaleRange(fullScale);
        w.settle();
        EXPECT_EQ(strayBlueAtLeftEdge(*w.chart, 3), 0) << "readings, full scale " << fullScale;
    }
}

// The label texts the chart shows left of the plot (vertical axis) or
// below it (horizontal axis), in scene order.
std::vector<QString> axisLabels(const QtChartWidget &chart, Qt::Orientation orientation)
{
    const QRectF area = chart.chart()->plotArea();
    std::vector<QString> labels;
    for (const QGraphicsItem *item : chart.scene()->items()) {
        if (!item->isVisible() || item->type() != QGraphicsTextItem::Type)
            continue;
        const QString text = static_cast<const QGraphicsTextItem *>(item)->toPlainText();
        const QRectF r = item->sceneBoundingRect();
        const bool vertical = r.right() <= area.left() && r.center().y() >= area.top() - r.height()
            && r.center().y() <= area.bottom() + r.height();
        const bool horizontal = r.top() >= area.bottom() && r.bottom() <= area.bottom() + 2 * r.height();
        if ((orientation == Qt::Vertical ? vertical : horizontal) && !text.isEmpty()
            && text != chart.verticalAxis()->titleText() && text != chart.horizontalAxis()->titleText())
            labels.push_back(text);
    }
    return labels;
}

// Every label is a whole multiple of the axis' step inside its range, and
// every such multiple has its label.
void expectLabelsReadAsNumbers(const QtChartWidget &chart, Qt::Orientation orientation, const std::string &when)
{
    const QValueAxis *axis = orientation == Qt::Vertical ? chart.verticalAxis() : chart.horizontalAxis();
    const double step = axis->tickInterval();
    std::vector<double> shown;
    for (const QString &label : axisLabels(chart, orientation)) {
        bool number = false;
        shown.push_back(label.toDouble(&number));
        EXPECT_TRUE(number) << when << ": label \"" << label.toStdString() << "\"";
    }
    std::vector<double> expected;
    for (double v = std::ceil(axis->min() / step) * step; v <= axis->max() + step / 1000; v += step)
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
    QObject::connect(w.chart->verticalAxis(), &QValueAxis::rangeChanged, [&](qreal minimum, qreal maximum) {
        mostTicks = std::max(mostTicks, (maximum - minimum) / w.chart->verticalAxis()->tickInterval());
    });

    // Each change is followed by one turn of the event loop only, as when a
    // frame arrives; the picture must be complete by then.
    const int sequence[] = {60, 400, 750, 4, 4000, 10, 1000, 40, 100, 4, 60, 4000, 4};
    for (const int fullScale : sequence) {
        w.controls.setFullScaleRange(fullScale);
        QCoreApplication::processEvents();
        const std::string when = "full scale " + std::to_string(fullScale);
        ASSERT_EQ(w.chart->verticalAxis()->max(), fullScale);
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
