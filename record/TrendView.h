#pragma once

#include "record/TrendSummary.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tolmar {

// A point of the trend's line. Zoomed out, one per pixel column, from the
// minimum to the maximum of the records in it; zoomed in, one per record
// (min = max). A gap before it breaks the line: the meter showed another
// function between, or nothing was recorded for a while.
struct TrendPoint {
    double x = 0;
    double min = 0, max = 0;
    bool hasValue = false; // false: only an overload here
    bool failed = false;
    bool overload = false;
    bool gapBefore = false;
    std::size_t row = 0; // per record: its row; per column: the first row of the column
};

// What the trend window draws of one series of the table, from the summary:
// the table's rows against their date and time (seconds since 1970, UTC),
// or against their number (row + 1) when the series has no dates.
class TrendView {
public:
    TrendView(const ReadingTable &table, const TrendSummary &summary, std::uint16_t key);

    bool timeAxis() const { return m_timeAxis; }
    // The x of a row; a row without a date on a time axis takes its date run's neighbour's.
    double xOf(std::size_t row) const;
    // The first row whose x is at or after `x` (rows are in time order).
    std::size_t rowAtOrAfter(double x) const;
    // The x of the series' first and last record; nullopt when it has none.
    std::optional<std::pair<double, double>> span() const;
    // The line over [x0, x1] drawn `columns` pixels wide.
    std::vector<TrendPoint> points(double x0, double x1, int columns) const;
    // The record of the series nearest to x.
    std::optional<std::size_t> nearestRow(double x) const;
    // A record's value; nullopt for an overload or a text that is no number.
    std::optional<double> valueOf(std::size_t row) const;

private:
    bool inSeries(std::size_t row) const;
    std::size_t rows() const;

    const ReadingTable &m_table;
    const TrendSummary &m_summary;
    std::uint16_t m_key;
    bool m_timeAxis = false;
};

// When the view follows the newest record. At the right edge it follows;
// panned or zoomed back it holds still until brought to the edge again.
class TrendFollow {
public:
    bool following() const { return m_following; }
    // The user (or "show all") put the view at [lower, upper]; the newest record is at `newest`.
    void viewMoved(double upper, double newest) { m_following = upper >= newest; }
    // New records up to `newest`: the range to show, or nullopt to stay.
    std::optional<std::pair<double, double>> recordsAdded(double lower, double upper, double newest) const;

private:
    bool m_following = true;
};

} // namespace tolmar
