#include "meter/FrameBuilder.h"
#include "meter/FrameDecoder.h"
#include "meter/LcdDisplay.h"
#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace tolmar {
namespace {

using L = LcdState;
using test::sampleFrame;
using test::shortFrame;

// Records every call of the display update beyond the LCD, in order.
struct RecordingPeers : LcdDisplayPeers {
    void resetLinkTickDivider() override { calls.push_back("tick0"); }
    void SetMaxValue(int v) override { calls.push_back("max" + std::to_string(v)); }
    void SetMinValue(int v) override { calls.push_back("min" + std::to_string(v)); }
    bool JudgeReading() override
    {
        calls.push_back("judge");
        t1value = reading->ValueText;
        return judgeOk;
    }
    std::string T1VALUE() const override { return t1value; }
    void showWaveformValue(const std::string &value, const std::string &unit) override
    {
        calls.push_back("edit1 " + value + "|" + unit);
    }
    void showPageControls() override { calls.push_back("pages"); }
    void INDataToTable() override { calls.push_back("table"); }
    void INDataToTable1() override { calls.push_back("table1"); }
    void showWaveformPage(const std::array<int, MeterReading::waveformLength> &samples) override
    {
        calls.push_back("waveform " + std::to_string(samples[0]));
    }

    const MeterReading *reading = nullptr;
    std::string t1value = "0";
    bool judgeOk = true;
    std::vector<std::string> calls;
};

struct Display {
    MeterReading reading;
    LcdState lcd;
    FixedLocale locale{"."};
    RecordingPeers peers;
    Display() { peers.reading = &reading; }
    std::optional<DecodeError> run(const std::string &frame)
    {
        peers.calls.clear();
        return LcdDisplay(reading, lcd, locale, peers).run(frame);
    }
    // The labels shown among those that depend on the reading.
    std::set<L::Label> shownUnits() const
    {
        std::set<L::Label> shown;
        for (const L::Label label : {L::LcdFH, L::LcdAuto, L::LCDRec, L::LCDBF, L::LcdAC, L::LcdDc1, L::LCDDI,
                                     L::LCDFm, L::LCDk, L::LCDM1, L::LCDHz, L::LCDohm, L::LCDu, L::Lcdm, L::LCDn,
                                     L::LcdV, L::LCDA, L::LCDF})
            if (lcd[label].visible)
                shown.insert(label);
        return shown;
    }
    std::string digits() const
    {
        return lcd[L::LcdD0].caption + lcd[L::LcdDa].caption + lcd[L::LcdDb].caption + lcd[L::LcdDc].caption;
    }
};

TEST(LcdDisplay, TheSampleFrame)
{
    Display d;
    ASSERT_FALSE(d.run(sampleFrame));
    EXPECT_EQ(d.digits(), "0066");
    EXPECT_EQ(d.lcd.dots, (std::array<bool, 3>{false, true, false}));
    EXPECT_EQ(d.shownUnits(), (std::set<L::Label>{L::LcdV, L::LcdDc1}));
    EXPECT_EQ(d.lcd.barMaximum, 40);
    EXPECT_EQ(d.lcd.barPosition, 0);
    EXPECT_EQ(d.peers.calls, (std::vector<std::string>{"tick0", "max40", "min-40", "judge", "pages", "table1"}));
    EXPECT_EQ(d.peers.t1value, "00.66");
}

struct ElementCase {
    const char *name;
    std::string frame;
    std::string digits;
    std::array<bool, 3> dots;
    std::set<L::Label> shown;
    int barMaximum;
    int barPosition;
};

void PrintTo(const ElementCase &c, std::ostream *os) { *os << c.name; }

const ElementCase elementCases[] = {
    {"V AC negative", shortFrame('0', '2', "-1.234 "), "1234", {true, false, false}, {L::LcdFH, L::LcdV, L::LcdAC}, 4, 1},
    {"mV DC", shortFrame('0', '0', " 123.4m"), "1234", {false, false, true}, {L::LcdV, L::LcdDc1, L::Lcdm}, 400, 123},
    {"uA from prefix A", shortFrame('1', '0', " 12.34A"), "1234", {false, true, false}, {L::LCDA, L::LCDu, L::LcdDc1}, 40, 12},
    {"u prefix current", shortFrame('1', '1', " 12.34u"), "1234", {false, true, false}, {L::LCDA, L::LCDu, L::LcdAC}, 40, 12},
    {"10 A range", shortFrame('1', '0', " 09.99 "), "0999", {false, true, false}, {L::LCDA, L::LcdDc1}, 10, 9},
    {"frequency always AUTO", shortFrame('2', '0', " 2.013k"), "2013", {true, false, false}, {L::LCDHz, L::LcdAuto, L::LCDk}, 10, 2},
    {"duty: DUTY, no Hz", shortFrame('2', '1', " 50.00 "), "5000", {false, true, false}, {L::LCDBF, L::LcdAuto}, 40, 50},
    {"capacitance nF", shortFrame('3', '0', " 0047 n"), "0047", {false, false, false}, {L::LCDF, L::LcdAuto, L::LCDn}, 100, 47},
    {"ohm k with AUTO flag", shortFrame('4', '0', " 10.00k", 1), "1000", {false, true, false}, {L::LCDohm, L::LCDk, L::LcdAuto}, 40, 10},
    {"ohm K upper case", shortFrame('4', '0', " 1.000K"), "1000", {true, false, false}, {L::LCDohm, L::LCDk}, 4, 1},
    {"second resistance symbol M", shortFrame('5', '0', " 1.000M"), "1000", {true, false, false}, {L::LCDohm, L::LCDFm, L::LCDM1}, 4, 1},
    {"diode", shortFrame('6', '0', " 0.512 "), "0512", {true, false, false}, {L::LCDDI, L::LcdV}, 4, 0},
    {"overload: L segment, full bar", shortFrame('4', '0', "  0L  M"), " 0@ ", {false, false, false}, {L::LCDohm, L::LCDM1}, 1000, 1000},
    {"negative overload", shortFrame('0', '0', "- 0L   "), " 0@ ", {false, false, false}, {L::LcdFH, L::LcdV, L::LcdDc1}, 1000, 1000},
    {"@0 hides the third dot", shortFrame('0', '0', " 1L0.5 "), "1@05", {false, false, false}, {L::LcdV, L::LcdDc1}, 400, 0},
    {"record flag", shortFrame('9', '0', " 1234 ", 0, 1), "1234", {false, false, false}, {L::LCDRec}, 40, 1234},
};

class LcdElements : public ::testing::TestWithParam<ElementCase> {};

TEST_P(LcdElements, ShowTheReading)
{
    const ElementCase &c = GetParam();
    Display d;
    const auto error = d.run(c.frame);
    if (c.digits == "1@05") {
        // The count "1@05" is no number: the update stops before the judge,
        // with the dots already final.
        ASSERT_TRUE(error);
        EXPECT_EQ(error->step, 13);
    } else {
        ASSERT_FALSE(error) << error->what;
        EXPECT_EQ(d.lcd.barPosition, c.barPosition);
    }
    EXPECT_EQ(d.digits(), c.digits);
    EXPECT_EQ(d.lcd.dots, c.dots);
    EXPECT_EQ(d.shownUnits(), c.shown);
    EXPECT_EQ(d.lcd.barMaximum, c.barMaximum);
}

INSTANTIATE_TEST_SUITE_P(Readings, LcdElements, ::testing::ValuesIn(elementCases), [](const auto &info) {
    std::string name;
    for (const char ch : std::string(info.param.name))
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
});

TEST(LcdDisplay, RangeModeTextStaysEmptyWhenFrequencyForcesAuto)
{
    Display d;
    ASSERT_FALSE(d.run(shortFrame('2', '0', " 2.013k")));
    EXPECT_TRUE(d.lcd[L::LcdAuto].visible);
    EXPECT_EQ(d.reading.RangeModeText, "");
}

TEST(LcdDisplay, LongFrameShowsTheWaveformAndTheFixedChartRange)
{
    Display d;
    const std::string frame = test::longFrame(shortFrame('4', '0', " 10.00k"), 0x02, [](int) { return "0503"; });
    ASSERT_FALSE(d.run(frame));
    EXPECT_EQ(d.lcd.barMaximum, 40);
    EXPECT_EQ(d.peers.calls, (std::vector<std::string>{"tick0", "max60", "min-60", "judge", "edit1 10.00|k*",
                                                       "table", "waveform 7"}));
    // The next short frame moves the chart back only through its full-scale rule.
    ASSERT_FALSE(d.run(shortFrame('2', '0', " 50.00 ")));
    EXPECT_EQ(d.peers.calls, (std::vector<std::string>{"tick0", "judge", "pages", "table1"}));
    ASSERT_FALSE(d.run(sampleFrame));
    EXPECT_EQ(d.peers.calls[1], "max40");
}

TEST(LcdDisplay, LongFrameWithAFunctionThatSelectsNothingStillSetsTheWaveformRange)
{
    Display d;
    const std::string frame = test::longFrame(shortFrame('8', '0', " 1234 "), 0, [](int) { return "0000"; });
    ASSERT_FALSE(d.run(frame));
    EXPECT_EQ(d.peers.calls[1], "max60");
    EXPECT_EQ(d.peers.calls[2], "min-60");
}

TEST(LcdDisplay, TwoFramesInARowAlternateTheActivityLamp)
{
    Display d;
    EXPECT_FALSE(d.lcd.CONok);
    EXPECT_TRUE(d.lcd.CONokN);
    ASSERT_FALSE(d.run(sampleFrame));
    EXPECT_FALSE(d.lcd.CONok);
    EXPECT_TRUE(d.lcd.CONokN);
    ASSERT_FALSE(d.run(sampleFrame));
    EXPECT_TRUE(d.lcd.CONok);
    EXPECT_FALSE(d.lcd.CONokN);
    ASSERT_FALSE(d.run(sampleFrame));
    EXPECT_FALSE(d.lcd.CONok);
}

TEST(LcdDisplay, AFailureStopsTheUpdateAtItsStep)
{
    Display d;
    ASSERT_FALSE(d.run(shortFrame('0', '0', "-1.234 "))); // minus shown, phase toggled once
    const bool phase = d.lcd.ActivityPhase;
    std::string badSign = shortFrame('4', '0', " 10.00k");
    badSign.replace(42, 2, "ZZ");
    const auto error = d.run(badSign);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->step, 6);
    EXPECT_EQ(d.reading.Digit0 + d.reading.DigitA + d.reading.DigitB + d.reading.DigitC, "1000")
        << "the digits are placed before the sign";
    EXPECT_EQ(d.lcd.dots, (std::array<bool, 3>{false, true, false})) << "and their dot shown";
    EXPECT_EQ(d.digits(), "1234") << "their captions come after the sign";
    EXPECT_TRUE(d.lcd[L::LcdFH].visible) << "the sign is not reached";
    EXPECT_TRUE(d.lcd[L::LcdV].visible) << "the unit is not reached";
    EXPECT_TRUE(d.lcd.CONok) << "the lamp was lit at the start";
    EXPECT_EQ(d.lcd.ActivityPhase, phase);
    EXPECT_EQ(d.peers.calls, (std::vector<std::string>{"tick0"}));
}

TEST(LcdDisplay, ABarValueThatIsNoNumberStopsBeforeTheTable)
{
    // A diode reading with its point moved holds both a separator and a point.
    Display d;
    d.locale.separator = ",";
    const auto error = d.run(shortFrame('6', '0', " 05.12 "));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->step, 15);
    EXPECT_EQ(d.peers.t1value, "0,5.12");
    EXPECT_EQ(d.peers.calls, (std::vector<std::string>{"tick0", "max40", "min-40", "judge"}));
}

TEST(LcdDisplay, BarPositionUsesTheUsersSeparator)
{
    Display d;
    d.locale.separator = ",";
    ASSERT_FALSE(d.run(shortFrame('0', '0', "-123.4 ")));
    EXPECT_EQ(d.peers.t1value, "-123,4");
    EXPECT_EQ(d.lcd.barPosition, 123);
}

TEST(LcdDisplay, AJudgeFailureStopsTheUpdate)
{
    Display d;
    d.peers.judgeOk = false;
    ASSERT_TRUE(d.run(sampleFrame));
    EXPECT_EQ(d.peers.calls.back(), "judge");
    EXPECT_FALSE(d.lcd.ActivityPhase);
}

} // namespace
} // namespace tolmar
