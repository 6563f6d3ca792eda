#include "chart/PointStore.h"

#include <algorithm>

namespace tolmar {

PointStore::PointStore(int seriesCount) : m_series(static_cast<std::size_t>(std::max(seriesCount, 0))) {}

PointStore::~PointStore()
{
    if (m_observer)
        m_observer->chartDestroyed();
}

const PointStore::Series *PointStore::find(int series) const
{
    if (series < 0 || series >= seriesCount())
        return nullptr;
    return &m_series[static_cast<std::size_t>(series)];
}

PointStore::Series *PointStore::find(int series)
{
    return const_cast<Series *>(static_cast<const PointStore *>(this)->find(series));
}

void PointStore::changed()
{
    if (m_observer)
        m_observer->chartChanged();
}

void PointStore::append(int series, double value, const std::string &label, ChartColour colour)
{
    Series *s = find(series);
    if (!s)
        return;
    const auto offset = static_cast<std::size_t>(s->count & (blockSize - 1));
    if (offset == 0 && static_cast<std::size_t>(s->count >> blockShift) == s->blocks.size())
        s->blocks.push_back(std::make_unique_for_overwrite<float[]>(blockSize));
    s->blocks[static_cast<std::size_t>(s->count >> blockShift)][offset] = static_cast<float>(value);
    if (s->runs.empty() || s->runs.back().colour != colour || s->runs.back().label != label)
        s->runs.push_back({s->count, label, colour});
    ++s->count;
    changed();
}

std::int64_t PointStore::count(int series) const
{
    const Series *s = find(series);
    return s ? s->count : 0;
}

void PointStore::clear(int series)
{
    Series *s = find(series);
    if (!s)
        return;
    // Give the memory back: a cleared ten-million-point series is 40 MB.
    std::vector<std::unique_ptr<float[]>>().swap(s->blocks);
    std::vector<Run>().swap(s->runs);
    s->count = 0;
    changed();
}

void PointStore::setSeriesVisible(int series, bool visible)
{
    Series *s = find(series);
    if (!s || s->visible == visible)
        return;
    s->visible = visible;
    changed();
}

bool PointStore::seriesVisible(int series) const
{
    const Series *s = find(series);
    return s && s->visible;
}

bool PointStore::setHorizontalMinimum(double value)
{
    if (value > m_horizontalMax)
        return false;
    m_horizontalMin = value;
    changed();
    return true;
}

bool PointStore::setHorizontalMaximum(double value)
{
    if (value < m_horizontalMin)
        return false;
    m_horizontalMax = value;
    changed();
    return true;
}

void PointStore::setHorizontalAutomatic(bool automatic)
{
    if (automatic == m_horizontalAutomatic)
        return;
    m_horizontalAutomatic = automatic;
    changed();
}

double PointStore::horizontalMinimum() const
{
    if (m_horizontalAutomatic)
        if (const auto smallest = smallestShownPosition())
            return *smallest;
    return m_horizontalMin;
}

double PointStore::horizontalMaximum() const
{
    if (m_horizontalAutomatic)
        if (const auto largest = largestShownPosition())
            return *largest;
    return m_horizontalMax;
}

void PointStore::shiftHorizontal(double offset)
{
    if (offset == 0)
        return;
    m_horizontalMin += offset;
    m_horizontalMax += offset;
    changed();
}

bool PointStore::setVerticalMinimum(double value)
{
    if (value > m_verticalMax)
        return false;
    m_verticalMin = value;
    changed();
    return true;
}

bool PointStore::setVerticalMaximum(double value)
{
    if (value < m_verticalMin)
        return false;
    m_verticalMax = value;
    changed();
    return true;
}

std::optional<double> PointStore::largestShownPosition() const
{
    // Positions run 0..count-1, so the longest shown series ends furthest.
    std::int64_t longest = 0;
    for (const Series &s : m_series)
        if (s.visible)
            longest = std::max(longest, s.count);
    if (longest == 0)
        return std::nullopt;
    return static_cast<double>(longest - 1);
}

std::optional<double> PointStore::smallestShownPosition() const
{
    for (const Series &s : m_series)
        if (s.visible && s.count > 0)
            return 0.0;
    return std::nullopt;
}

float PointStore::value(int series, std::int64_t position) const
{
    const Series *s = find(series);
    if (!s || position < 0 || position >= s->count)
        return 0.0f;
    return s->blocks[static_cast<std::size_t>(position >> blockShift)][position & (blockSize - 1)];
}

const PointStore::Run &PointStore::runAt(const Series &s, std::int64_t position) const
{
    // The last run starting at or before the position.
    const auto next = std::upper_bound(s.runs.begin(), s.runs.end(), position,
                                       [](std::int64_t p, const Run &run) { return p < run.first; });
    return *(next - 1);
}

const std::string &PointStore::label(int series, std::int64_t position) const
{
    static const std::string none;
    const Series *s = find(series);
    if (!s || position < 0 || position >= s->count)
        return none;
    return runAt(*s, position).label;
}

ChartColour PointStore::colour(int series, std::int64_t position) const
{
    const Series *s = find(series);
    if (!s || position < 0 || position >= s->count)
        return 0;
    return runAt(*s, position).colour;
}

std::size_t PointStore::bytesUsed() const
{
    std::size_t bytes = m_series.capacity() * sizeof(Series);
    for (const Series &s : m_series) {
        bytes += s.blocks.size() * static_cast<std::size_t>(blockSize) * sizeof(float);
        bytes += s.blocks.capacity() * sizeof(std::unique_ptr<float[]>);
        bytes += s.runs.capacity() * sizeof(Run);
        for (const Run &run : s.runs)
            if (run.label.capacity() > std::string().capacity())
                bytes += run.label.capacity() + 1;
    }
    return bytes;
}

} // namespace tolmar
