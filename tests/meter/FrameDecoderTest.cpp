#include "meter/FrameDecoder.h"
#include "meter/FrameBuilder.h"
#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <cctype>
#include <vector>

namespace tolmar {
namespace {

using test::longFrame;
using test::sampleFrame;
using test::shortFrame;

struct Expected {
    std::string sign, d0, da, db, dc;
    int pointMode;
    std::string p0, p1, p2;
    std::string value;
    float nval;
    std::string unit, function, rangeMode;
    int fullScale;
};

struct DecodeCase {
    const char *name;
    std::string frame;
    std::string separator;
    Expected expected;
    std::vector<int> fullScaleSets; // each time the full-scale rule fires
    int failStep = 0;               // the step that stops the decode, 0 for none
};

struct Recorder : FullScaleListener {
    void fullScaleSet(int value) override { sets.push_back(value); }
    std::vector<int> sets;
};

void expectReading(const MeterReading &r, const Expected &e)
{
    EXPECT_EQ(r.SignText, e.sign);
    EXPECT_EQ(r.Digit0, e.d0);
    EXPECT_EQ(r.DigitA, e.da);
    EXPECT_EQ(r.DigitB, e.db);
    EXPECT_EQ(r.DigitC, e.dc);
    EXPECT_EQ(r.PointMode, e.pointMode);
    EXPECT_EQ(r.Point0Text, e.p0);
    EXPECT_EQ(r.Point1Text, e.p1);
    EXPECT_EQ(r.Point2Text, e.p2);
    EXPECT_EQ(r.ValueText, e.value);
    EXPECT_EQ(r.Nval, e.nval);
    EXPECT_EQ(r.UnitText, e.unit);
    EXPECT_EQ(r.FunctionText, e.function);
    EXPECT_EQ(r.RangeModeText, e.rangeMode);
    EXPECT_EQ(r.FullScale, e.fullScale);
}

// Each case starts from a fresh reading (FullScale 40, ValueText "40").
const DecodeCase decodeCases[] = {
    {"worked example", sampleFrame, ".",
     {"", "0", "0", "6", "6", 1, "", ".", "", "00.66", 66, " V", "DC", "", 40}, {40}},
    {"worked example, comma locale", sampleFrame, ",",
     {"", "0", "0", "6", "6", 1, "", ",", "", "00,66", 66, " V", "DC", "", 40}, {40}},
    {"multi-character separator", sampleFrame, "<>",
     {"", "0", "0", "6", "6", 1, "", "<>", "", "00<>66", 66, " V", "DC", "", 40}, {40}},
    {"negative mV DC, point at D4", shortFrame('0', '0', "-12.34m"), ".",
     {"-", "1", "2", "3", "4", 1, "", ".", "", "-12.34", -1234, "mV", "DC", "", 40}, {40}},
    {"V AC without point", shortFrame('0', '3', " 0750  "), ".",
     {"", "0", "7", "5", "0", 4, "", "", "", "0750", 750, " V", "AC", "", 750}, {750}},
    {"V DC without point", shortFrame('0', '0', " 0999  "), ",",
     {"", "0", "9", "9", "9", 4, "", "", "", "0999", 999, " V", "DC", "", 1000}, {1000}},
    {"prefix V stays a lone V", shortFrame('0', '0', " 1.234V"), ".",
     {"", "1", "2", "3", "4", 0, ".", "", "", "1.234", 1234, "V", "DC", "", 4}, {4}},
    {"point at D5", shortFrame('0', '0', " 123.4 "), ",",
     {"", "1", "2", "3", "4", 2, "", "", ",", "123,4", 1234, " V", "DC", "", 400}, {400}},
    {"current, prefix A is micro", shortFrame('1', '0', " 12.34A"), ".",
     {"", "1", "2", "3", "4", 1, "", ".", "", "12.34", 1234, "uA", "DC", "", 40}, {40}},
    {"current 10 A range", shortFrame('1', '1', " 02.34 "), ".",
     {"", "0", "2", "3", "4", 1, "", ".", "", "02.34", 234, " A", "AC", "", 10}, {40, 10}},
    {"current mA, point at D4", shortFrame('1', '0', " 12.34m"), ".",
     {"", "1", "2", "3", "4", 1, "", ".", "", "12.34", 1234, "mA", "DC", "", 40}, {40}},
    {"current uA, point at D4", shortFrame('1', '0', " 12.34u"), ".",
     {"", "1", "2", "3", "4", 1, "", ".", "", "12.34", 1234, "uA", "DC", "", 40}, {40}},
    {"current without point", shortFrame('1', '0', " 1234 m"), ".",
     {"", "1", "2", "3", "4", 4, "", "", "", "1234", 1234, "mA", "DC", "", 4000}, {4000}},
    {"frequency kHz, point at D3", shortFrame('2', '0', " 2.013k"), ".",
     {"", "2", "0", "1", "3", 0, ".", "", "", "2.013", 2013, "kHz", "Frequency", "", 10}, {10}},
    {"frequency, point at D4 keeps full scale", shortFrame('2', '0', " 50.00 "), ".",
     {"", "5", "0", "0", "0", 1, "", ".", "", "50.00", 5000, " Hz", "Frequency", "", 40}, {}},
    {"duty cycle", shortFrame('2', '1', " 50.00k"), ".",
     {"", "5", "0", "0", "0", 1, "", ".", "", "50.00", 5000, "Duty", "Duty", "", 40}, {}},
    {"capacitance uF, point at D3", shortFrame('3', '0', " 1.234u", 1), ".",
     {"", "1", "2", "3", "4", 0, ".", "", "", "1.234", 1234, "uF", "CAP", "AUTO", 4}, {4}},
    {"capacitance without point", shortFrame('3', '0', " 0047 n"), ".",
     {"", "0", "0", "4", "7", 4, "", "", "", "0047", 47, "nF", "CAP", "", 100}, {100}},
    {"resistance k, point at D4", shortFrame('4', '0', " 10.00k", 1), ".",
     {"", "1", "0", "0", "0", 1, "", ".", "", "10.00", 1000, "k*", "OHM", "AUTO", 40}, {40}},
    {"resistance, second symbol", shortFrame('5', '0', " 1.000M"), ".",
     {"", "1", "0", "0", "0", 0, ".", "", "", "1.000", 1000, "M*&", "OHM", "", 4}, {4}},
    {"resistance overload", shortFrame('4', '0', "  0L  M"), ".",
     {"", " ", "0", "@", " ", 4, "", "", "", " 0L", 0, "M*", "OHM", "", 1000}, {1000}},
    {"negative overload", shortFrame('4', '0', "- 0L  M"), ".",
     {"-", " ", "0", "@", " ", 4, "", "", "", "- 0L", 0, "M*", "OHM", "", 1000}, {1000}},
    {"overload with a point after it", shortFrame('0', '0', "  0L. m"), ",",
     {"", " ", "0", "@", " ", 2, "", "", ",", " 0L,", 0, "mV", "DC", "", 400}, {400}},
    {"diode keeps its point after the first digit", shortFrame('6', '0', " 0.512 "), ",",
     {"", "0", "5", "1", "2", 0, ",", "", "", "0,512", 512, " V)", "Diode", "", 4}, {4}},
    {"diode with the point moved: both point texts", shortFrame('6', '0', " 05.12 "), ",",
     {"", "0", "5", "1", "2", 0, ",", ".", "", "0,5.12", 512, " V)", "Diode", "", 40}, {40}},
    {"function code 7 selects nothing", shortFrame('7', '0', " 12.34k"), ".",
     {"", "1", "2", "3", "4", 1, "", ".", "", "12.34", 1234, "k", "", "", 40}, {}},
    {"function code 9 selects nothing", shortFrame('9', '0', " 1.234 "), ".",
     {"", "1", "2", "3", "4", 0, ".", "", "", "1.234", 1234, " ", "", "", 40}, {}},
    {"two points: the rightmost wins, both set full scale", shortFrame('0', '0', " 1.2.3 "), ".",
     {"", "1", ".", "2", "3", 2, "", "", ".", "1.2.3", 0, " V", "DC", "", 400}, {4, 400}, 13},
    {"incomplete frame: prefix only", sampleFrame.substr(0, 80), ".",
     {"", "0", "0", "6", "6", 1, "", ".", "", "00.66", 66, " ", "", "", 40}, {}},
    {"no start byte: prefix only", "A5" + sampleFrame.substr(2), ".",
     {"", "0", "0", "6", "6", 1, "", ".", "", "00.66", 66, " ", "", "", 40}, {}},
    {"range flag 01 is AUTO", shortFrame('0', '0', " 1.234 ", 0x01), ".",
     {"", "1", "2", "3", "4", 0, ".", "", "", "1.234", 1234, " V", "DC", "AUTO", 4}, {4}},
    {"range flag 11 is not AUTO", shortFrame('0', '0', " 1.234 ", 0x11), ".",
     {"", "1", "2", "3", "4", 0, ".", "", "", "1.234", 1234, " V", "DC", "", 4}, {4}},
};

void PrintTo(const DecodeCase &c, std::ostream *os) { *os << c.name; }

class DecodeTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTable, GivesTheReading)
{
    const DecodeCase &c = GetParam();
    MeterReading reading;
    Recorder recorder;
    const auto error = decodeFrame(c.frame, reading, c.separator, &recorder);
    if (c.failStep) {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->step, c.failStep);
    } else {
        ASSERT_FALSE(error) << error->what;
    }
    expectReading(reading, c.expected);
    EXPECT_EQ(recorder.sets, c.fullScaleSets);
}

INSTANTIATE_TEST_SUITE_P(Frames, DecodeTable, ::testing::ValuesIn(decodeCases),
                         [](const auto &info) {
                             std::string name;
                             for (const char ch : std::string(info.param.name))
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

TEST(Decode, SeparatorIsReadFromTheLocaleForEveryFrame)
{
    FixedLocale locale(".");
    MeterReading reading;
    FrameDecoder first(sampleFrame, reading);
    first.readLocale(locale);
    EXPECT_EQ(first.decimalSeparator(), ".");
    locale.separator = ",";
    FrameDecoder second(sampleFrame, reading);
    second.readLocale(locale);
    EXPECT_EQ(second.decimalSeparator(), ",");
}

// A failing conversion stops the decode at its step; what came before stays,
// and fields the decode did not reach keep the previous frame's values.
struct FailureCase {
    const char *name;
    std::string frame;
    int step;
    std::string valueText;     // after the failure
    std::string unitText;
    std::string functionText;
    std::string signText;
    std::string digits;        // Digit0..DigitC
    float nval;
};

const auto withText = [](std::string frame, std::size_t position, const std::string &text) {
    frame.replace(position - 1, text.size(), text);
    return frame;
};

const FailureCase failureCases[] = {
    // Previous frame: the sample (00.66, " V", DC, Nval 66).
    {"empty frame text", "", 4, "00.66", " V", "DC", "", "0066", 66},
    {"frame ends inside the display field", sampleFrame.substr(0, 47), 4, "00.66", " V", "DC", "", "0066", 66},
    {"point byte is not hex", withText(sampleFrame, 49, "X2"), 4, "00.66", " V", "DC", "", "0066", 66},
    {"last digit byte is not hex", withText(shortFrame('0', '0', " 12.34 "), 53, "G0"), 5, "00.66", " V", "DC", "",
     "1236", 66},
    {"sign byte is not hex", withText(shortFrame('0', '0', " 12.34 "), 43, "ZZ"), 6, "00.66", " V", "DC", "",
     "1234", 66},
    {"prefix byte is not hex", withText(shortFrame('0', '0', "-12.34 "), 55, "?0"), 9, "00.66", "", "", "-",
     "1234", 66},
    {"function code is a hex letter", shortFrame('A', '0', " 12.34k"), 10, "00.66", "k", "", "", "1234", 66},
    {"count is not a number", shortFrame('0', '0', " 1A23  "), 13, "1A23", " V", "DC", "", "1A23", 66},
    {"range byte is not hex", withText(shortFrame('0', '0', " 12.34 "), 39, "0x"), 14, "12.34", " V", "DC", "",
     "1234", 1234},
};

void PrintTo(const FailureCase &c, std::ostream *os) { *os << c.name; }

class DecodeFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(DecodeFailure, StopsAtItsStepAndKeepsTheRest)
{
    const FailureCase &c = GetParam();
    MeterReading reading;
    ASSERT_FALSE(decodeFrame(sampleFrame, reading, "."));
    reading.RangeModeText = "AUTO"; // as a previous frame may have left it

    const auto error = decodeFrame(c.frame, reading, ".");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->step, c.step) << error->what;
    EXPECT_FALSE(error->what.empty());
    EXPECT_EQ(reading.ValueText, c.valueText);
    EXPECT_EQ(reading.UnitText, c.unitText);
    EXPECT_EQ(reading.FunctionText, c.functionText);
    EXPECT_EQ(reading.SignText, c.signText);
    EXPECT_EQ(reading.Digit0 + reading.DigitA + reading.DigitB + reading.DigitC, c.digits);
    EXPECT_EQ(reading.Nval, c.nval);
    // Step 9 clears RangeModeText; step 14 sets it: a failure before 9 keeps it.
    EXPECT_EQ(reading.RangeModeText, c.step < 9 ? "AUTO" : "");
}

INSTANTIATE_TEST_SUITE_P(Frames, DecodeFailure, ::testing::ValuesIn(failureCases),
                         [](const auto &info) {
                             std::string name;
                             for (const char ch : std::string(info.param.name))
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

TEST(Decode, FrequencyAtD4KeepsThePreviousFullScale)
{
    MeterReading reading;
    ASSERT_FALSE(decodeFrame(shortFrame('0', '0', " 123.4 "), reading, ".")); // 400
    ASSERT_FALSE(decodeFrame(shortFrame('2', '0', " 50.00k"), reading, "."));
    EXPECT_EQ(reading.FullScale, 400);
    EXPECT_EQ(reading.UnitText, "kHz");
}

TEST(Decode, WaveformTakesTheLargerMagnitudeOfEachPairPlusTheOffset)
{
    // Pairs, hand-checked with offset 0xFE (-2):
    //   80 00: +128 vs 0      -> 128 - 2 = 126
    //   FF 01: -1 vs +1, tie  -> +1 - 2  = -1
    //   10 F0: +16 vs -16 tie -> -16 - 2 = -18
    //   81 7F: -127 vs +127   -> 127 - 2 = 125
    //   05 03: 5 vs 3         -> 5 - 2   = 3
    //   00 90: 0 vs -112      -> -114
    const char *pairs[] = {"8000", "FF01", "10F0", "817F", "0503", "0090"};
    const int expected[] = {126, -1, -18, 125, 3, -114};
    const std::string frame = longFrame(sampleFrame, 0xFE, [&](int i) { return pairs[i % 6]; });
    ASSERT_EQ(frame.size(), 722u);

    MeterReading reading;
    Recorder recorder;
    const auto error = decodeFrame(frame, reading, ".", &recorder);
    ASSERT_FALSE(error) << error->what;
    for (int i = 0; i < 160; ++i)
        EXPECT_EQ(reading.WaveformSamples[static_cast<std::size_t>(i)], expected[i % 6]) << "sample " << i;
    // The long frame decodes its display like the short one.
    EXPECT_EQ(reading.ValueText, "00.66");
    EXPECT_EQ(reading.FullScale, 40);
    EXPECT_EQ(recorder.sets, std::vector<int>{40});
}

TEST(Decode, WaveformOffsetOf128StaysPositive)
{
    const std::string frame = longFrame(sampleFrame, 0x80, [](int) { return "0000"; });
    MeterReading reading;
    ASSERT_FALSE(decodeFrame(frame, reading, "."));
    EXPECT_EQ(reading.WaveformSamples.front(), 128);
    EXPECT_EQ(reading.WaveformSamples.back(), 128);
}

TEST(Decode, BadWaveformByteStopsTheDecodeWithTheSamplesBeforeIt)
{
    std::string frame = longFrame(sampleFrame, 0x00, [](int) { return "0102"; });
    frame.replace(82 + 4 * 10, 2, "ZZ"); // pair 10, first byte
    MeterReading reading;
    reading.WaveformSamples.fill(-7);
    const auto error = decodeFrame(frame, reading, ".");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->step, 16);
    EXPECT_EQ(reading.WaveformSamples[9], 2);
    EXPECT_EQ(reading.WaveformSamples[10], -7);
    EXPECT_EQ(reading.ValueText, "00.66"); // everything before the waveform is in
}

TEST(Decode, StartsFromTheInitialReading)
{
    const MeterReading reading;
    EXPECT_EQ(reading.ValueText, "40");
    EXPECT_EQ(reading.FullScale, 40);
    EXPECT_EQ(reading.Nval, 0);
    EXPECT_TRUE(reading.SignText.empty() && reading.Digit0.empty() && reading.UnitText.empty()
                && reading.FunctionText.empty() && reading.RangeModeText.empty() && reading.JudgeText.empty());
}

} // namespace
} // namespace tolmar
