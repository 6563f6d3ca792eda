// The chart's controls on virtual time: points per page, page buttons, the
// waveform page, fill mode and the enlarged layout.
#include "chart/GraphicControl.h"
#include "chart/PointStore.h"
#include "platform/Prompts.h"
#include "platform/virtual/VirtualTime.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace tolmar {
namespace {

struct Controls {
    VirtualTime time;
    Timer timerChange{time, 1000, false};
    ScriptedPrompts prompts;
    PointStore Chart1;
    GraphicControl controls{Chart1, timerChange, prompts};
    int changes = 0;

    Controls()
    {
        controls.onChanged = [this] { ++changes; };
        controls.createChartPager();
        controls.resetSeries();
        controls.setStartVerticalRange();
    }
    void record(int count)
    {
        for (int i = 1; i <= count; ++i)
            controls.recordValue(i);
    }
    TChartControl &pager() { return controls.ChartPager(); }
    const GraphicControlState &state() const { return controls.state(); }
};

TEST(GraphicControl, StartUpState)
{
    Controls c;
    EXPECT_EQ(c.Chart1.count(0), 1); // the placeholder
    EXPECT_EQ(c.Chart1.count(1), 1);
    EXPECT_EQ(c.Chart1.verticalMinimum(), -40);
    EXPECT_EQ(c.Chart1.verticalMaximum(), 40);
    EXPECT_EQ(c.Chart1.horizontalMinimum(), 1);
    EXPECT_EQ(c.Chart1.horizontalMaximum(), 160);
    EXPECT_TRUE(c.Chart1.seriesVisible(0));
    EXPECT_TRUE(c.Chart1.seriesVisible(1));
    EXPECT_EQ(c.state().edtRange, "160");
    EXPECT_EQ(c.state().edtCurPage, "1");
    EXPECT_EQ(c.state().LastRange, 160);
    EXPECT_EQ(c.state().GroupBox1, GraphicControl::normalGroupBox);
    EXPECT_EQ(c.state().Chart1, GraphicControl::normalChart);
    EXPECT_FALSE(c.timerChange.enabled());
    EXPECT_GT(c.changes, 0);
}

TEST(GraphicControl, RangeTakesEffectOneSecondAfterTheLastKey)
{
    // Text typed, then whether it is accepted (else LastRange comes back).
    const struct { const char *text; bool accepted; } cases[] = {
        {"10", true}, {"10000", true}, {"500", true}, {"9", false},
        {"10001", false}, {"", false}, {"0", false}, {"99999999999", false},
    };
    for (const auto &k : cases) {
        Controls c;
        c.record(1000);
        c.controls.edtRangeChange(k.text);
        c.time.advance(999);
        EXPECT_EQ(c.pager().pageSize(), 160) << k.text;
        c.time.advance(1);
        EXPECT_FALSE(c.timerChange.enabled()) << k.text;
        if (k.accepted) {
            const int size = std::stoi(k.text);
            EXPECT_EQ(c.pager().pageSize(), size) << k.text;
            EXPECT_EQ(c.state().LastRange, size) << k.text;
            EXPECT_EQ(c.state().edtRange, k.text);
            EXPECT_EQ(c.state().edtCurPage, std::to_string(c.pager().pageCount())) << k.text;
        } else {
            EXPECT_EQ(c.pager().pageSize(), 160) << k.text;
            EXPECT_EQ(c.state().edtRange, "160") << k.text;
        }
    }
}

TEST(GraphicControl, EveryKeystrokeRestartsTheRangeTimer)
{
    Controls c;
    c.controls.edtRangeChange("3");
    c.time.advance(600);
    c.controls.edtRangeChange("30");
    c.time.advance(600);
    EXPECT_EQ(c.pager().pageSize(), 160);
    c.controls.edtRangeChange("300");
    c.time.advance(1000);
    EXPECT_EQ(c.pager().pageSize(), 300);

    // A bad value later brings back the last accepted one, not 160.
    c.controls.edtRangeChange("3000000");
    c.time.advance(1000);
    EXPECT_EQ(c.state().edtRange, "300");
    EXPECT_EQ(c.pager().pageSize(), 300);
}

TEST(GraphicControl, PageButtonsWriteTheCurrentPage)
{
    Controls c;
    c.record(700); // page 5 of 5
    EXPECT_EQ(c.state().edtCurPage, "5");
    c.controls.btnPreviousClick();
    EXPECT_EQ(c.state().edtCurPage, "4");
    c.controls.btnFirstClick();
    EXPECT_EQ(c.state().edtCurPage, "1");
    c.controls.btnNextClick();
    EXPECT_EQ(c.state().edtCurPage, "2");
    c.controls.btnLastClick();
    EXPECT_EQ(c.state().edtCurPage, "5");
    c.controls.edtPageChange("3");
    c.controls.btnGoPageClick();
    EXPECT_EQ(c.state().edtCurPage, "3");
    EXPECT_EQ(c.Chart1.horizontalMinimum(), 321);
    EXPECT_TRUE(c.prompts.shown.empty());
}

TEST(GraphicControl, GoToPageWithoutANumberSaysSo)
{
    for (const char *text : {"", "abc", "2.5", "3 "}) {
        Controls c;
        c.record(700);
        c.controls.btnFirstClick();
        c.controls.edtPageChange(text);
        c.controls.btnGoPageClick();
        ASSERT_EQ(c.prompts.shown.size(), 1u) << text;
        EXPECT_EQ(c.prompts.shown[0].text, std::string("'") + text + "' is not a valid integer value");
        EXPECT_EQ(c.prompts.shown[0].icon, PromptIcon::Error);
        EXPECT_EQ(c.state().edtCurPage, "1") << text;
        EXPECT_EQ(c.pager().currentPage(), 1) << text;
    }
}

TEST(GraphicControl, ClearLeavesThePageBoxUntilTheNextValue)
{
    Controls c;
    c.record(700);
    c.controls.clearChart();
    EXPECT_EQ(c.state().edtCurPage, "5");
    EXPECT_EQ(c.pager().currentPage(), 1);
    c.controls.recordValue(3);
    EXPECT_EQ(c.state().edtCurPage, "1");

    // The page size set on the empty chart shows page 0.
    Controls d;
    d.record(10);
    d.controls.clearChart();
    d.controls.edtRangeChange("200");
    d.time.advance(1000);
    EXPECT_EQ(d.state().edtCurPage, "0");
}

TEST(GraphicControl, WaveformIsAPageOfItsOwn)
{
    Controls c;
    c.controls.edtRangeChange("500");
    c.time.advance(1000);
    c.record(1200);
    c.controls.btnPreviousClick();
    c.controls.setFullScaleRange(4000);
    ASSERT_EQ(c.Chart1.verticalMaximum(), 4000);

    c.controls.setWaveformRange();
    c.controls.showWaveformValue("1.234", "mV");
    std::array<int, 160> samples{};
    for (int i = 0; i < 160; ++i)
        samples[static_cast<std::size_t>(i)] = i - 80;
    c.controls.buildWaveformPage(samples);

    EXPECT_EQ(c.Chart1.verticalMinimum(), -60);
    EXPECT_EQ(c.Chart1.verticalMaximum(), 60);
    EXPECT_EQ(c.Chart1.horizontalMinimum(), 1);
    EXPECT_EQ(c.Chart1.horizontalMaximum(), 160);
    ASSERT_EQ(c.Chart1.count(0), 161);
    EXPECT_EQ(c.Chart1.count(1), 1);
    EXPECT_EQ(c.Chart1.value(0, 1), -80);
    EXPECT_EQ(c.Chart1.value(0, 160), 79);
    EXPECT_EQ(c.Chart1.label(0, 1), "paper");
    EXPECT_EQ(c.Chart1.label(0, 160), "paper");
    EXPECT_EQ(c.Chart1.colour(0, 160), 0x0000FFu);
    // A fresh pager; the range box keeps its text.
    EXPECT_EQ(c.pager().pageSize(), 160);
    EXPECT_EQ(c.pager().pageCount(), 1);
    EXPECT_EQ(c.pager().currentPage(), 1);
    EXPECT_FALSE(c.pager().browsing());
    EXPECT_EQ(c.pager().maxValue(), 0);
    EXPECT_EQ(c.state().edtRange, "500");
    EXPECT_EQ(c.state().LastRange, 500);
    EXPECT_FALSE(c.state().pageControlsVisible);
    EXPECT_TRUE(c.state().Edit1Visible);
    EXPECT_EQ(c.state().Edit1, "1.234");
    EXPECT_EQ(c.state().Label6, "mV");

    // The next ordinary frame: page controls back, range from its full scale.
    c.controls.setFullScaleRange(40);
    c.controls.showPageControls();
    EXPECT_EQ(c.Chart1.verticalMaximum(), 40);
    EXPECT_EQ(c.Chart1.verticalMinimum(), -40);
    EXPECT_TRUE(c.state().pageControlsVisible);
    EXPECT_FALSE(c.state().Edit1Visible);
    EXPECT_FALSE(c.state().Label6Visible);
}

} // namespace
} // namespace tolmar
