#include "app/qt/ReadingGrid.h"

#include "meter/qt/LcdText.h"
#include "platform/Locale.h"
#include "platform/TextEncoding.h"
#include "record/ReadingTable.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cmath>

namespace tolmar {

namespace {

constexpr int cellPadding = 3;
constexpr int millisecondsPerDay = 24 * 60 * 60 * 1000;
const QColor gridLine(208, 208, 208);
const QColor headerLine(160, 160, 160);

// The current row: the highlight colour, lightened so that black text and
// the unit glyphs stay readable on it.
QColor currentRowColour(const QPalette &palette)
{
    const QColor highlight = palette.color(QPalette::Highlight);
    const QColor base = palette.color(QPalette::Base);
    const auto mix = [](int a, int b) { return (a + 3 * b) / 4; };
    return QColor(mix(highlight.red(), base.red()), mix(highlight.green(), base.green()),
                  mix(highlight.blue(), base.blue()));
}

std::string_view fieldText(const ReadingRecord &record, int column)
{
    switch (column) {
    case 2: return record.DCAC;
    case 3: return record.Value;
    case 4: return record.Unit;
    case 5: return record.Auto;
    default: return {};
    }
}

QString cellTextOf(const ReadingRecord &record, int column, const Locale &locale)
{
    switch (column) {
    case 0:
        return record.No ? QString::number(*record.No) : QString();
    case 1: {
        // A time that is no time of day (a damaged file) shows nothing.
        if (!record.Time || *record.Time < 0 || *record.Time >= millisecondsPerDay)
            return {};
        const int seconds = *record.Time / 1000;
        const TimeOfDay time{seconds / 3600, seconds / 60 % 60, seconds % 60};
        return QString::fromStdString(locale.formatLongTime(time));
    }
    default:
        return displayText(fieldText(record, column));
    }
}

} // namespace

QString displayText(std::string_view bytes)
{
    std::string scratch;
    const std::string_view text = asUtf8(bytes, scratch);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont fittingFont(const QFont &font, const QString &text, int width)
{
    QFont fitted = font;
    const auto fits = [&] { return QFontMetrics(fitted).horizontalAdvance(text) <= width; };
    for (int stretch = 90; stretch >= 60 && !fits(); stretch -= 10)
        fitted.setStretch(stretch);
    // A font that cannot be narrowed is made smaller.
    while (!fits()) {
        if (fitted.pixelSize() > 6)
            fitted.setPixelSize(fitted.pixelSize() - 1);
        else if (fitted.pixelSize() < 0 && fitted.pointSizeF() > 4.5)
            fitted.setPointSizeF(fitted.pointSizeF() - 0.5);
        else
            break;
    }
    return fitted;
}

ReadingGrid::ReadingGrid(const ReadingTable &table, const Locale &locale, QWidget *parent)
    : QAbstractScrollArea(parent), m_table(table), m_locale(locale)
{
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Every pixel of the viewport is painted by paintEvent.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { m_following = value >= verticalScrollBar()->maximum(); });
    updateMetrics();
    m_lastSize = m_table.size();
    updateScrollRange();
}

void ReadingGrid::tableChanged()
{
    const std::size_t size = m_table.size();
    if (size == m_lastSize)
        return;
    const bool shrunk = size < m_lastSize;
    m_lastSize = size;
    if (shrunk) {
        // Cleared (or replaced by a shorter table): start again at the top.
        m_following = true;
        updateScrollRange();
        verticalScrollBar()->setValue(0);
    } else {
        updateScrollRange();
    }
    viewport()->update();
}

void ReadingGrid::tableReset()
{
    m_lastSize = m_table.size();
    m_following = true;
    updateScrollRange();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void ReadingGrid::goToLastRecord()
{
    m_lastSize = m_table.size();
    m_following = true;
    updateScrollRange();
    viewport()->update();
}

std::size_t ReadingGrid::firstVisibleRow() const
{
    return static_cast<std::size_t>(verticalScrollBar()->value());
}

int ReadingGrid::visibleRowCount() const
{
    return std::max(0, (viewport()->height() - m_rowHeight) / m_rowHeight);
}

QRect ReadingGrid::headerRect() const
{
    return QRect(0, 0, viewport()->width(), m_rowHeight);
}

QRect ReadingGrid::cellRect(int rowInView, int column) const
{
    return QRect(columnLeft(column), m_rowHeight * (rowInView + 1), columnWidth(column), m_rowHeight);
}

QString ReadingGrid::cellText(std::size_t row, int column) const
{
    if (row >= m_table.size() || column < 0 || column >= static_cast<int>(columns.size()))
        return {};
    return cellTextOf(m_table.at(row), column, m_locale);
}

int ReadingGrid::columnLeft(int column) const
{
    int left = 0;
    for (int i = 0; i < column; ++i)
        left += columns[static_cast<std::size_t>(i)].width;
    return left;
}

int ReadingGrid::columnWidth(int column) const
{
    if (column == static_cast<int>(columns.size()) - 1)
        return std::max(0, viewport()->width() - columnLeft(column));
    return columns[static_cast<std::size_t>(column)].width;
}

void ReadingGrid::updateMetrics()
{
    m_rowHeight = std::max(16, fontMetrics().height() + 4);
}

void ReadingGrid::updateScrollRange()
{
    // The range counts first rows, not pixels: at ten million rows it still
    // fits an int, and the scroll bar holds nothing per row.
    const int visible = visibleRowCount();
    const std::size_t size = m_table.size();
    const std::size_t last = size > static_cast<std::size_t>(visible) ? size - static_cast<std::size_t>(visible) : 0;
    const int maximum = static_cast<int>(std::min<std::size_t>(last, INT_MAX));
    const bool follow = m_following;
    QScrollBar *bar = verticalScrollBar();
    bar->setSingleStep(1);
    bar->setPageStep(std::max(1, visible));
    bar->setRange(0, maximum);
    if (follow)
        bar->setValue(maximum);
    m_following = bar->value() >= maximum;
}

void ReadingGrid::scrollContentsBy(int, int)
{
    viewport()->update();
}

void ReadingGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void ReadingGrid::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        updateScrollRange();
        viewport()->update();
    }
}

void ReadingGrid::keyPressEvent(QKeyEvent *event)
{
    QScrollBar *bar = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_Up: bar->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_PageUp: bar->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: bar->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_Home: bar->triggerAction(QAbstractSlider::SliderToMinimum); break; // with or without Ctrl
    case Qt::Key_End: bar->triggerAction(QAbstractSlider::SliderToMaximum); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void ReadingGrid::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    painter.fillRect(exposed, palette().base());
    painter.setClipRect(exposed);
    if (exposed.intersects(headerRect()))
        paintHeader(painter);

    // Only the rows that cross the exposed rectangle, the last one in view
    // perhaps in part.
    const std::size_t size = m_table.size();
    const std::size_t first = firstVisibleRow();
    const int fromRow = std::max(0, (exposed.top() - m_rowHeight) / m_rowHeight);
    const int toRow = std::max(-1, (exposed.bottom() - m_rowHeight) / m_rowHeight);
    for (int r = fromRow; r <= toRow; ++r) {
        const std::size_t row = first + static_cast<std::size_t>(r);
        if (row >= size)
            break;
        paintRow(painter, row, r, row + 1 == size);
    }
}

void ReadingGrid::paintHeader(QPainter &painter) const
{
    const QRect header = headerRect();
    painter.fillRect(header, palette().button());
    painter.setPen(headerLine);
    painter.drawLine(header.bottomLeft(), header.bottomRight());
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const QRect cell(columnLeft(c), 0, columnWidth(c), m_rowHeight);
        painter.setPen(headerLine);
        painter.drawLine(cell.topRight(), cell.bottomRight());
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(cell.adjusted(cellPadding, 0, -cellPadding, -1),
                         static_cast<int>(columns[static_cast<std::size_t>(c)].alignment | Qt::AlignVCenter),
                         QString::fromLatin1(columns[static_cast<std::size_t>(c)].title));
    }
}

void ReadingGrid::paintRow(QPainter &painter, std::size_t row, int rowInView, bool current)
{
    const ReadingRecord record = m_table.at(row);
    const QRect line(0, m_rowHeight * (rowInView + 1), viewport()->width(), m_rowHeight);
    if (current)
        painter.fillRect(line, currentRowColour(palette()));
    const QColor text = palette().color(QPalette::Text);
    // The unit glyphs are thin segments: they read at a little more than the
    // text's cap height.
    const qreal capHeight = std::round(m_rowHeight * 0.7);
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const QRect cell = cellRect(rowInView, c);
        const QRect inner = cell.adjusted(cellPadding, 0, -cellPadding, -1);
        const Qt::Alignment alignment = columns[static_cast<std::size_t>(c)].alignment | Qt::AlignVCenter;
        if (c == unitColumn) {
            painter.save();
            painter.setClipRect(inner, Qt::IntersectClip);
            paintLcdText(painter, m_glyphs, record.Unit, QRectF(inner), alignment, capHeight, text);
            painter.restore();
        } else {
            painter.setPen(text);
            const QString cell = cellTextOf(record, c, m_locale);
            if (painter.fontMetrics().horizontalAdvance(cell) > inner.width()) {
                painter.save();
                painter.setFont(fittingFont(painter.font(), cell, inner.width()));
                painter.drawText(inner, static_cast<int>(alignment), cell);
                painter.restore();
            } else {
                painter.drawText(inner, static_cast<int>(alignment), cell);
            }
        }
        painter.setPen(gridLine);
        painter.drawLine(cell.topRight(), cell.bottomRight());
    }
    painter.setPen(gridLine);
    painter.drawLine(line.bottomLeft(), line.bottomRight());
}

} // namespace tolmar
