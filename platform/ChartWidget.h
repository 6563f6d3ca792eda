#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tolmar {

// A point colour as 0xRRGGBB.
using ChartColour = std::uint32_t;
inline constexpr ChartColour chartBlue = 0x0000FF;

// What the chart pager drives: a chart of series whose points carry a value,
// a label and a colour. A point's horizontal position is implicit: the number
// of points its series held before the append (0 for the first point). Both
// axes have ranges set by the program; the chart never rescales a manual axis.
//
// Range setters refuse a minimum above the current maximum and a maximum below
// the current minimum (they return false and change nothing), so a caller
// widening a range sets the far end first.
class ChartWidget {
public:
    virtual ~ChartWidget() = default;

    virtual int seriesCount() const = 0;
    // Out-of-range series indices are ignored (append, clear, visibility)
    // or read as an empty, hidden series.
    virtual void append(int series, double value, const std::string &label, ChartColour colour) = 0;
    virtual std::int64_t count(int series) const = 0;
    virtual void clear(int series) = 0;
    virtual void setSeriesVisible(int series, bool visible) = 0;
    virtual bool seriesVisible(int series) const = 0;

    // Horizontal axis: record positions.
    virtual bool setHorizontalMinimum(double value) = 0;
    virtual bool setHorizontalMaximum(double value) = 0;
    // While automatic, the axis spans the positions of the shown points.
    virtual void setHorizontalAutomatic(bool automatic) = 0;
    virtual double horizontalMinimum() const = 0;
    virtual double horizontalMaximum() const = 0;
    // Moves both ends of the horizontal range by offset.
    virtual void shiftHorizontal(double offset) = 0;

    // Vertical axis: values.
    virtual bool setVerticalMinimum(double value) = 0;
    virtual bool setVerticalMaximum(double value) = 0;
    virtual double verticalMinimum() const = 0;
    virtual double verticalMaximum() const = 0;

    // The largest and the smallest horizontal position among the points of
    // the shown series; nullopt while no shown series holds a point.
    virtual std::optional<double> largestShownPosition() const = 0;
    virtual std::optional<double> smallestShownPosition() const = 0;
};

} // namespace tolmar
