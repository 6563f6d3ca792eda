#include "cli/CliRun.h" // tests/cli
#include "meter/FrameBuilder.h" // tests/meter
#include "tolmar/Version.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tolmar {
namespace {

using test::CliRun;

CliRun run(std::vector<std::string> args)
{
    return test::runCli(args);
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
             {"decode", "--decimal-separator="}, {"help", "extra"}, {"--help", "decode"}, {"-h", "-h"},
             {"--version", "extra"}}) {
        const CliRun r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("tolmar-cli:"), std::string::npos);
    }
    const CliRun help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("decode [--decimal-separator C] FRAME..."), std::string::npos);
    EXPECT_NE(help.out.find("  --version\n"), std::string::npos);
}

TEST(CliUsage, VersionInTheFormOfTheWindowProgram)
{
    // "tolmar --version" prints "Tolmar " and the version of project().
    const CliRun r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("tolmar-cli ") + version + "\n");
    EXPECT_EQ(r.err, "");
}

} // namespace
} // namespace tolmar

namespace tolmar {
namespace {

std::string writeTemp(const std::string &name, const std::string &content)
{
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

TEST(CliReplay, TheSampleCaptureGivesTheWorkedExample)
{
    const CliRun r = run({"replay", "--decimal-separator", ".", TOLMAR_TEST_DATA "/sample-capture.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, sampleJson + "\n");
    EXPECT_EQ(r.err, "");
}

TEST(CliReplay, BadLinesAreNamedAndSkipped)
{
    std::ifstream capture(TOLMAR_TEST_DATA "/sample-capture.txt");
    std::string lines, line;
    int number = 0;
    while (std::getline(capture, line)) {
        if (++number == 3)
            lines += "R 00 0700\nhello\n";
        // Lower case, no trailing blank, CR LF: still reports.
        for (char &c : line)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        line[0] = 'R';
        lines += line.substr(0, line.size() - 1) + "\r\n";
    }
    const CliRun r = run({"replay", "--decimal-separator=,", writeTemp("capture.txt", lines)});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find(R"("ValueText": "00,66")"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("line 3 is not a report"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("line 4 is not a report: hello"), std::string::npos) << r.err;
}

TEST(CliReplay, AFrameThatDoesNotDecodePrintsItsError)
{
    // The sample frame with the sign byte D1 (frame byte 21) replaced by 0xZZ
    // cannot be sent as bytes; a function code 0x8A (hex letter) can.
    std::string capture;
    const std::string frame = test::shortFrame('A', '0', " 12.34 ");
    for (std::size_t at = 0; at < frame.size(); at += 14) {
        const std::string part = frame.substr(at, 14);
        capture += "R 00  0" + std::to_string(part.size() / 2);
        for (std::size_t i = 0; i < part.size(); i += 2)
            capture += " " + part.substr(i, 2);
        capture += "\nR 00  00 00 00 00 00 00 00 00\n";
    }
    const CliRun r = run({"replay", writeTemp("bad.txt", capture)});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "{\"error\": \"function code: frame character 14 \\\"A\\\" is not a decimal digit\"}\n");
}

TEST(CliReplay, MissingFile)
{
    const CliRun r = run({"replay", "/nonexistent/capture.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot open /nonexistent/capture.txt"), std::string::npos);
}

} // namespace
} // namespace tolmar
