#include "cli/CliRun.h"          // tests/cli
#include "meter/FrameBuilder.h"  // tests/meter

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace tolmar {
namespace {

using test::CliRun;
using test::runCli;

const std::string idleLine = "R 00  00 00 00 00 00 00 00 00 \n";

// A capture in the link log's form: each frame in bursts of 7 bytes, each
// burst closed by a report without payload, then idle reports so that the
// next frame starts `periodLines` lines (milliseconds) later.
std::string capture(const std::vector<std::string> &frames, int periodLines)
{
    std::string text;
    for (const std::string &frame : frames) {
        int lines = 0;
        for (std::size_t at = 0; at < frame.size(); at += 14) {
            const std::size_t bytes = std::min<std::size_t>(7, (frame.size() - at) / 2);
            char count[8];
            std::snprintf(count, sizeof count, "%02zX", bytes);
            text += "R 00  " + std::string(count) + " ";
            for (std::size_t i = 0; i < 7; ++i)
                text += (i < bytes ? frame.substr(at + 2 * i, 2) : std::string("00")) + " ";
            text += "\n" + idleLine;
            lines += 2;
        }
        for (; lines < periodLines; ++lines)
            text += idleLine;
    }
    return text;
}

std::string volts(int n)
{
    char display[16];
    std::snprintf(display, sizeof display, " %02d.%02d ", n / 100 % 100, n % 100);
    return test::shortFrame('0', '0', display);
}

std::string writeCapture(const std::string &name, const std::string &content)
{
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << content;
    return path;
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> result;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        result.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return result;
}

TEST(CliReplayRecord, EveryFramePrintsEachRecordWithTheTableKeys)
{
    const std::string path = writeCapture("every.txt", capture({volts(1), volts(2)}, 100));
    const CliRun r = runCli({"replay", "--record", "--every-frame", "--start", "09:30:00.250", path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"No\": 0, \"Time\": \"09:30:00.261\", \"DC/AC\": \"DC\", \"Value\": \"00.01\", \"Unit\": \" V\", "
              "\"Auto\": \"pass\", \"Nval\": null}\n"
              "{\"No\": 1, \"Time\": \"09:30:00.361\", \"DC/AC\": \"DC\", \"Value\": \"00.02\", \"Unit\": \" V\", "
              "\"Auto\": \"pass\", \"Nval\": null}\n");
}

// Recording as a pure function of a capture: options, and what they record.
struct ReplayCase {
    const char *name;
    std::vector<std::string> options;
    std::vector<std::string> frames;
    int periodLines;
    std::vector<std::string> expectedTimes; // of the records, in order
};

class CliReplayRecordCases : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(CliReplayRecordCases, RecordsAtTheExpectedMoments)
{
    const ReplayCase &c = GetParam();
    std::vector<std::string> args = {"replay", "--record"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(writeCapture(std::string(c.name) + ".txt", capture(c.frames, c.periodLines)));
    const CliRun r = runCli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> times;
    for (const std::string &line : lines(r.out)) {
        const std::size_t at = line.find("\"Time\": \"");
        ASSERT_NE(at, std::string::npos) << line;
        times.push_back(line.substr(at + 9, 12));
    }
    EXPECT_EQ(times, c.expectedTimes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliReplayRecordCases,
    ::testing::Values(
        // One frame at 11 ms arms the one-second tick; the capture ends first
        // and the disconnect at its end cancels it.
        ReplayCase{"EndOfInputCancelsAPendingTick", {}, {volts(1)}, 500, {}},
        ReplayCase{"DefaultOneSecond", {}, {volts(1), volts(2), volts(3), volts(4)}, 400,
                   {"00:00:01.011"}},
        ReplayCase{"IntervalTwoFramesTwiceASecond", {"--interval", "2"},
                   std::vector<std::string>(9, volts(7)), 500, {"00:00:02.011", "00:00:04.011"}},
        ReplayCase{"RepeatSkipsEqualReadings", {"--every-frame", "--repeat"},
                   {volts(5), volts(5), volts(5), volts(6)}, 100, {"00:00:00.011", "00:00:00.311"}},
        ReplayCase{"LimitOfOneThousand", {"--every-frame", "--limit", "1000"},
                   std::vector<std::string>(3, volts(1)), 20, {"00:00:00.011", "00:00:00.031", "00:00:00.051"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CliReplayRecord, NumbersAndRepeatGapsInTheOutput)
{
    const std::string path = writeCapture("gaps.txt", capture({volts(5), volts(5), volts(5), volts(6)}, 100));
    const CliRun r = runCli({"replay", "--record", "--every-frame", "--repeat", path});
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].rfind("{\"No\": 0,", 0), 0u);
    EXPECT_EQ(out[1].rfind("{\"No\": 3,", 0), 0u);
}

TEST(CliReplayRecord, UsageErrors)
{
    const std::vector<std::vector<std::string>> bad = {
        {"replay", "--every-frame"},
        {"replay", "--record", "--interval", "1.5"},
        {"replay", "--record", "--interval"},
        {"replay", "--record", "--limit", "2000"},
        {"replay", "--record", "--limit", "1000", "--limit", "foo"},
        {"replay", "--record", "--every-frame", "--interval", "2"},
        {"replay", "--record", "--start", "25:00:00.000"},
        {"replay", "--record", "--start", "12:00"},
        {"record", "--count", "0"},
        {"record", "--bogus"},
    };
    for (const auto &args : bad) {
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_NE(r.err.find("tolmar-cli: "), std::string::npos);
    }
}

TEST(CliRecord, SimulatedMeterRecordsLive)
{
    const CliRun r = runCli({"record", "--simulate", "--every-frame", "--count", "3", "--seconds", "20"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 3u);
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(out[i].rfind("{\"No\": " + std::to_string(i) + ",", 0), 0u) << out[i];
}

} // namespace
} // namespace tolmar
