#pragma once

// Chart1 is drawn with Qt Charts; where Qt Charts is missing (the Windows
// build) or TOLMAR_CHART_WITH_QCUSTOMPLOT asks for it, with QCustomPlot:
// the same class, the same picture.
#ifdef TOLMAR_CHART_WITH_QCUSTOMPLOT
#include "chart/qt/QCustomPlotChartWidget.h"
#else

#include "chart/PointStore.h"

#include <QChartView>
#include <QImage>
#include <QList>
#include <QPointF>

class QAreaSeries;
class QLineSeries;
class QValueAxis;

namespace tolmar {

// The chart Chart1: draws the page in view of a PointStore with Qt Charts.
// Series1 is a blue line, Series2 a blue filled area; the axes "Record
// Number" and "Value" show the store's ranges; no legend, no mouse.
//
// Qt Charts holds only the points of the page in view, and shows a series
// only while it has a point there. When the page has more points than the
// plot has pixel columns, each column is drawn from the smallest and the
// largest value that falls into it, which draws the same picture at a
// fraction of the cost. Changes of the store are gathered and
// drawn once per turn of the event loop.
class QtChartWidget final : public QChartView, private ChartObserver {
    Q_OBJECT
public:
    explicit QtChartWidget(PointStore &store, QWidget *parent = nullptr);
    ~QtChartWidget() override;

    // Rebuilds the page in view now (also run after every burst of changes).
    void refresh();
    // The chart as it is displayed, at the widget's size on white: the
    // drawing only, without the widgets placed on it. Changes not drawn yet
    // are drawn first. Null when the image cannot be allocated.
    QImage picture();

    QLineSeries *Series1() const { return m_series1; }
    QAreaSeries *Series2() const { return m_series2; }
    QLineSeries *Series2Line() const { return m_series2Line; }
    QValueAxis *horizontalAxis() const { return m_axisX; }
    QValueAxis *verticalAxis() const { return m_axisY; }

private:
    void chartChanged() override;
    void chartDestroyed() override;
    int plotColumns() const;
    int plotRows() const;

    PointStore *m_store;
    QLineSeries *m_series1;
    QLineSeries *m_series2Line;
    QAreaSeries *m_series2;
    QValueAxis *m_axisX;
    QValueAxis *m_axisY;
    bool m_refreshPending = false;
    int m_drawnColumns = 0; // pixel columns of the last redraw
};

} // namespace tolmar

#endif // TOLMAR_CHART_WITH_QCUSTOMPLOT
