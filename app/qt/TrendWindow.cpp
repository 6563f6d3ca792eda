#include "app/qt/TrendWindow.h"

#include "app/TrendFeed.h"
#include "files/CsvTable.h"
#include "record/ReadingTable.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRubberBand>
#ifdef TOLMAR_HAVE_SVG
#include <QSvgGenerator>
#endif
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <utility>
#include <limits>

namespace tolmar {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
// A click moves the pointer less than this; more is a drag.
constexpr int clickSlop = 4;
// New records are drawn at most this often.
constexpr int refreshMs = 100;

QString unitText(const std::string &unit)
{
    return QString::fromStdString(unicodeUnitText(unit));
}

} // namespace

TrendWindow::TrendWindow(const ReadingTable &table, const TrendFeed &feed, Limits limits, QWidget *parent)
    : QWidget(parent, Qt::Window), m_table(table), m_feed(feed), m_limits(std::move(limits))
{
    setWindowTitle("Trend");
    setObjectName("TrendWindow");
    resize(900, 520);

    m_series = new QComboBox(this);
    m_series->setObjectName("TrendSeries");
    m_fit = new QCheckBox("Fit vertical", this);
    m_fit->setObjectName("TrendFit");
    m_fit->setChecked(true);
    auto *all = new QPushButton("Show all", this);
    auto *save = new QPushButton("Save...", this);
    auto *print = new QPushButton("Print...", this);
    auto *bar = new QHBoxLayout;
    bar->addWidget(new QLabel("Series:", this));
    bar->addWidget(m_series);
    bar->addWidget(m_fit);
    bar->addStretch();
    bar->addWidget(all);
    bar->addWidget(save);
    bar->addWidget(print);

    m_plot = new QCustomPlot(this);
    m_plot->setObjectName("TrendPlot");
    m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    m_plot->axisRect()->setRangeDrag(Qt::Horizontal);
    m_plot->axisRect()->setRangeZoom(Qt::Horizontal);
    m_plot->setNoAntialiasingOnDrag(true);
    m_line = m_plot->addGraph();
    m_line->setPen(QPen(QColor(0, 0, 200), 1));
    m_line->setAdaptiveSampling(false); // the points are already one per pixel column
    m_failed = m_plot->addGraph();
    m_failed->setLineStyle(QCPGraph::lsNone);
    m_failed->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, QColor(220, 0, 0), 7));
    m_failed->setName("Fail");
    m_overload = m_plot->addGraph();
    m_overload->setLineStyle(QCPGraph::lsNone);
    m_overload->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssTriangleInverted, QColor(230, 120, 0),
                                                QColor(230, 120, 0), 7));
    m_overload->setName("Overload");
    const auto limitLine = [this] {
        auto *line = new QCPItemStraightLine(m_plot);
        line->setPen(QPen(QColor(220, 0, 0), 1, Qt::DashLine));
        line->setVisible(false);
        return line;
    };
    m_high = limitLine();
    m_low = limitLine();
    for (int i = 0; i < 2; ++i) {
        m_cursors[i] = new QCPItemStraightLine(m_plot);
        m_cursors[i]->setPen(QPen(i == 0 ? QColor(0, 140, 0) : QColor(140, 0, 140), 1));
        m_cursors[i]->setVisible(false);
    }
    m_plot->installEventFilter(this);

    m_cursorLabel = new QLabel(this);
    m_cursorLabel->setObjectName("TrendCursors");
    m_cursorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_cursorLabel->setText("Click: cursor A, right click: cursor B. Wheel: zoom, drag: pan, "
                           "right drag: zoom into the box, double click: show all.");

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_cursorLabel);

    m_clickTimer = new QTimer(this);
    m_clickTimer->setSingleShot(true);
    m_clickTimer->setInterval(QApplication::doubleClickInterval());
    connect(m_clickTimer, &QTimer::timeout, this, [this] { setCursor(m_pendingCursor, m_pendingX); });
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(refreshMs);
    connect(m_refreshTimer, &QTimer::timeout, this, &TrendWindow::update);
    connect(m_plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this, [this] {
        if (!m_settingRange)
            rangeChangedByUser();
    });
    connect(m_series, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        m_key = static_cast<std::uint16_t>(m_series->itemData(index).toInt());
        m_cursorRows[0].reset();
        m_cursorRows[1].reset();
        showAll();
    });
    connect(m_fit, &QCheckBox::toggled, this, [this](bool fit) {
        m_plot->axisRect()->setRangeDrag(fit ? Qt::Horizontal : Qt::Horizontal | Qt::Vertical);
        m_plot->axisRect()->setRangeZoom(fit ? Qt::Horizontal : Qt::Horizontal | Qt::Vertical);
        draw();
    });
    connect(all, &QPushButton::clicked, this, &TrendWindow::showAll);
    connect(save, &QPushButton::clicked, this, &TrendWindow::saveClicked);
    connect(print, &QPushButton::clicked, this, &TrendWindow::printClicked);

    rebuildSeriesList();
    showAll();
}

TrendWindow::~TrendWindow() = default;

std::optional<TrendView> TrendWindow::view() const
{
    if (!m_key || *m_key >= m_feed.summary().keys().size())
        return std::nullopt;
    return TrendView(m_table, m_feed.summary(), *m_key);
}

QString TrendWindow::seriesName() const
{
    if (!m_key || *m_key >= m_feed.summary().keys().size())
        return {};
    const TrendKey &key = m_feed.summary().keys()[*m_key];
    return QString::fromStdString(key.function) + " " + unitText(key.unit).trimmed();
}

void TrendWindow::rebuildSeriesList()
{
    const auto &keys = m_feed.summary().keys();
    if (static_cast<std::size_t>(m_series->count()) != keys.size()) {
        m_series->clear();
        for (std::size_t i = 0; i < keys.size(); ++i)
            m_series->addItem(QString::fromStdString(keys[i].function) + " " + unitText(keys[i].unit).trimmed(),
                              static_cast<int>(i));
    }
    // The newest record's series unless one was chosen.
    if ((!m_key || *m_key >= keys.size()) && m_feed.summary().size() > 0 && !m_table.empty()) {
        const ReadingRecord newest = m_table.at(std::min(m_feed.summary().size(), m_table.size()) - 1);
        m_key = m_feed.summary().keyOf(newest.DCAC, newest.Unit);
    }
    if (m_key)
        m_series->setCurrentIndex(m_series->findData(static_cast<int>(*m_key)));
}

void TrendWindow::refresh()
{
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start();
}

double TrendWindow::newestX() const
{
    const auto v = view();
    const auto span = v ? v->span() : std::nullopt;
    return span ? span->second : 0;
}

void TrendWindow::update()
{
    const std::size_t rows = std::min(m_feed.summary().size(), m_table.size());
    // A clear or a load (summarised anew, its series numbered anew): the
    // newest record's series, all of it.
    const bool anew = rows < m_drawnRows || (m_drawnRows == 0 && rows > 0);
    if (rows < m_drawnRows)
        m_key.reset();
    m_drawnRows = rows;
    rebuildSeriesList();
    if (anew) {
        m_cursorRows[0].reset();
        m_cursorRows[1].reset();
        showAll();
        return;
    }
    const QCPRange range = m_plot->xAxis->range();
    if (const auto moved = m_follow.recordsAdded(range.lower, range.upper, newestX())) {
        setRange(moved->first, moved->second);
        return;
    }
    draw();
}

void TrendWindow::setRange(double lower, double upper)
{
    if (!(upper > lower))
        upper = lower + 1;
    m_settingRange = true;
    m_plot->xAxis->setRange(lower, upper);
    m_settingRange = false;
    m_follow.viewMoved(upper, newestX());
    draw();
}

void TrendWindow::showAll()
{
    const auto v = view();
    const auto span = v ? v->span() : std::nullopt;
    if (!span) {
        draw();
        return;
    }
    const double width = span->second - span->first;
    const double margin = width > 0 ? width * 0.01 : (v->timeAxis() ? 1.0 : 0.5);
    setRange(span->first - margin, span->second + margin);
}

void TrendWindow::rangeChangedByUser()
{
    m_follow.viewMoved(m_plot->xAxis->range().upper, newestX());
    draw();
}

void TrendWindow::draw()
{
    const auto v = view();
    QVector<double> keys, values, failedKeys, failedValues, overloadKeys;
    double low = std::numeric_limits<double>::infinity(), high = -low;
    if (v) {
        const QCPRange range = m_plot->xAxis->range();
        const int columns = std::max(1, m_plot->axisRect()->width());
        const std::vector<TrendPoint> points = v->points(range.lower, range.upper, columns);
        keys.reserve(static_cast<int>(points.size() * 3));
        values.reserve(keys.capacity());
        for (const TrendPoint &p : points) {
            if (p.gapBefore && !keys.isEmpty()) {
                keys.append(p.x);
                values.append(nan);
            }
            if (p.hasValue) {
                keys.append(p.x);
                values.append(p.min);
                if (p.max != p.min) {
                    keys.append(p.x);
                    values.append(p.max);
                }
                low = std::min(low, p.min);
                high = std::max(high, p.max);
                if (p.failed) {
                    failedKeys.append(p.x);
                    failedValues.append(p.max);
                }
            }
            if (p.overload)
                overloadKeys.append(p.x);
        }
        m_pointsDrawn = static_cast<int>(points.size());
        if (v->timeAxis()) {
            auto ticker = qSharedPointerDynamicCast<QCPAxisTickerDateTime>(m_plot->xAxis->ticker());
            if (!ticker) {
                ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
                m_plot->xAxis->setTicker(ticker);
            }
            const double width = range.upper - range.lower;
            ticker->setDateTimeFormat(width < 10 ? "hh:mm:ss.zzz\nyyyy-MM-dd"
                                                 : width < 3 * 86400 ? "hh:mm:ss\nyyyy-MM-dd" : "yyyy-MM-dd\nhh:mm");
            m_plot->xAxis->setLabel("Date and time");
        } else {
            // Record numbers: whole numbers, never in the scientific form.
            if (!qSharedPointerDynamicCast<QCPAxisTickerFixed>(m_plot->xAxis->ticker())) {
                auto ticker = QSharedPointer<QCPAxisTickerFixed>::create();
                ticker->setTickStep(1);
                ticker->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
                m_plot->xAxis->setTicker(ticker);
                m_plot->xAxis->setNumberFormat("f");
                m_plot->xAxis->setNumberPrecision(0);
            }
            m_plot->xAxis->setLabel("Record");
        }
        // Each record a dot once few are in view, so a single one shows.
        const bool fewRecords = !points.empty() && points.size() * 8 < static_cast<std::size_t>(columns)
            && points.front().row != points.back().row;
        m_line->setScatterStyle(fewRecords || points.size() == 1 ? QCPScatterStyle(QCPScatterStyle::ssDisc, 5)
                                                                 : QCPScatterStyle());
        m_plot->yAxis->setLabel(seriesName());
    } else {
        m_pointsDrawn = 0;
    }
    m_line->setData(keys, values, true);
    m_failed->setData(failedKeys, failedValues, true);

    const auto [highLimit, lowLimit] = m_limits ? m_limits() : std::make_pair(std::optional<double>(), std::optional<double>());
    const auto placeLimit = [](QCPItemStraightLine *line, std::optional<double> value) {
        line->setVisible(value.has_value());
        if (value) {
            line->point1->setCoords(0, *value);
            line->point2->setCoords(1, *value);
        }
    };
    placeLimit(m_high, highLimit);
    placeLimit(m_low, lowLimit);

    if (m_fit->isChecked() && low <= high) {
        const double pad = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(high) * 0.05);
        m_plot->yAxis->setRange(low - pad, high + pad);
    }
    // Overloads at the top of what is in view.
    const double top = m_plot->yAxis->range().upper - m_plot->yAxis->range().size() * 0.02;
    m_overload->setData(overloadKeys, QVector<double>(overloadKeys.size(), top), true);
    for (int i = 0; i < 2; ++i) {
        m_cursors[i]->setVisible(m_cursorRows[i].has_value() && v);
        if (m_cursorRows[i] && v) {
            const double x = v->xOf(*m_cursorRows[i]);
            m_cursors[i]->point1->setCoords(x, 0);
            m_cursors[i]->point2->setCoords(x, 1);
        }
    }
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void TrendWindow::setCursor(int cursor, double x)
{
    const auto v = view();
    if (!v || cursor < 0 || cursor > 1)
        return;
    m_cursorRows[cursor] = v->nearestRow(x);
    m_cursorLabel->setText(cursorText());
    draw();
}

QString TrendWindow::formatX(double x) const
{
    const auto v = view();
    if (v && v->timeAxis())
        return QDateTime::fromMSecsSinceEpoch(std::llround(x * 1000)).toString("yyyy-MM-dd hh:mm:ss.zzz");
    return QString("record %1").arg(static_cast<long long>(std::llround(x)));
}

QString TrendWindow::cursorText() const
{
    const auto v = view();
    if (!v)
        return {};
    QStringList parts;
    std::optional<double> xs[2], values[2];
    const char names[2] = {'A', 'B'};
    for (int i = 0; i < 2; ++i) {
        if (!m_cursorRows[i])
            continue;
        xs[i] = v->xOf(*m_cursorRows[i]);
        values[i] = v->valueOf(*m_cursorRows[i]);
        const QString value = values[i] ? QString::number(*values[i], 'g', 10)
                                        : QString::fromStdString(std::string(m_table.at(*m_cursorRows[i]).Value));
        parts << QString("%1: %2  %3").arg(names[i]).arg(formatX(*xs[i]), value);
    }
    if (xs[0] && xs[1]) {
        const double dt = *xs[1] - *xs[0];
        QString difference = v->timeAxis() ? QString("Δt %1 s").arg(dt, 0, 'f', 3)
                                           : QString("Δrecords %1").arg(dt, 0, 'g', 10);
        if (v->timeAxis() && std::abs(dt) >= 60) {
            // Long spans read better in hours and minutes as well.
            const auto seconds = static_cast<long long>(std::llround(std::abs(dt)));
            difference += QString(" (%1%2 h %3 min %4 s)")
                              .arg(dt < 0 ? "-" : "")
                              .arg(seconds / 3600)
                              .arg(seconds / 60 % 60)
                              .arg(seconds % 60);
        }
        if (values[0] && values[1]) {
            const double dv = *values[1] - *values[0];
            difference += QString("  Δv %1").arg(dv, 0, 'g', 10);
            if (dt != 0)
                difference += QString("  Δv/Δt %1%2").arg(dv / dt, 0, 'g', 6).arg(v->timeAxis() ? " /s" : "");
        }
        parts << difference;
    }
    return parts.join("   ");
}

bool TrendWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_plot)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        m_clickTimer->stop();
        m_doubleClicked = true;
        showAll();
        return true;
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        m_pressAt = mouse->position().toPoint();
        m_dragged = false;
        if (mouse->button() == Qt::RightButton) {
            if (!m_band)
                m_band = new QRubberBand(QRubberBand::Rectangle, m_plot);
            m_band->setGeometry(QRect(m_pressAt, QSize()));
            m_band->show();
            return true;
        }
        break;
    }
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        if ((at - m_pressAt).manhattanLength() > clickSlop)
            m_dragged = true;
        if (m_band && m_band->isVisible()) {
            m_band->setGeometry(QRect(m_pressAt, at).normalized());
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        const bool right = mouse->button() == Qt::RightButton;
        if (right && m_band)
            m_band->hide();
        if (std::exchange(m_doubleClicked, false))
            return true;
        if (!m_dragged) {
            m_pendingCursor = right ? 1 : 0;
            m_pendingX = m_plot->xAxis->pixelToCoord(at.x());
            m_clickTimer->start();
            return right;
        }
        if (right) {
            const QRect box = QRect(m_pressAt, at).normalized();
            const double x0 = m_plot->xAxis->pixelToCoord(box.left());
            const double x1 = m_plot->xAxis->pixelToCoord(box.right());
            if (!m_fit->isChecked())
                m_plot->yAxis->setRange(m_plot->yAxis->pixelToCoord(box.bottom()),
                                        m_plot->yAxis->pixelToCoord(box.top()));
            setRange(x0, x1);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool TrendWindow::saveView(const QString &fileName)
{
    const QString lower = fileName.toLower();
    const int width = m_plot->width(), height = m_plot->height();
    if (lower.endsWith(".pdf"))
        return m_plot->savePdf(fileName, width, height);
    if (lower.endsWith(".svg")) {
#ifndef TOLMAR_HAVE_SVG
        return false; // not a PNG under an SVG name
#else
        QSvgGenerator svg;
        svg.setFileName(fileName);
        svg.setSize(QSize(width, height));
        svg.setViewBox(QRect(0, 0, width, height));
        svg.setTitle("Trend " + seriesName());
        QCPPainter painter;
        if (!painter.begin(&svg))
            return false;
        m_plot->toPainter(&painter, width, height);
        return painter.end();
#endif
    }
    return m_plot->savePng(fileName, width, height);
}

QString TrendWindow::saveFilter()
{
#ifdef TOLMAR_HAVE_SVG
    return "PNG picture (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)";
#else
    return "PNG picture (*.png);;PDF document (*.pdf)";
#endif
}

void TrendWindow::saveClicked()
{
    QString selected;
    const QString name = QFileDialog::getSaveFileName(this, "Save the trend", QString(), saveFilter(), &selected);
    if (name.isEmpty())
        return;
    QString file = name;
    const QString extension = selected.contains("*.svg") ? ".svg" : selected.contains("*.pdf") ? ".pdf" : ".png";
    // A name ending in a format not offered gets the chosen one added.
    const QString lower = file.toLower();
    const bool offered = lower.endsWith(".png") || lower.endsWith(".pdf")
        || (lower.endsWith(".svg") && saveFilter().contains("*.svg"));
    if (!offered)
        file += extension;
    if (!saveView(file))
        QMessageBox::warning(this, "Trend", "Could not save the trend to " + file + ".");
}

void TrendWindow::printClicked()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QCPPainter painter(&printer);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    // The plot as on screen, scaled to the page's width.
    const double scale = page.width() / m_plot->width();
    painter.scale(scale, scale);
    m_plot->toPainter(&painter, m_plot->width(), m_plot->height());
}

} // namespace tolmar
