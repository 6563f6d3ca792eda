#pragma once

#include "platform/ChartWidget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tolmar {

// Told after every change of a PointStore, and once when it goes away.
class ChartObserver {
public:
    virtual void chartChanged() = 0;
    virtual void chartDestroyed() = 0;

protected:
    ~ChartObserver() = default;
};

// The chart's data in the core: every point of every series, the axis ranges
// and which series are shown. A Qt view draws the page in view from it.
//
// A "limitless" recording reaches ten million points per series, so a point
// costs 4 bytes: positions are implicit, values are floats (the meter shows
// at most four digits, well inside a float's seven), and labels and colours
// are kept as runs, because consecutive points nearly always share them.
// Values live in fixed blocks, so an append never copies earlier points.
class PointStore final : public ChartWidget {
public:
    explicit PointStore(int seriesCount = 2);
    ~PointStore() override;
    PointStore(const PointStore &) = delete;
    PointStore &operator=(const PointStore &) = delete;

    // One observer at a time (the view); nullptr detaches.
    void setObserver(ChartObserver *observer) { m_observer = observer; }

    int seriesCount() const override { return static_cast<int>(m_series.size()); }
    void append(int series, double value, const std::string &label, ChartColour colour) override;
    std::int64_t count(int series) const override;
    void clear(int series) override;
    void setSeriesVisible(int series, bool visible) override;
    bool seriesVisible(int series) const override;

    bool setHorizontalMinimum(double value) override;
    bool setHorizontalMaximum(double value) override;
    void setHorizontalAutomatic(bool automatic) override;
    double horizontalMinimum() const override;
    double horizontalMaximum() const override;
    void shiftHorizontal(double offset) override;
    bool horizontalAutomatic() const { return m_horizontalAutomatic; }

    bool setVerticalMinimum(double value) override;
    bool setVerticalMaximum(double value) override;
    double verticalMinimum() const override { return m_verticalMin; }
    double verticalMaximum() const override { return m_verticalMax; }

    std::optional<double> largestShownPosition() const override;
    std::optional<double> smallestShownPosition() const override;

    // The point at a position (0 <= position < count(series)).
    float value(int series, std::int64_t position) const;
    const std::string &label(int series, std::int64_t position) const;
    ChartColour colour(int series, std::int64_t position) const;

    // Heap bytes held for points, labels and colours.
    std::size_t bytesUsed() const;

private:
    static constexpr int blockShift = 16; // 65,536 values (256 KiB) per block
    static constexpr std::int64_t blockSize = std::int64_t{1} << blockShift;

    // Consecutive points from `first` on share a label and a colour.
    struct Run {
        std::int64_t first;
        std::string label;
        ChartColour colour;
    };
    struct Series {
        std::vector<std::unique_ptr<float[]>> blocks;
        std::int64_t count = 0;
        std::vector<Run> runs;
        bool visible = true;
    };

    const Series *find(int series) const;
    Series *find(int series);
    const Run &runAt(const Series &s, std::int64_t position) const;
    void changed();

    std::vector<Series> m_series;
    double m_horizontalMin = 0;
    double m_horizontalMax = 0;
    bool m_horizontalAutomatic = true;
    double m_verticalMin = 0;
    double m_verticalMax = 0;
    ChartObserver *m_observer = nullptr;
};

} // namespace tolmar
