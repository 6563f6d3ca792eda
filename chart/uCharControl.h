#pragma once

#include <cstddef>
#include <cstdint>

namespace tolmar {

class ChartWidget;

// The chart pager: plots values one page of record positions at a time.
// The horizontal range is always PageSize wide; pages start at position 1
// (the first page is [1, PageSize]), so the placeholder point at position 0
// never shows. While the user has not moved back (Browsing false) each new
// value keeps the newest page in view.
//
// The page arithmetic keeps its long-standing quirks, which callers and users
// see: a page step moves the view only when a shown point lies beyond it (the
// counters change all the same), Clear keeps PageCount until the next
// AddValue or SetPageSize, and GoToPage ignores a repeat of the page number it
// was given last, not of the page in view.
class TChartControl {
public:
    // Create: a new pager on the chart, showing page 1 of 1.
    TChartControl(ChartWidget &chart, int pageSize);
    TChartControl(const TChartControl &) = delete;
    TChartControl &operator=(const TChartControl &) = delete;

    void AddValue(double value);
    // Many values at once, as if added one by one (a restored session).
    void AddValues(const double *values, std::size_t count);
    void FirstPage();
    void PreviousPage();
    void NextPage();
    void LastPage();
    void GoToPage(int page);
    // Page sizes below 1 are ignored: a page needs at least one position.
    void SetPageSize(int pageSize);
    void Clear();
    void SetMaxValue(double value);
    void SetMinValue(double value);

    ChartWidget &chart() const { return Chart; }
    int currentPage() const { return CurrentPage; }
    int pageSize() const { return PageSize; }
    int pageCount() const { return PageCount; }
    bool browsing() const { return Browsing; }
    double maxValue() const { return MaxValue; }
    double minValue() const { return MinValue; }

private:
    void recountPages();
    void stepsForward(std::int64_t steps);
    void stepsBack(std::int64_t steps);

    ChartWidget &Chart;
    std::int32_t CurrentPage = 0;
    std::int32_t PageSize = 0;
    std::int32_t PageCount = 0;
    bool Browsing = false;
    double MaxValue = 0;
    double MinValue = 0;
    std::int32_t RequestedPage = 0;
};

} // namespace tolmar
