#pragma once

#include "chart/PointStore.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>

namespace tolmar {

// What the chart Chart1 draws, whichever library draws it: the points of a
// page and the steps of the axes' labels.

// A colour of the store as Qt's.
inline QColor colourOf(ChartColour rgb)
{
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The points a series of the store draws for the horizontal range
// [minimum, maximum] on `columns` pixel columns. When the page has more
// points than the plot has pixel columns, each column is drawn from the
// smallest and the largest value that falls into it, which draws the same
// picture at a fraction of the cost.
QList<QPointF> pagePoints(const PointStore &store, int series, double minimum, double maximum, int columns);

// Label steps of 1, 2 or 5 times a power of ten, never finer than `finest`
// (whole record numbers; a tenth of a value unit), with room for each label:
// `room` is the axis length and `labelSize` the space one label needs.
double labelStep(double span, double finest, double room, double labelSize);

// An axis as it is to be shown: its range, the step between its labels and
// the decimals they are written with.
struct AxisScale {
    double minimum = 0;
    double maximum = 1;
    double step = 1;
    int decimals = 0;
};

// The scale of an axis over [minimum, maximum] (an empty range, as the
// store's 0..0 at start, becomes one unit wide) for labels in `labelsFont`
// on an axis `room` pixels long: horizontal labels need their width,
// vertical ones their height.
AxisScale axisScale(double minimum, double maximum, double finest, double room, const QFont &labelsFont,
                    Qt::Orientation orientation);

} // namespace tolmar
