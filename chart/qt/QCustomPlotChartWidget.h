#pragma once

#include "chart/PointStore.h"

#include <QImage>

#include <qcustomplot.h>

namespace tolmar {

// The chart Chart1 drawn with QCustomPlot, for builds without Qt Charts (see
// QtChartWidget.h): the picture of the Qt Charts view, pixel for pixel where
// the libraries allow. Series1 is a blue line, Series2 a blue area filled
// down to the bottom of the plot; the axes "Record Number" and "Value" show
// the store's ranges with the same label steps; no legend, no mouse.
//
// The graphs hold only the points of the page in view (pagePoints(): one
// column's smallest and largest value when the page has more points than
// the plot has pixel columns), and a series shows only while it has a point
// there. Changes of the store are gathered and drawn once per turn of the
// event loop.
class QtChartWidget final : public QCustomPlot, private ChartObserver {
    Q_OBJECT
public:
    explicit QtChartWidget(PointStore &store, QWidget *parent = nullptr);
    ~QtChartWidget() override;

    // Rebuilds the page in view and draws it now (also run after every
    // burst of changes).
    void refresh();
    // The chart as it is displayed, at the widget's size on white: the
    // drawing only, without the widgets placed on it. Changes not drawn yet
    // are drawn first. Null when the image cannot be allocated.
    QImage picture();

    QCPGraph *Series1() const { return m_series1; }
    QCPGraph *Series2() const { return m_series2; }
    // The line of the area: the area's own graph here.
    QCPGraph *Series2Line() const { return m_series2; }
    QCPAxis *horizontalAxis() const { return xAxis; }
    QCPAxis *verticalAxis() const { return yAxis; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void chartChanged() override;
    void chartDestroyed() override;
    // Sets both axes' ranges and label steps for a plot of the given size.
    void setScales(int columns, int rows);

    PointStore *m_store;
    QCPGraph *m_series1;
    QCPGraph *m_series2;
    bool m_refreshPending = false;
};

} // namespace tolmar
