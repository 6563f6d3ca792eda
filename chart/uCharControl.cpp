#include "chart/uCharControl.h"

#include "platform/ChartWidget.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace tolmar {

namespace {
const std::string noLabel;

// Sets the horizontal range to [minimum, maximum] whatever range it had: the
// widget refuses a minimum above its current maximum, which happens when the
// view was moved below position 1 (after a Clear the first value sits at 0).
void setHorizontalRange(ChartWidget &chart, double minimum, double maximum)
{
    if (chart.setHorizontalMinimum(minimum)) {
        chart.setHorizontalMaximum(maximum);
    } else {
        chart.setHorizontalMaximum(maximum);
        chart.setHorizontalMinimum(minimum);
    }
}
} // namespace

TChartControl::TChartControl(ChartWidget &chart, int pageSize) : Chart(chart)
{
    // PageSize is still 0, so this always runs through.
    SetPageSize(pageSize);
    Chart.setHorizontalAutomatic(false);
    setHorizontalRange(Chart, 1, PageSize);
    PageCount = 1;
    CurrentPage = 1;
}

void TChartControl::recountPages()
{
    // Series1 decides, its placeholder point included.
    const std::int64_t points = Chart.count(0);
    if (PageSize < 1)
        return;
    const std::int64_t pages = points / PageSize + (points % PageSize > 0 ? 1 : 0);
    PageCount = static_cast<std::int32_t>(std::min<std::int64_t>(pages, std::numeric_limits<std::int32_t>::max()));
}

// A page step forward moves the range by PageSize only while a shown point
// lies beyond its maximum. Points do not move during a multi-page move, so
// the steps that move are the first ceil(beyond / PageSize) of them: one
// shift does what step-by-step testing would.
void TChartControl::stepsForward(std::int64_t steps)
{
    if (steps <= 0 || PageSize < 1)
        return;
    const auto largest = Chart.largestShownPosition();
    if (!largest)
        return;
    const double beyond = *largest - Chart.horizontalMaximum();
    if (beyond <= 0)
        return;
    const auto moving = std::min<std::int64_t>(steps, static_cast<std::int64_t>(std::ceil(beyond / PageSize)));
    Chart.shiftHorizontal(static_cast<double>(moving) * PageSize);
}

void TChartControl::stepsBack(std::int64_t steps)
{
    if (steps <= 0 || PageSize < 1)
        return;
    const auto smallest = Chart.smallestShownPosition();
    if (!smallest)
        return;
    const double before = Chart.horizontalMinimum() - *smallest;
    if (before <= 0)
        return;
    const auto moving = std::min<std::int64_t>(steps, static_cast<std::int64_t>(std::ceil(before / PageSize)));
    Chart.shiftHorizontal(-static_cast<double>(moving) * PageSize);
}

void TChartControl::AddValue(double value)
{
    // Hidden series too, so switching the fill mode shows the same history.
    for (int series = 0; series < Chart.seriesCount(); ++series)
        Chart.append(series, value, noLabel, chartBlue);
    recountPages();
    if (!Browsing) {
        // Values come one at a time, so one step keeps up with the newest.
        stepsForward(1);
        CurrentPage = PageCount;
    }
}

void TChartControl::AddValues(const double *values, std::size_t count)
{
    if (count == 0)
        return;
    for (std::size_t i = 0; i < count; ++i)
        for (int series = 0; series < Chart.seriesCount(); ++series)
            Chart.append(series, values[i], noLabel, chartBlue);
    recountPages();
    if (!Browsing) {
        // One step per value, as AddValue takes them: the newest is in view.
        stepsForward(static_cast<std::int64_t>(count));
        CurrentPage = PageCount;
    }
}

void TChartControl::FirstPage()
{
    if (PageCount < 2 || CurrentPage == 1)
        return;
    stepsBack(std::int64_t{CurrentPage} - 1);
    CurrentPage = 1;
    Browsing = true;
}

void TChartControl::PreviousPage()
{
    if (CurrentPage < 2)
        return;
    stepsBack(1);
    --CurrentPage;
    Browsing = true;
}

void TChartControl::NextPage()
{
    if (PageCount < 2 || CurrentPage == PageCount)
        return;
    stepsForward(1);
    ++CurrentPage;
    Browsing = CurrentPage != PageCount;
}

void TChartControl::LastPage()
{
    if (PageCount < 2 || CurrentPage == PageCount)
        return;
    stepsForward(std::int64_t{PageCount} - CurrentPage);
    CurrentPage = PageCount;
    Browsing = false;
}

void TChartControl::GoToPage(int page)
{
    // Compared with the last request, not with the page in view.
    if (page == RequestedPage)
        return;
    RequestedPage = page;
    if (page == CurrentPage || PageCount < 2 || page > PageCount || page < 1)
        return;
    if (page > CurrentPage)
        stepsForward(std::int64_t{page} - CurrentPage);
    else
        stepsBack(std::int64_t{CurrentPage} - page);
    CurrentPage = page;
    Browsing = page != PageCount;
}

void TChartControl::SetPageSize(int pageSize)
{
    if (pageSize == PageSize || pageSize < 1)
        return;
    PageSize = pageSize;
    setHorizontalRange(Chart, 1, PageSize);
    recountPages();
    stepsForward(std::int64_t{PageCount} - 1);
    CurrentPage = PageCount;
    Browsing = false;
}

void TChartControl::Clear()
{
    FirstPage();
    for (int series = 0; series < Chart.seriesCount(); ++series)
        Chart.clear(series);
    Browsing = false;
}

void TChartControl::SetMaxValue(double value)
{
    if (value == MaxValue)
        return;
    MaxValue = value;
    Chart.setVerticalMaximum(value);
}

void TChartControl::SetMinValue(double value)
{
    if (value == MinValue)
        return;
    MinValue = value;
    Chart.setVerticalMinimum(value);
}

} // namespace tolmar
