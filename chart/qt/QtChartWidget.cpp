#include "chart/qt/QtChartWidget.h"

#include "chart/qt/ChartPage.h"

#include <QAreaSeries>
#include <QChart>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

namespace tolmar {

namespace {

// Sets the label step and the range (axisScale()).
//
// The step goes first. Qt Charts lays an axis out again at once when its
// range changes, but only on the next layout pass when its step changes: a
// range set first would be laid out with the old step, and going from
// -4..4 (step 1) to -4000..4000 would build some 8000 ticks with their labels
// and grid lines, freeze the window for seconds and show a grey plot with
// elided labels until the next pass.
void setAxisRange(QValueAxis *axis, double minimum, double maximum, double finest, double room)
{
    const AxisScale scale = axisScale(minimum, maximum, finest, room, axis->labelsFont(), axis->orientation());
    axis->setTickAnchor(0);
    axis->setTickInterval(scale.step);
    axis->setLabelFormat(scale.decimals > 0 ? "%.1f" : "%.0f");
    axis->setRange(scale.minimum, scale.maximum);
}

QValueAxis *makeAxis(const char *title)
{
    auto *axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setMinorTickCount(0);
    return axis;
}

} // namespace

QtChartWidget::QtChartWidget(PointStore &store, QWidget *parent)
    // Our own chart from the start: a view made without one makes a default
    // chart, and setChart() leaves that for the caller to delete.
    : QChartView(new QChart, parent)
    , m_store(&store)
    , m_series1(new QLineSeries)
    , m_series2Line(new QLineSeries(this))
    , m_series2(new QAreaSeries(m_series2Line))
    , m_axisX(makeAxis("Record Number"))
    , m_axisY(makeAxis("Value"))
{
    setObjectName("Chart1");
    const QColor blue = colourOf(chartBlue);

    m_series1->setObjectName("Series1");
    m_series1->setPen(QPen(blue, 1));
    m_series1->setPointsVisible(false);
    // The area between the line and the bottom of the plot is filled.
    m_series2->setObjectName("Series2");
    m_series2->setPen(QPen(blue, 1));
    m_series2->setBrush(blue);
    m_series2->setPointsVisible(false);

    QChart *plot = chart();
    plot->legend()->hide();
    plot->setAnimationOptions(QChart::NoAnimation);
    plot->setBackgroundRoundness(0);
    // Room on the right for half of the last horizontal label.
    plot->setMargins(QMargins(2, 4, 24, 2));
    plot->addSeries(m_series1);
    plot->addSeries(m_series2);
    plot->addAxis(m_axisX, Qt::AlignBottom);
    plot->addAxis(m_axisY, Qt::AlignLeft);
    for (QAbstractSeries *series : {static_cast<QAbstractSeries *>(m_series1), static_cast<QAbstractSeries *>(m_series2)}) {
        series->attachAxis(m_axisX);
        series->attachAxis(m_axisY);
    }

    // A picture, not a control: no zoom, pan, hover or focus.
    setRubberBand(QChartView::NoRubberBand);
    setInteractive(false);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);

    // Axis labels and resizing move the plot area after a redraw; the page is
    // drawn per pixel column, so a new width needs another one.
    connect(plot, &QChart::plotAreaChanged, this, [this](const QRectF &area) {
        if (static_cast<int>(area.width()) != m_drawnColumns)
            chartChanged();
    });
    m_store->setObserver(this);
    refresh();
}

QtChartWidget::~QtChartWidget()
{
    if (m_store)
        m_store->setObserver(nullptr);
}

void QtChartWidget::chartChanged()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &QtChartWidget::refresh, Qt::QueuedConnection);
}

void QtChartWidget::chartDestroyed()
{
    m_store = nullptr;
}

int QtChartWidget::plotColumns() const
{
    const int plotWidth = static_cast<int>(chart()->plotArea().width());
    return plotWidth > 0 ? plotWidth : width();
}

int QtChartWidget::plotRows() const
{
    const int plotHeight = static_cast<int>(chart()->plotArea().height());
    return plotHeight > 0 ? plotHeight : height();
}

void QtChartWidget::refresh()
{
    m_refreshPending = false;
    if (!m_store)
        return;
    const double minimum = m_store->horizontalMinimum();
    const double maximum = m_store->horizontalMaximum();
    const int columns = plotColumns();
    m_drawnColumns = columns;
    setAxisRange(m_axisX, minimum, maximum, 1, columns);
    setAxisRange(m_axisY, m_store->verticalMinimum(), m_store->verticalMaximum(), 0.1, plotRows());
    // A new step on an unchanged range waits for the next layout pass; run
    // it now, so the picture matches the axes when refresh() returns.
    chart()->layout()->activate();

    const struct { QLineSeries *line; QAbstractSeries *shown; int index; } series[] = {
        {m_series1, m_series1, 0},
        {m_series2Line, m_series2, 1},
    };
    // A series without a point in the page is hidden, not just emptied: Qt
    // Charts draws an area series without points as a segment down the left
    // edge of the plot (its outline starts at the top left corner and is
    // closed to the bottom), which shows whenever the edge falls on a pixel.
    // After a waveform Series2 holds only the placeholder at position 0.
    for (const auto &s : series) {
        const QList<QPointF> points = m_store->seriesVisible(s.index)
            ? pagePoints(*m_store, s.index, minimum, maximum, columns)
            : QList<QPointF>();
        s.line->replace(points);
        s.shown->setVisible(!points.isEmpty());
    }
}

QImage QtChartWidget::picture()
{
    // The page in view, not the one drawn last: changes still waiting for
    // the event loop go in now, and so does the redraw a moved plot area
    // (new labels, a new size) asks for.
    refresh();
    if (m_refreshPending)
        refresh();

    QImage image(size(), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(renderHints());
    // The scene as the viewport shows it; the controls on the chart (the
    // waveform's value box and unit) are child widgets and stay out.
    const QRect port = viewport()->geometry();
    render(&painter, QRectF(port), viewport()->rect());
    return image;
}

} // namespace tolmar
