#include "record/RecordingSession.h"

#include <gtest/gtest.h>

namespace tolmar {
namespace {

using test::RecordingSession;
using test::voltFrame;

// Frames every `periodMs` with changing readings, recorded at every frame.
void everyFrame(RecordingSession &s, int frames, int periodMs = 100, int first = 0)
{
    s.recording().RecordSIClick(false);
    for (int i = 0; i < frames; ++i)
        s.playEvery(voltFrame(first + i), periodMs);
}

TEST(RecordingLimit, ALimitOfNLetsNPlusOneRecordsIn)
{
    RecordingSession s;
    s.recording().N10001Click(); // "1000"
    everyFrame(s, 1200, 20);
    ASSERT_EQ(s.table().size(), 1001u);
    for (std::size_t i = 0; i < s.table().size(); ++i)
        ASSERT_EQ(s.table().at(i).No, static_cast<int>(i)) << "numbered consecutively from 0";
    EXPECT_EQ(s.recording().NextRecordNo, 1001) << "later readings leave the numbering alone";
    EXPECT_EQ(s.chartValues(), 1001) << "and the chart";
}

TEST(RecordingLimit, ASmallerLimitStopsAtOnceALargerOneResumesWithoutRenumbering)
{
    RecordingSession s;
    everyFrame(s, 1200, 20);
    ASSERT_EQ(s.table().size(), 1200u);
    s.recording().N10001Click();
    everyFrame(s, 5, 20, 2000);
    EXPECT_EQ(s.table().size(), 1200u);
    s.recording().limitessClick();
    EXPECT_EQ(s.recording().state().recordLimitChecked, (std::array<bool, 6>{false, false, false, false, false, true}));
    everyFrame(s, 1, 20, 3000);
    ASSERT_EQ(s.table().size(), 1201u);
    EXPECT_EQ(s.table().at(1200).No, 1200);
}

TEST(RecordingNumbers, ZeroAfterStartUpOneAfterAClear)
{
    RecordingSession s;
    everyFrame(s, 3);
    EXPECT_EQ(s.numbers(), (std::vector<int>{0, 1, 2}));

    s.prompts.answers = {PromptAnswer::No};
    s.form.RecordNewClick();
    EXPECT_EQ(s.table().size(), 3u) << "No keeps everything";
    EXPECT_EQ(s.chartValues(), 3);
    EXPECT_EQ(s.recording().NextRecordNo, 3);
    EXPECT_EQ(s.recording().RecordedCount, 3);

    s.prompts.answers = {PromptAnswer::Yes};
    s.form.btnNewClick();
    ASSERT_EQ(s.prompts.shown.back().text, "Are you sure that you want to delete this record?");
    EXPECT_EQ(s.prompts.shown.back().buttons, PromptButtons::YesNo);
    EXPECT_TRUE(s.table().empty());
    EXPECT_EQ(s.recording().RecordedCount, 0);
    everyFrame(s, 2, 100, 10);
    EXPECT_EQ(s.numbers(), (std::vector<int>{1, 2}));
}

TEST(RecordingRepeat, SuppressedRepeatsLeaveGapsAndStillReachTheChart)
{
    RecordingSession s;
    s.recording().RepeatSetClick(true);
    s.recording().RecordSIClick(false);
    for (int i = 0; i < 10; ++i)
        s.playEvery(voltFrame(42), 100);
    s.playEvery(voltFrame(43), 100);
    EXPECT_EQ(s.numbers(), (std::vector<int>{0, 10}));
    EXPECT_EQ(s.chartValues(), 11);
    EXPECT_EQ(s.form.graphicControl.state().edtCurPage, "1");

    // The last key survives a clear: the same reading is still a repeat.
    s.prompts.answers = {PromptAnswer::Yes};
    s.form.RecordNewClick();
    s.playEvery(voltFrame(43), 100);
    EXPECT_TRUE(s.table().empty());
    EXPECT_EQ(s.recording().NextRecordNo, 2);
}

TEST(RecordingFields, ShortAndLongFrameRecords)
{
    RecordingSession s;
    s.recording().RecordSIClick(false);
    s.playEvery(test::shortFrame('4', '0', " 10.00k", 1), 100);
    s.playEvery(test::shortFrame('4', '0', "  0L  M"), 100);
    EXPECT_EQ(s.chartValues(), 2);
    EXPECT_EQ(s.form.Chart1.value(0, 1), 10.0f);
    EXPECT_EQ(s.form.Chart1.value(0, 2), s.form.reading().FullScale) << "an overload plots its full scale";
    s.playEvery(test::longFrame(test::shortFrame('0', '2', "-1.234 "), 0x80, [](int) { return "8080"; }), 400);
    ASSERT_EQ(s.table().size(), 3u);

    const ReadingRecord ohm = s.table().at(0);
    EXPECT_EQ(ohm.DCAC, "OHM");
    EXPECT_EQ(ohm.Value, "10.00");
    EXPECT_EQ(ohm.Unit, "k*");
    EXPECT_EQ(ohm.Auto, "pass");
    EXPECT_FALSE(ohm.Nval) << "short frames leave Nval null";
    EXPECT_EQ(ohm.Time, ((14 * 60) * 60) * 1000 + 12) << "the clock at the append: the frame's last report";
    EXPECT_EQ(ohm.changeState, 4);
    EXPECT_EQ(s.table().at(1).Nval, std::nullopt);

    const ReadingRecord ac = s.table().at(2);
    EXPECT_EQ(ac.DCAC, "AC");
    EXPECT_EQ(ac.Value, "-1.234");
    EXPECT_EQ(ac.Nval, -1234) << "long frames carry Nval";
}

TEST(RecordingFields, AnEmptyTextIsStoredAsNull)
{
    RecordingSession s;
    s.recording().RecordSIClick(false);
    s.playEvery(test::shortFrame('7', '0', " 12.34 "), 100);
    ASSERT_EQ(s.table().size(), 1u);
    EXPECT_EQ(s.table().at(0).DCAC, "") << "function codes 7 to 9 have no function text";
}

// Interval recording: (interval, frame period, frames) and the record times
// that follow, in ms after the first frame's start.
struct IntervalCase {
    const char *name;
    const char *interval;
    int periodMs;
    int frames;
    int gapsAtLeast; // between consecutive records
    int gapsAtMost;
};

class RecordingInterval : public ::testing::TestWithParam<IntervalCase> {};

TEST_P(RecordingInterval, RecordsFollowTheInterval)
{
    const IntervalCase &c = GetParam();
    RecordingSession s;
    s.recording().RecordSITimeChange(c.interval);
    for (int i = 0; i < c.frames; ++i)
        s.playEvery(voltFrame(i), c.periodMs);
    ASSERT_GE(s.table().size(), 2u);
    for (std::size_t i = 1; i < s.table().size(); ++i) {
        const int gap = *s.table().at(i).Time - *s.table().at(i - 1).Time;
        EXPECT_GE(gap, c.gapsAtLeast);
        EXPECT_LE(gap, c.gapsAtMost);
    }
    // Each record holds the latest reading before its tick. A frame
    // completes with its 12th report, 12 ms after it starts; a tick due at
    // the same millisecond as a report fires first, so it sees the frame
    // that completed at least 1 ms before it.
    for (std::size_t i = 0; i < s.table().size(); ++i) {
        const ReadingRecord r = s.table().at(i);
        const int elapsed = *r.Time - 14 * 3600 * 1000;
        const int latestFrame = (elapsed - 13) / c.periodMs;
        char expected[16];
        std::snprintf(expected, sizeof expected, "%02d.%02d", latestFrame / 100 % 100, latestFrame % 100);
        EXPECT_EQ(r.Value, expected) << "record " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordingInterval,
                         ::testing::Values(IntervalCase{"TwoSecondsFramesTwiceASecond", "2", 500, 20, 2000, 2500},
                                           IntervalCase{"OneSecond", "1", 300, 20, 1000, 1300}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(RecordingInterval, ANewIntervalRestartsThePendingPeriodAtTheNextFrame)
{
    RecordingSession s;
    s.playEvery(voltFrame(1), 500);  // arms Timer2 with 1 s at 12 ms
    s.recording().RecordSITimeChange("5");
    s.playEvery(voltFrame(2), 500);  // re-armed with 5 s at 512 ms
    EXPECT_EQ(s.form.Timer2.interval(), 5000u);
    s.time.advance(4000);
    EXPECT_TRUE(s.table().empty()) << "no tick at the old second";
    s.time.advance(1000);
    ASSERT_EQ(s.table().size(), 1u);
    EXPECT_EQ(*s.table().at(0).Time - 14 * 3600 * 1000, 5512);
}

TEST(RecordingInterval, DisconnectingCancelsAPendingTickRemovalAloneDoesNot)
{
    {
        RecordingSession s;
        s.playEvery(voltFrame(1), 100);
        s.form.USBConClick(false);
        s.time.advance(3000);
        EXPECT_TRUE(s.table().empty());
    }
    {
        RecordingSession s;
        s.playEvery(voltFrame(1), 100);
        s.form.link().HidCtlRemoval(s.form.link().SelectedDevice);
        s.time.advance(3000);
        ASSERT_EQ(s.table().size(), 1u) << "one pending tick still records the last reading";
        EXPECT_EQ(s.table().at(0).Value, "00.01");
    }
}

TEST(RecordingInterval, AnIntervalThatCannotArmATimerRecordsNothing)
{
    for (const char *text : {"", "99999999"}) {
        RecordingSession s;
        s.recording().RecordSITimeChange(text);
        EXPECT_FALSE(s.recording().state().RecordSITimeValid) << '"' << text << '"';
        for (int i = 0; i < 10; ++i)
            s.playEvery(voltFrame(i), 500);
        EXPECT_TRUE(s.table().empty()) << '"' << text << '"';
        EXPECT_FALSE(s.form.Timer2.enabled());
        s.recording().RecordSITimeChange("1");
        EXPECT_TRUE(s.recording().state().RecordSITimeValid);
        s.playEvery(voltFrame(1), 1500);
        EXPECT_EQ(s.table().size(), 1u);
    }
}

TEST(RecordingInterval, ZeroNeverTicks)
{
    RecordingSession s;
    s.recording().RecordSITimeChange("0");
    for (int i = 0; i < 10; ++i)
        s.playEvery(voltFrame(i), 500);
    EXPECT_TRUE(s.table().empty());
    EXPECT_TRUE(s.recording().state().RecordSITimeValid);
}

TEST(RecordingControls, KeyFilterAndCountdown)
{
    RecordingSession s;
    for (char32_t key : {U'0', U'5', U'9', U'\b'})
        EXPECT_TRUE(s.recording().RecordSITimeKeyPress(key));
    for (char32_t key : {U'a', U'-', U'+', U'.', U' ', U'\x16'})
        EXPECT_FALSE(s.recording().RecordSITimeKeyPress(key));

    // The tolerant reading: "-", "+" and "" give 0.
    for (const auto &[text, countdown] : std::vector<std::pair<std::string, int>>{
             {"7", 7}, {"", 0}, {"-", 0}, {"+", 0}, {"12", 12}}) {
        s.recording().RecordSITimeChange(text);
        EXPECT_EQ(s.recording().SampleCountdown, countdown) << '"' << text << '"';
    }
    s.recording().RecordSITimeChange("3");
    s.time.advance(1000);
    EXPECT_EQ(s.recording().SampleCountdown, 2) << "Trecord counts down every second";
}

} // namespace
} // namespace tolmar
