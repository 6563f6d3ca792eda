// The limit judge: pass and fail, the limit edits' guards and the order check.
#include "meter/MeterReading.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/virtual/VirtualTime.h"
#include "record/Judge.h"

#include <gtest/gtest.h>

#include <string>

namespace tolmar {
namespace {

struct Panel {
    explicit Panel(std::string separator = ".") : locale(std::move(separator)) {}
    VirtualTime time;
    Timer Timer4{time, 2000, false};
    ScriptedPrompts prompts;
    FixedLocale locale;
    Judge judge{Timer4, prompts, locale};
    MeterReading reading;

    std::string judgeValue(const std::string &valueText)
    {
        reading.ValueText = valueText;
        judge.JudgeReading(reading);
        return reading.JudgeText;
    }
};

TEST(Judge, ComparesTheDisplayedNumberWithInclusiveLimits)
{
    // Limits as typed, the value text, the user's separator, the result.
    const struct { const char *high, *low, *value, *separator, *result; } cases[] = {
        {"4000", "-4000", "-4000", ".", "pass"},
        {"4000", "-4000", "0.000", ".", "pass"},
        {"4000", "-4000", "4000", ".", "pass"},
        {"4000", "-4000", "4000.1", ".", "Fail"},
        {"4000", "-4000", "-4000.1", ".", "Fail"},
        {"4000", "-4000", "-0.66", ".", "pass"},
        {"4000", "-4000", " 0.L", ".", "Fail"}, // overload
        {"-4000", "-4000", "0L.0", ".", "Fail"},
        {"1000", "-4000", "1.500", ".", "pass"}, // 1.500 V
        {"1000", "-4000", "1500", ".", "Fail"},  // the same voltage in mV
        {"5", "5", "5", ".", "pass"},
        {"5", "5", "5.001", ".", "Fail"},
        {"1", "2", "1.5", ".", "Fail"}, // limits out of order: nothing passes
        {"1,5", "-1,5", "1,25", ",", "pass"},
        {"1,5", "-1,5", "1,75", ",", "Fail"},
        {"4000", "-4000", "1.25", ",", "Fail"}, // "." is no separator here
        {"1e3", "-1E3", "999", ".", "pass"},
    };
    for (const auto &k : cases) {
        Panel p(k.separator);
        p.judge.T1HIChange(k.high);
        p.judge.T1LOChange(k.low);
        ASSERT_TRUE(p.prompts.shown.empty()) << k.high << " " << k.low;
        EXPECT_EQ(p.judgeValue(k.value), k.result) << k.value << " in " << k.low << ".." << k.high;
        const JudgeState &s = p.judge.state();
        const JudgeColour colour = std::string(k.result) == "pass" ? JudgeColour::Pass : JudgeColour::Fail;
        EXPECT_EQ(s.T1VALUE, k.value);
        EXPECT_EQ(s.judge, std::string(k.result) == "pass" ? "Pass" : "Fail");
        EXPECT_EQ(s.judgeColour, colour);
        EXPECT_EQ(s.Shape1Colour, colour);
        EXPECT_EQ(s.T1VALUEColour, colour);
    }
}

TEST(Judge, BadLimitTextIsRefusedAndTheLastValidOneReturns)
{
    const char *badTexts[] = {"-999999", "-999999.0", "", "-", "'", "`5", "1.2.3", "4000x", "1e999"};
    for (const char *bad : badTexts) {
        Panel p;
        p.judge.T1HIChange("400");
        p.judge.T1HIChange(bad);
        ASSERT_EQ(p.prompts.shown.size(), 1u) << bad;
        EXPECT_EQ(p.prompts.shown[0], (ScriptedPrompts::Shown{PromptIcon::Error, "Numerical input errors",
                                                               PromptButtons::Ok}));
        EXPECT_EQ(p.judge.state().T1HI, "400") << bad;
        EXPECT_EQ(p.judge.state().LastValidHigh, "400") << bad;
    }
    // Before the first valid edit the last valid text is empty.
    Panel p;
    p.judge.T1LOChange("-");
    EXPECT_EQ(p.judge.state().T1LO, "");
    EXPECT_EQ(p.prompts.shown.size(), 1u);
    p.judge.T1LOChange(" 12 "); // blanks around a number are fine
    EXPECT_EQ(p.judge.state().LastValidLow, " 12 ");
}

TEST(Judge, JudgingWaitsWhileALimitIsNoNumber)
{
    Panel p;
    EXPECT_EQ(p.judgeValue("10"), "pass");
    p.judge.T1HIChange("x"); // restores the empty last valid text
    EXPECT_EQ(p.judgeValue("9999"), "pass"); // unchanged
    EXPECT_EQ(p.judge.state().T1VALUE, "9999");
    EXPECT_EQ(p.judge.state().judge, "Pass");
    p.judge.T1HIChange("100");
    EXPECT_EQ(p.judgeValue("9999"), "Fail");
}

TEST(Judge, LimitKeyFilter)
{
    // The hidden box's text, the edit's text, the key, whether it passes.
    const struct { const char *box, *edit; char32_t key; bool passes; } cases[] = {
        {".", "12", U'.', true},      {".", "1.2", U'.', false},    {".", "12", U',', false},
        {".", "12", U'a', false},     {".", "12", U' ', false},     {".", "12", U'\b', true},
        {".", "1.2", U'\b', true},    {".", "", U'-', true},        {".", "", U'+', true},
        {".", "", U'\'', true},       {".", "", U'`', true},        {".", "", U'7', true},
        {".", "", U'e', false},       {",", "12", U',', true},      {",", "1,2", U',', false},
        {",", "12", U'.', false},     {",", "12", U'x', false},     {" , ", "1,2", U',', false},
        {" .", "12", U',', false},    {"", "12", U'x', true},       {"\xC2\xB7", "12", U'x', true},
        {"\xC2\xB7", "1\xC2\xB7" "2", U'\u00B7', false},            {"\xC2\xB7", "12", U'\u00B7', true},
        {",.", "1,2", U'.', false},
    };
    for (const auto &k : cases)
        EXPECT_EQ(limitKeyAccepted(k.key, k.edit, k.box), k.passes)
            << "box '" << k.box << "' edit '" << k.edit << "' key " << static_cast<int>(k.key);
    // The handlers look at their own edit.
    Panel p;
    p.judge.T1HIChange("1.5");
    EXPECT_FALSE(p.judge.T1HIKeyPress(U'.', "."));
    EXPECT_TRUE(p.judge.T1LOKeyPress(U'.', "."));
}

TEST(Judge, OrderCheckComplainsOnceUntilTheNextEdit)
{
    Panel p;
    EXPECT_FALSE(p.Timer4.enabled());
    p.judge.T1HIChange("1");
    p.judge.T1LOChange("2");
    EXPECT_TRUE(p.Timer4.enabled());
    p.time.advance(2000);
    ASSERT_EQ(p.prompts.shown.size(), 1u);
    EXPECT_EQ(p.prompts.shown[0], (ScriptedPrompts::Shown{PromptIcon::Error,
                                                           "The upper limit must be greater than the lower limit!",
                                                           PromptButtons::Ok}));
    EXPECT_FALSE(p.Timer4.enabled());
    p.time.advance(20000);
    EXPECT_EQ(p.prompts.shown.size(), 1u);

    // The next edit starts the check again; still out of order.
    p.judge.T1LOChange("3");
    p.time.advance(2000);
    EXPECT_EQ(p.prompts.shown.size(), 2u);
}

TEST(Judge, OrderCheckAcceptsEqualLimitsAndWaitsForNumbers)
{
    Panel p;
    p.judge.T1HIChange("5");
    p.judge.T1LOChange("5");
    p.time.advance(10000);
    EXPECT_TRUE(p.prompts.shown.empty());
    EXPECT_TRUE(p.Timer4.enabled());

    // A limit that is no number: no message, the timer keeps running.
    Panel q;
    q.judge.T1HIChange("-"); // refused, the edit is empty now
    q.prompts.shown.clear();
    q.judge.T1LOChange("7");
    q.time.advance(10000);
    EXPECT_TRUE(q.prompts.shown.empty());
    EXPECT_TRUE(q.Timer4.enabled());
}

} // namespace
} // namespace tolmar
