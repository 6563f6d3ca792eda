#include "record/TrendView.h"

#include <algorithm>
#include <cmath>

namespace tolmar {

namespace {
// A record more than this many times the interval before it after the last
// one starts a new stretch of line: recording stopped in between.
constexpr double pauseFactor = 5;
} // namespace

TrendView::TrendView(const ReadingTable &table, const TrendSummary &summary, std::uint16_t key)
    : m_table(table), m_summary(summary), m_key(key)
{
    // Dated series go against time; a series loaded from a file without dates against record numbers.
    if (const auto first = m_summary.firstRow(m_table, m_key))
        m_timeAxis = m_table.dateOf(*first).has_value();
}

std::size_t TrendView::rows() const
{
    return std::min(m_summary.size(), m_table.size());
}

bool TrendView::inSeries(std::size_t row) const
{
    const ReadingRecord record = m_table.at(row);
    const TrendKey &key = m_summary.keys()[m_key];
    return record.DCAC == key.function && record.Unit == key.unit;
}

double TrendView::xOf(std::size_t row) const
{
    if (!m_timeAxis)
        return static_cast<double>(row + 1);
    const DateRun run = m_table.dateRunOf(row);
    std::optional<RecordDate> date = run.date;
    // A row without a date among dated ones takes the date of the rows after it, else before it.
    if (!date && run.end < m_table.size())
        date = m_table.dateOf(run.end);
    if (!date && run.first > 0)
        date = m_table.dateOf(run.first - 1);
    const double seconds = m_table.at(row).Time.value_or(0) / 1000.0;
    if (!date)
        return seconds;
    return static_cast<double>(date->day) * 86400.0 - date->utcOffsetMinutes * 60.0 + seconds;
}

std::size_t TrendView::rowAtOrAfter(double x) const
{
    std::size_t low = 0, high = rows();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (xOf(mid) < x)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

std::optional<std::pair<double, double>> TrendView::span() const
{
    const auto first = m_summary.firstRow(m_table, m_key);
    const auto last = m_summary.lastRow(m_table, m_key);
    if (!first || !last)
        return std::nullopt;
    return std::make_pair(xOf(*first), xOf(*last));
}

std::optional<double> TrendView::valueOf(std::size_t row) const
{
    return displayedNumber(m_table.at(row).Value);
}

std::vector<TrendPoint> TrendView::points(double x0, double x1, int columns) const
{
    std::vector<TrendPoint> points;
    if (!(x1 > x0) || columns < 1)
        return points;
    const std::size_t first = rowAtOrAfter(x0);
    const std::size_t end = rowAtOrAfter(std::nextafter(x1, HUGE_VAL));
    if (end - first <= 2 * static_cast<std::size_t>(columns)) {
        // Few enough to draw each record, and the one on either side so the line runs to the edges.
        std::size_t from = first, to = end;
        if (const auto before = m_summary.lastRow(m_table, m_key, first >= 4096 ? first - 4096 : 0, first))
            from = *before;
        if (const auto after = m_summary.firstRow(m_table, m_key, end, end + 4096))
            to = *after + 1;
        std::optional<std::size_t> previous;
        double previousGap = 0;
        for (std::size_t row = from; row < to; ++row) {
            if (!inSeries(row))
                continue;
            const ReadingRecord record = m_table.at(row);
            TrendPoint p;
            p.row = row;
            p.x = xOf(row);
            if (const auto value = displayedNumber(record.Value)) {
                p.min = p.max = *value;
                p.hasValue = true;
            } else {
                p.overload = isOverloadText(record.Value);
            }
            p.failed = isFailText(record.Auto);
            const double gap = previous ? p.x - points.back().x : 0;
            p.gapBefore = !previous || *previous + 1 != row || (previousGap > 0 && gap > pauseFactor * previousGap);
            previousGap = gap;
            previous = row;
            points.push_back(p);
        }
        return points;
    }
    // A point per pixel column: the minimum and maximum of its records, from the summary.
    const double width = (x1 - x0) / columns;
    std::size_t columnFirst = first;
    bool previousHad = false;
    for (int c = 0; c < columns; ++c) {
        const std::size_t columnEnd = c + 1 == columns ? end : rowAtOrAfter(x0 + (c + 1) * width);
        const TrendExtent extent = m_summary.extent(m_table, m_key, columnFirst, columnEnd);
        if (extent.any || extent.overload) {
            TrendPoint p;
            p.row = columnFirst;
            p.x = x0 + (c + 0.5) * width;
            p.hasValue = extent.any;
            p.min = extent.min;
            p.max = extent.max;
            p.failed = extent.failed;
            p.overload = extent.overload;
            p.gapBefore = !previousHad;
            points.push_back(p);
            previousHad = extent.any;
        } else {
            previousHad = false;
        }
        columnFirst = columnEnd;
    }
    return points;
}

std::optional<std::size_t> TrendView::nearestRow(double x) const
{
    const std::size_t at = rowAtOrAfter(x);
    const auto after = m_summary.firstRow(m_table, m_key, at);
    const auto before = at > 0 ? m_summary.lastRow(m_table, m_key, 0, at) : std::nullopt;
    if (!after)
        return before;
    if (!before)
        return after;
    return x - xOf(*before) <= xOf(*after) - x ? before : after;
}

std::optional<std::pair<double, double>> TrendFollow::recordsAdded(double lower, double upper, double newest) const
{
    if (!m_following || newest <= upper)
        return std::nullopt;
    // The same width, its right edge at the newest record.
    return std::make_pair(newest - (upper - lower), newest);
}

} // namespace tolmar
