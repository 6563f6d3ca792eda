#include "chart/qt/ChartPage.h"

#include <QFontMetrics>
#include <QString>

#include <algorithm>
#include <cmath>

namespace tolmar {

double labelStep(double span, double finest, double room, double labelSize)
{
    const double labels = std::clamp(room / std::max(labelSize, 1.0), 2.0, 10.0);
    const double raw = span / labels;
    if (!(raw > finest))
        return finest;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0})
        if (factor * magnitude >= raw)
            return factor * magnitude;
    return 10 * magnitude;
}

AxisScale axisScale(double minimum, double maximum, double finest, double room, const QFont &labelsFont,
                    Qt::Orientation orientation)
{
    AxisScale scale;
    scale.minimum = minimum;
    // Neither library can show an empty range (the store starts at 0..0).
    scale.maximum = maximum > minimum ? maximum : minimum + 1;
    const QFontMetrics metrics(labelsFont);
    const double widest = std::max(std::abs(scale.minimum), std::abs(scale.maximum));
    const double labelSize = orientation == Qt::Horizontal
        ? metrics.horizontalAdvance(QString::number(-widest, 'f', finest < 1 ? 1 : 0)) + 2.0 * metrics.averageCharWidth()
        : 2.0 * metrics.height();
    scale.step = labelStep(scale.maximum - scale.minimum, finest, room, labelSize);
    scale.decimals = scale.step < 1 ? 1 : 0;
    return scale;
}

QList<QPointF> pagePoints(const PointStore &store, int series, double minimum, double maximum, int columns)
{
    QList<QPointF> points;
    const std::int64_t count = store.count(series);
    if (count == 0 || !(maximum >= minimum))
        return points;
    const std::int64_t first = std::max<std::int64_t>(0, static_cast<std::int64_t>(std::ceil(minimum)));
    const std::int64_t last = std::min<std::int64_t>(count - 1, static_cast<std::int64_t>(std::floor(maximum)));
    if (last < first)
        return points;
    const std::int64_t inView = last - first + 1;

    if (columns < 1 || inView <= columns) {
        points.reserve(inView);
        for (std::int64_t p = first; p <= last; ++p)
            points.append(QPointF(static_cast<double>(p), store.value(series, p)));
        return points;
    }

    // More points than columns: per column its lowest and highest point, in
    // the order they were recorded, so the line keeps every peak.
    points.reserve(2 * columns);
    const double perPosition = columns / (maximum - minimum);
    const auto columnOf = [&](std::int64_t p) {
        return std::min(columns - 1, static_cast<int>((static_cast<double>(p) - minimum) * perPosition));
    };
    std::int64_t p = first;
    while (p <= last) {
        const int column = columnOf(p);
        std::int64_t low = p;
        std::int64_t high = p;
        float lowValue = store.value(series, p);
        float highValue = lowValue;
        for (++p; p <= last && columnOf(p) == column; ++p) {
            const float v = store.value(series, p);
            if (v < lowValue) {
                lowValue = v;
                low = p;
            } else if (v > highValue) {
                highValue = v;
                high = p;
            }
        }
        const std::int64_t firstOf = std::min(low, high);
        const std::int64_t secondOf = std::max(low, high);
        points.append(QPointF(static_cast<double>(firstOf), store.value(series, firstOf)));
        if (secondOf != firstOf)
            points.append(QPointF(static_cast<double>(secondOf), store.value(series, secondOf)));
    }
    return points;
}

} // namespace tolmar
