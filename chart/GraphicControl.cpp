#include "chart/GraphicControl.h"

#include "platform/ChartWidget.h"
#include "platform/NumberText.h"
#include "platform/Prompts.h"
#include "platform/Timers.h"

namespace tolmar {

bool isDigitOrBackspace(char32_t key)
{
    return (key >= U'0' && key <= U'9') || key == U'\b';
}

GraphicControl::GraphicControl(ChartWidget &Chart1, Timer &timerChange, Prompts &prompts)
    : m_chart(Chart1), m_timerChange(timerChange), m_prompts(prompts),
      m_pager(std::make_unique<TChartControl>(Chart1, startPageSize))
{
    m_state.GroupBox1 = normalGroupBox;
    m_state.Chart1 = normalChart;
    m_timerChange.setOnTimer([this] { timerChangeTimer(); });
}

GraphicControl::~GraphicControl()
{
    // The timer belongs to the main window and may outlive us.
    m_timerChange.setOnTimer(nullptr);
}

void GraphicControl::changed()
{
    if (onChanged)
        onChanged();
}

void GraphicControl::createChartPager()
{
    m_pager = std::make_unique<TChartControl>(m_chart, startPageSize);
    changed();
}

void GraphicControl::resetSeries()
{
    // Each series holds one point at position 0; pages start at 1, so it is
    // never in view, and the next value lands at position 1.
    for (int series = 0; series < m_chart.seriesCount(); ++series) {
        m_chart.clear(series);
        m_chart.append(series, 0, std::string(), chartBlue);
    }
    changed();
}

void GraphicControl::setStartVerticalRange()
{
    m_pager->SetMaxValue(40);
    m_pager->SetMinValue(-40);
    changed();
}

void GraphicControl::setFullScaleRange(int fullScale)
{
    // Maximum first: the chart refuses a minimum above its maximum.
    m_pager->SetMaxValue(fullScale);
    m_pager->SetMinValue(-fullScale);
    changed();
}

void GraphicControl::setWaveformRange()
{
    m_pager->SetMaxValue(60);
    m_pager->SetMinValue(-60);
    changed();
}

void GraphicControl::showPageControls()
{
    m_state.pageControlsVisible = true;
    m_state.Edit1Visible = false;
    m_state.Label6Visible = false;
    changed();
}

void GraphicControl::showWaveformValue(const std::string &valueText, const std::string &unitText)
{
    m_state.pageControlsVisible = false;
    m_state.Edit1Visible = true;
    m_state.Label6Visible = true;
    m_state.Edit1 = valueText;
    m_state.Label6 = unitText;
    changed();
}

void GraphicControl::startWaveformPage()
{
    // A fresh pager: 160 per page, page 1 of 1, MaxValue, MinValue and
    // RequestedPage back to 0. edtRange, LastRange and edtCurPage stay.
    m_pager = std::make_unique<TChartControl>(m_chart, startPageSize);
    resetSeries();
}

void GraphicControl::appendWaveformSample(double value)
{
    // Series1 only, past the pager: 160 samples fill positions 1..160, page 1.
    m_chart.append(0, value, waveformLabel, chartBlue);
}

void GraphicControl::recordValue(double value)
{
    m_pager->AddValue(value);
    showCurrentPage();
}

void GraphicControl::restoreValues(const std::vector<double> &values)
{
    m_pager->AddValues(values.data(), values.size());
    showCurrentPage();
}

void GraphicControl::clearChart()
{
    m_pager->Clear();
    changed();
}

void GraphicControl::showCurrentPage()
{
    m_state.edtCurPage = std::to_string(m_pager->currentPage());
    changed();
}

void GraphicControl::cbFillClick(bool checked)
{
    m_state.cbFillChecked = checked;
    ShowSeries(checked ? 1 : 0);
    changed();
}

void GraphicControl::ShowSeries(int index)
{
    // Checked: only the filled area Series2; unchecked: only the line Series1.
    for (int series = 0; series < m_chart.seriesCount(); ++series)
        m_chart.setSeriesVisible(series, false);
    m_chart.setSeriesVisible(index, true);
}

bool GraphicControl::edtRangeKeyPress(char32_t key) const
{
    return isDigitOrBackspace(key);
}

void GraphicControl::edtRangeChange(const std::string &text)
{
    m_state.edtRange = text;
    // The new size takes effect one second after the last keystroke.
    m_timerChange.setEnabled(false);
    m_timerChange.setEnabled(true);
    changed();
}

void GraphicControl::timerChangeTimer()
{
    const auto range = parseInteger(m_state.edtRange);
    m_timerChange.setEnabled(false);
    if (range && *range >= smallestRange && *range <= largestRange) {
        m_pager->SetPageSize(*range);
        m_state.edtCurPage = std::to_string(m_pager->currentPage());
        m_state.LastRange = *range;
    } else {
        m_state.edtRange = std::to_string(m_state.LastRange);
    }
    changed();
}

void GraphicControl::btnFirstClick()
{
    m_pager->FirstPage();
    showCurrentPage();
}

void GraphicControl::btnPreviousClick()
{
    m_pager->PreviousPage();
    showCurrentPage();
}

void GraphicControl::btnNextClick()
{
    m_pager->NextPage();
    showCurrentPage();
}

void GraphicControl::btnLastClick()
{
    m_pager->LastPage();
    showCurrentPage();
}

bool GraphicControl::edtCurPageKeyPress(char32_t key) const
{
    return isDigitOrBackspace(key);
}

void GraphicControl::edtCurPageChange(const std::string &text)
{
    m_state.edtCurPage = text;
    m_state.edtCurPageSelStart = 0;
    m_state.edtCurPageSelLength = 0;
    if (!parseInteger(text)) {
        m_state.edtCurPage = std::to_string(m_pager->currentPage());
        m_state.edtCurPageSelLength = 1;
    }
    changed();
}

void GraphicControl::edtPageChange(const std::string &text)
{
    m_state.edtPage = text;
}

void GraphicControl::btnGoPageClick()
{
    const auto page = parseInteger(m_state.edtPage);
    if (!page) {
        m_prompts.show(PromptIcon::Error, "'" + m_state.edtPage + "' is not a valid integer value", PromptButtons::Ok);
        return;
    }
    m_pager->GoToPage(*page);
    showCurrentPage();
}

void GraphicControl::btnFlyClick()
{
    // The group box and the chart cover the other panels; nothing else moves.
    m_state.GroupBox1 = enlargedGroupBox;
    m_state.Chart1 = enlargedChart;
    m_state.btnflyVisible = false;
    m_state.btnChartZoomOutVisible = true;
    changed();
}

void GraphicControl::btnChartZoomOutClick()
{
    m_state.GroupBox1 = normalGroupBox;
    m_state.Chart1 = normalChart;
    m_state.btnflyVisible = true;
    m_state.btnChartZoomOutVisible = false;
    changed();
}

} // namespace tolmar
