// What the chart Chart1 shows, read alike from its Qt Charts view and its
// QCustomPlot one, so the chart tests run against the build's own.
#pragma once

#include "chart/qt/QtChartWidget.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#ifdef TOLMAR_CHART_WITH_QCUSTOMPLOT
#include <qcustomplot.h>
#else
#include <QAreaSeries>
#include <QChart>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>
#endif

#include <vector>

namespace tolmar::test {

struct AxisShown {
    double minimum;
    double maximum;
    double step; // between two labels
    QString title;
};

#ifdef TOLMAR_CHART_WITH_QCUSTOMPLOT

inline QCPAxis *axisOf(const QtChartWidget &chart, Qt::Orientation orientation)
{
    return orientation == Qt::Horizontal ? chart.horizontalAxis() : chart.verticalAxis();
}

inline AxisShown axisShown(const QtChartWidget &chart, Qt::Orientation orientation)
{
    QCPAxis *axis = axisOf(chart, orientation);
    const auto ticker = axis->ticker().dynamicCast<QCPAxisTickerFixed>();
    return {axis->range().lower, axis->range().upper, ticker ? ticker->tickStep() : 0, axis->label()};
}

// Series 0 is Series1, 1 is Series2.
inline QList<QPointF> seriesPoints(const QtChartWidget &chart, int series)
{
    QList<QPointF> points;
    for (const QCPGraphData &p : *(series == 0 ? chart.Series1() : chart.Series2Line())->data())
        points.append(QPointF(p.key, p.value));
    return points;
}

inline bool seriesShown(const QtChartWidget &chart, int series)
{
    return (series == 0 ? chart.Series1() : chart.Series2())->visible();
}

inline QColor lineColour(const QtChartWidget &chart) { return chart.Series1()->pen().color(); }
inline QColor fillColour(const QtChartWidget &chart) { return chart.Series2()->brush().color(); }
inline bool legendShown(const QtChartWidget &chart) { return chart.legend->visible(); }
inline QRectF plotArea(const QtChartWidget &chart) { return chart.axisRect()->rect(); }

// Where a point (position, value) lies in the chart's pixels.
inline QPointF pixelOf(const QtChartWidget &chart, QPointF point)
{
    return {chart.horizontalAxis()->coordToPixel(point.x()), chart.verticalAxis()->coordToPixel(point.y())};
}

// The labels an axis shows.
inline std::vector<QString> axisLabels(const QtChartWidget &chart, Qt::Orientation orientation)
{
    const QVector<QString> labels = axisOf(chart, orientation)->tickVectorLabels();
    return {labels.begin(), labels.end()};
}

// f(minimum, maximum) at every change of the vertical range.
template <class F>
void onVerticalRange(QtChartWidget &chart, F f)
{
    QObject::connect(chart.verticalAxis(), qOverload<const QCPRange &>(&QCPAxis::rangeChanged),
                     [f](const QCPRange &range) { f(range.lower, range.upper); });
}

#else

inline QValueAxis *axisOf(const QtChartWidget &chart, Qt::Orientation orientation)
{
    return orientation == Qt::Horizontal ? chart.horizontalAxis() : chart.verticalAxis();
}

inline AxisShown axisShown(const QtChartWidget &chart, Qt::Orientation orientation)
{
    const QValueAxis *axis = axisOf(chart, orientation);
    return {axis->min(), axis->max(), axis->tickInterval(), axis->titleText()};
}

inline QList<QPointF> seriesPoints(const QtChartWidget &chart, int series)
{
    return (series == 0 ? chart.Series1() : chart.Series2Line())->points();
}

inline bool seriesShown(const QtChartWidget &chart, int series)
{
    return series == 0 ? chart.Series1()->isVisible() : chart.Series2()->isVisible();
}

inline QColor lineColour(const QtChartWidget &chart) { return chart.Series1()->pen().color(); }
inline QColor fillColour(const QtChartWidget &chart) { return chart.Series2()->brush().color(); }
inline bool legendShown(const QtChartWidget &chart) { return chart.chart()->legend()->isVisible(); }
inline QRectF plotArea(const QtChartWidget &chart) { return chart.chart()->plotArea(); }

inline QPointF pixelOf(const QtChartWidget &chart, QPointF point)
{
    return chart.chart()->mapToPosition(point, chart.Series1());
}

// The label texts the chart shows left of the plot (vertical axis) or
// below it (horizontal axis), in scene order.
inline std::vector<QString> axisLabels(const QtChartWidget &chart, Qt::Orientation orientation)
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

template <class F>
void onVerticalRange(QtChartWidget &chart, F f)
{
    QObject::connect(chart.verticalAxis(), &QValueAxis::rangeChanged, f);
}

#endif

} // namespace tolmar::test
