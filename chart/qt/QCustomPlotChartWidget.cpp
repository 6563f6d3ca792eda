#include "chart/qt/QtChartWidget.h"

#include "chart/qt/ChartPage.h"

#include <QFontMetrics>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tolmar {

namespace {

// The colours of Qt Charts' light theme, which the Qt Charts view shows.
const QColor labelGrey(0x40, 0x40, 0x44);
const QColor axisGrey(0xd6, 0xd6, 0xd6);
const QColor gridGrey(0xe2, 0xe2, 0xe2);

// Series2. QCustomPlot fills a graph down to the value 0; Qt Charts fills an
// area without a lower line down to the bottom of the plot, whatever the
// values, and so does this graph.
class AreaGraph final : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

protected:
    void drawFill(QCPPainter *painter, QVector<QPointF> *lines) const override
    {
        if (lines->isEmpty() || painter->brush().style() == Qt::NoBrush)
            return;
        applyFillAntialiasingHint(painter);
        const double bottom = QRectF(keyAxis()->axisRect()->rect()).bottom();
        for (const QCPDataRange &segment : getNonNanSegments(lines, keyAxis()->orientation())) {
            QPolygonF area(segment.size() + 2);
            std::copy(lines->constBegin() + segment.begin(), lines->constBegin() + segment.end(), area.begin());
            area[segment.size()] = QPointF(area[segment.size() - 1].x(), bottom);
            area[segment.size() + 1] = QPointF(area[0].x(), bottom);
            painter->drawPolygon(area);
        }
    }
};

// Labels at the whole multiples of a fixed step inside the range, as Qt
// Charts' dynamic ticks anchored at 0 place them. A multiple that lands a
// rounding error outside the range (3 * 0.1 is above 0.3) still counts, and
// zero is written without a sign.
class StepTicker final : public QCPAxisTickerFixed {
public:
    StepTicker() { setScaleStrategy(QCPAxisTickerFixed::ssNone); }

protected:
    QVector<double> createTickVector(double tickStep, const QCPRange &range) override
    {
        QVector<double> ticks;
        if (!(tickStep > 0))
            return ticks;
        const double slack = 1e-9;
        const auto first = static_cast<std::int64_t>(std::ceil(range.lower / tickStep - slack));
        const auto last = static_cast<std::int64_t>(std::floor(range.upper / tickStep + slack));
        for (std::int64_t k = first; k <= last; ++k) {
            const double tick = static_cast<double>(k) * tickStep;
            ticks.append(k == 0 ? 0.0 : std::clamp(tick, range.lower, range.upper));
        }
        return ticks;
    }
};

void styleAxis(QCPAxis *axis, const QString &title, const QFont &font)
{
    QFont bold = font;
    bold.setBold(true);
    axis->setLabel(title);
    axis->setLabelFont(bold);
    axis->setLabelColor(labelGrey);
    axis->setTickLabelFont(font);
    axis->setTickLabelColor(labelGrey);
    axis->setBasePen(QPen(axisGrey, 1));
    axis->setTickPen(QPen(axisGrey, 1));
    axis->setTickLengthIn(0);
    axis->setTickLengthOut(5);
    axis->setSubTicks(false);
    axis->setNumberFormat("f");
    axis->setTicker(QSharedPointer<StepTicker>::create());
    // Qt Charts draws the axes under the series and no line of its own at 0.
    axis->setLayer("grid");
    axis->grid()->setPen(QPen(gridGrey, 1));
    axis->grid()->setZeroLinePen(Qt::NoPen);
}

// The label at the last step of a scale.
QString lastLabel(const AxisScale &scale)
{
    return QLocale::c().toString(std::floor(scale.maximum / scale.step + 1e-9) * scale.step, 'f', scale.decimals);
}

void setScale(QCPAxis *axis, const AxisScale &scale)
{
    qSharedPointerCast<StepTicker>(axis->ticker())->setTickStep(scale.step);
    axis->setNumberPrecision(scale.decimals);
    axis->setRange(scale.minimum, scale.maximum);
}

} // namespace

QtChartWidget::QtChartWidget(PointStore &store, QWidget *parent)
    : QCustomPlot(parent)
    , m_store(&store)
    , m_series1(new QCPGraph(xAxis, yAxis))
    , m_series2(new AreaGraph(xAxis, yAxis))
{
    setObjectName("Chart1");
    const QColor blue = colourOf(chartBlue);
    // Labels as Qt Charts writes them: "%.1f", no group separators.
    setLocale(QLocale::c());
    setBackground(Qt::white);
    // Qt Charts' view draws lines and areas without antialiasing.
    setNotAntialiasedElements(QCP::aeAll);
    legend->setVisible(false);

    m_series1->setName("Series1");
    m_series1->setPen(QPen(blue, 1));
    m_series1->setAdaptiveSampling(false); // pagePoints() has done it
    m_series2->setName("Series2");
    m_series2->setPen(QPen(blue, 1));
    m_series2->setBrush(blue);
    m_series2->setAdaptiveSampling(false);

    // Qt Charts' theme writes in the application's font, not the parent's.
    styleAxis(xAxis, "Record Number", QGuiApplication::font());
    styleAxis(yAxis, "Value", QGuiApplication::font());
    // The spacing of Qt Charts' axes: labels right after the ticks, the
    // titles a little apart, and more room below the horizontal title.
    xAxis->setTickLabelPadding(0);
    xAxis->setLabelPadding(5);
    xAxis->setPadding(12);
    yAxis->setTickLabelPadding(0);
    yAxis->setLabelPadding(12);
    // The margins of the Qt Charts view (room on the right for half of the
    // last horizontal label: setScales()).
    plotLayout()->setAutoMargins(QCP::msNone);
    plotLayout()->setMargins(QMargins(2, 4, 24, 2));

    // A picture, not a control: no zoom, pan, hover or focus.
    setInteractions({});
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);

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

void QtChartWidget::resizeEvent(QResizeEvent *event)
{
    // The page is drawn per pixel column: a new width needs a new page.
    if (!m_store)
        return QCustomPlot::resizeEvent(event);
    refresh();
}

void QtChartWidget::setScales(int columns, int rows)
{
    const AxisScale horizontal = axisScale(m_store->horizontalMinimum(), m_store->horizontalMaximum(), 1, columns,
                                           xAxis->tickLabelFont(), Qt::Horizontal);
    setScale(xAxis, horizontal);
    // Above the plot room for half a label's height, right of it for half
    // the last horizontal label, as Qt Charts keeps.
    const QFontMetrics metrics(xAxis->tickLabelFont());
    axisRect()->setMinimumMargins(
        QMargins(0, 17, 10 + (metrics.horizontalAdvance(lastLabel(horizontal)) + 1) / 2, 0));
    setScale(yAxis, axisScale(m_store->verticalMinimum(), m_store->verticalMaximum(), 0.1, rows,
                              yAxis->tickLabelFont(), Qt::Vertical));
}

void QtChartWidget::refresh()
{
    m_refreshPending = false;
    if (!m_store)
        return;
    setViewport(rect());
    // The label steps follow the plot's size, and the labels' width moves
    // the plot's edge: lay out until the plot stays where it is (a second
    // pass at most, in practice).
    QSize plot = axisRect()->rect().size();
    for (int pass = 0; pass < 3; ++pass) {
        setScales(plot.width() > 0 ? plot.width() : width(), plot.height() > 0 ? plot.height() : height());
        updateLayout();
        const QSize laidOut = axisRect()->rect().size();
        if (laidOut == plot)
            break;
        plot = laidOut;
    }

    const double minimum = m_store->horizontalMinimum();
    const double maximum = m_store->horizontalMaximum();
    const int columns = plot.width() > 0 ? plot.width() : width();
    const struct { QCPGraph *graph; int index; } series[] = {{m_series1, 0}, {m_series2, 1}};
    for (const auto &s : series) {
        const QList<QPointF> points = m_store->seriesVisible(s.index)
            ? pagePoints(*m_store, s.index, minimum, maximum, columns)
            : QList<QPointF>();
        QVector<QCPGraphData> data;
        data.reserve(points.size());
        for (const QPointF &p : points)
            data.append(QCPGraphData(p.x(), p.y()));
        s.graph->data()->set(data, true);
        s.graph->setVisible(!points.isEmpty());
    }
    // Drawn now, shown on the next paint: a grab right after this call
    // shows this page.
    replot(rpQueuedRefresh);
}

QImage QtChartWidget::picture()
{
    // The page in view, not the one drawn last: changes still waiting for
    // the event loop go in now.
    refresh();
    QImage image(size(), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    // The plot's own layers only; the controls on the chart (the
    // waveform's value box and unit) are child widgets and stay out.
    QCPPainter painter(&image);
    toPainter(&painter, width(), height());
    return image;
}

} // namespace tolmar
