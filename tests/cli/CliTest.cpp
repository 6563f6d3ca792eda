#include "cli/Cli.h"
#include "meter/FrameBuilder.h" // tests/meter

#include <gtest/gtest.h>

#include <sstream>

namespace tolmar {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun run(std::vector<std::string> args)
{
    std::ostringstream out, err;
    const int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

const std::string sampleJson =
    R"({"SignText": "", "Digit0": "0", "DigitA": "0", "DigitB": "6", "DigitC": "6", "PointMode": 1, )"
    R"("Point0Text": "", "Point1Text": ".", "Point2Text": "", "ValueText": "00.66", "Nval": 66, )"
    R"("UnitText": " V", "FunctionText": "DC", "RangeModeText": "", "FullScale": 40})";

TEST(CliDecode, WorkedExample)
{
    const CliRun r = run({"decode", "--decimal-separator", ".", test::sampleFrame});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, sampleJson + "\n");
    EXPECT_EQ(r.err, "");
}

TEST(CliDecode, CommaSeparatorAndLowerCaseInput)
{
    std::string lower = test::sampleFrame;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const CliRun r = run({"decode", "--decimal-separator=,", lower});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(R"("ValueText": "00,66")"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(R"("Point1Text": ",")"), std::string::npos) << r.out;
}

TEST(CliDecode, FramesShareOneReadingAndFailuresSetTheStatus)
{
    const std::string badSign = [] {
        std::string f = test::shortFrame('4', '0', " 10.00k");
        f.replace(42, 2, "ZZ");
        return f;
    }();
    const CliRun r = run({"decode", "--decimal-separator", ".", test::sampleFrame, badSign, "5A00"});
    EXPECT_EQ(r.status, 1);
    std::istringstream lines(r.out);
    std::string first, second, third, extra;
    std::getline(lines, first);
    std::getline(lines, second);
    std::getline(lines, third);
    EXPECT_EQ(first, sampleJson);
    EXPECT_EQ(second.rfind(R"({"error": "sign: display byte D1 (frame byte 21) \"ZZ\" is not a hexadecimal byte"})", 0),
              0u) << second;
    EXPECT_EQ(third.rfind(R"({"error": ")", 0), 0u) << third;
    EXPECT_FALSE(std::getline(lines, extra));
}

TEST(CliDecode, LongFramePrintsTheWaveform)
{
    const std::string frame = test::longFrame(test::sampleFrame, 0x01, [](int i) { return i == 0 ? "FF01" : "0300"; });
    const CliRun r = run({"decode", "--decimal-separator", ".", frame, test::sampleFrame});
    EXPECT_EQ(r.status, 0);
    const auto newline = r.out.find('\n');
    const std::string longLine = r.out.substr(0, newline);
    std::string samples = "[2";
    for (int i = 1; i < 160; ++i)
        samples += ", 4";
    EXPECT_NE(longLine.find(R"("FullScale": 40, "WaveformSamples": )" + samples + "]}"), std::string::npos)
        << longLine;
    EXPECT_EQ(r.out.substr(newline + 1), sampleJson + "\n") << "a short frame prints no waveform";
}

TEST(CliDecode, DisplayBytesBecomeValidJson)
{
    // Function code 7 leaves the prefix byte alone as the unit text.
    const CliRun r = run({"decode", "--decimal-separator", ".", test::shortFrame('7', '0', " 0.123\xB0"),
                       test::shortFrame('7', '0', " 0.123\""), test::shortFrame('7', '0', std::string(" 0.123\0", 7))});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(R"("UnitText": "\u00B0")"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(R"("UnitText": "\"")"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(R"("UnitText": "\u0000")"), std::string::npos) << r.out;
}

TEST(CliUsage, ErrorsExitWithTwo)
{
    for (const auto &args : std::vector<std::vector<std::string>>{
             {}, {"nonsense"}, {"decode"}, {"decode", "--decimal-separator"}, {"decode", "--bogus", "5A"},
             {"decode", "--decimal-separator="}}) {
        const CliRun r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("tolmar-cli:"), std::string::npos);
    }
    const CliRun help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("decode [--decimal-separator C] FRAME..."), std::string::npos);
}

} // namespace
} // namespace tolmar
