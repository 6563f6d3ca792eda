#pragma once

#include "chart/uCharControl.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolmar {

class ChartWidget;
class Prompts;
class Timer;

// A control's place in the main window's client area.
struct ControlRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ControlRect &) const = default;
};

// What the group box "Graphic Control" and the chart's value box show.
struct GraphicControlState {
    bool cbFillChecked = true;
    std::string edtRange = "160";
    std::string edtCurPage = "1";
    // Selection in edtCurPage (start, length), set when a bad text is replaced.
    int edtCurPageSelStart = 0;
    int edtCurPageSelLength = 0;
    std::string edtPage = "1";

    // cbFill, edtRange, btnfirst, btnPrevious, edtCurPage, btnNext, btnLast,
    // Label7, edtPage and btnGoPage: hidden while a waveform is shown.
    bool pageControlsVisible = true;
    // The value box and unit label on the chart, shown with a waveform.
    bool Edit1Visible = false;
    std::string Edit1 = "0.00";
    bool Label6Visible = true;
    std::string Label6 = "mV";

    bool btnflyVisible = true;
    bool btnChartZoomOutVisible = false;
    ControlRect GroupBox1;
    ControlRect Chart1;

    // The last accepted points-per-page value.
    int LastRange = 160;
};

// The chart's controls and the calls that the start-up, the display update,
// the recording path and the table's clear make on the chart. It owns the
// pager ChartPager (replaced by a fresh one for each waveform) and runs
// timerChangeTimer on timerChange.
class GraphicControl {
public:
    static constexpr int startPageSize = 160;
    static constexpr int smallestRange = 10;
    static constexpr int largestRange = 10000;
    static constexpr const char *waveformLabel = "paper";
    static constexpr ControlRect normalGroupBox{352, 160, 513, 57};
    static constexpr ControlRect normalChart{352, 216, 513, 326};
    static constexpr ControlRect enlargedGroupBox{8, 5, 857, 68};
    static constexpr ControlRect enlargedChart{8, 72, 857, 470};

    // Texts and hints of the controls.
    static constexpr const char *GroupBox1Caption = "Graphic Control";
    static constexpr const char *cbFillCaption = "Fill";
    static constexpr const char *Label7Caption = "Page:";
    static constexpr const char *edtRangeHint = "Range";
    static constexpr const char *btnfirstHint = "First  page";
    static constexpr const char *btnPreviousHint = "Previous page";
    static constexpr const char *edtCurPageHint = "CurrentPage";
    static constexpr const char *btnNextHint = "Next page";
    static constexpr const char *btnLastHint = "Last page";
    static constexpr const char *btnNewHint = "clear  graphic";
    static constexpr const char *btnSaveHint = "Save graphic";
    static constexpr const char *edtPageHint = "Enter the page number to find really";
    static constexpr const char *btnGoPageHint = "Click, directly to the search page";
    static constexpr const char *btnflyHint = "Zoom +";
    static constexpr const char *btnChartZoomOutHint = "Zoom -";

    GraphicControl(ChartWidget &Chart1, Timer &timerChange, Prompts &prompts);
    ~GraphicControl();
    GraphicControl(const GraphicControl &) = delete;
    GraphicControl &operator=(const GraphicControl &) = delete;

    const GraphicControlState &state() const { return m_state; }
    TChartControl &ChartPager() { return *m_pager; }
    const TChartControl &ChartPager() const { return *m_pager; }
    ChartWidget &chart() { return m_chart; }
    // Called after every change of state(), so the window can paint it.
    std::function<void()> onChanged;

    // Start-up, in the main window's order: the pager with 160 points per
    // page, later the series reset, last the vertical range -40..+40.
    void createChartPager();
    void resetSeries();
    void setStartVerticalRange();

    // The display update. A short frame's full-scale rule sets the vertical
    // range to -fullScale..+fullScale; a long frame sets -60..+60.
    void setFullScaleRange(int fullScale);
    void setWaveformRange();
    // After a short frame: the page controls return, the value box goes.
    void showPageControls();
    // After a long frame: the page controls go, the value box shows the
    // reading's value and unit.
    void showWaveformValue(const std::string &valueText, const std::string &unitText);
    // A long frame's waveform: a fresh pager and the samples as page 1 on Series1.
    template <typename Samples>
    void buildWaveformPage(const Samples &samples)
    {
        startWaveformPage();
        for (const auto sample : samples)
            appendWaveformSample(static_cast<double>(sample));
        changed();
    }

    // The recording path: one value per considered reading.
    void recordValue(double value);
    // The values of a restored session, in one step.
    void restoreValues(const std::vector<double> &values);
    // ClearReadingTable: the pager's Clear; edtCurPage keeps its text.
    void clearChart();

    // Handlers of the group box's controls and of timerChange.
    void cbFillClick(bool checked);
    void ShowSeries(int index);
    bool edtRangeKeyPress(char32_t key) const; // true: the key goes through
    void edtRangeChange(const std::string &text);
    void timerChangeTimer();
    void btnFirstClick();
    void btnPreviousClick();
    void btnNextClick();
    void btnLastClick();
    bool edtCurPageKeyPress(char32_t key) const;
    void edtCurPageChange(const std::string &text);
    void edtPageChange(const std::string &text);
    void btnGoPageClick();
    void btnFlyClick();
    void btnChartZoomOutClick();

private:
    void startWaveformPage();
    void appendWaveformSample(double value);
    void showCurrentPage();
    void changed();

    ChartWidget &m_chart;
    Timer &m_timerChange;
    Prompts &m_prompts;
    std::unique_ptr<TChartControl> m_pager;
    GraphicControlState m_state;
};

// Digits and backspace: the key filter of the page and range edits.
bool isDigitOrBackspace(char32_t key);

} // namespace tolmar
