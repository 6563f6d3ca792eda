#include "cli/CliRun.h"          // tests/cli
#include "cli/RecordJson.h"
#include "files/ByteStreams.h"
#include "files/Packet.h"
#include "meter/FrameBuilder.h"  // tests/meter
#include "record/ReadingTable.h"

#include <gtest/gtest.h>

#include <csignal>
#ifdef __linux__
#include <pthread.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
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
    std::ofstream(path, std::ios::binary) << content;
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

// --out: the recorded table also goes to a file.

const std::string exportHeader = "No\tTime\tFunc\tValue\tUnit\tJudge\r\n";
const std::string packetOpen =
    R"(<?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0"><METADATA><FIELDS>)"
    R"(<FIELD attrname="No" fieldtype="i4"/><FIELD attrname="Time" fieldtype="time"/>)"
    R"(<FIELD attrname="DC/AC" fieldtype="string" WIDTH="20"/><FIELD attrname="Value" fieldtype="string" WIDTH="20"/>)"
    R"(<FIELD attrname="Unit" fieldtype="string" WIDTH="20"/><FIELD attrname="Auto" fieldtype="string" WIDTH="20"/>)"
    R"(<FIELD attrname="Nval" fieldtype="i4"/></FIELDS><PARAMS/></METADATA><ROWDATA>)";
const std::string packetClose = "</ROWDATA></DATAPACKET>";

// The records of a packet file as the JSON lines the commands print.
std::vector<std::string> packetRecords(const std::string &path)
{
    FileSource source(path);
    ReadingTable table;
    EXPECT_TRUE(source.ok()) << path << ": " << source.error();
    const LoadResult result = readPacket(source, table);
    EXPECT_TRUE(result.loaded()) << result.where();
    std::vector<std::string> records;
    for (std::size_t i = 0; i < table.size(); ++i)
        records.push_back(recordJson(table.at(i)));
    return records;
}

// A JSON record line as the exported text writes it: Time to the second,
// texts trimmed, "NULL" for null, no Nval.
std::string exportLineOf(const std::string &json)
{
    const auto field = [&json](const std::string &key) -> std::string {
        std::smatch m;
        if (std::regex_search(json, m, std::regex("\"" + key + "\": (null|-?[0-9]+|\"([^\"]*)\")")))
            return m[1] == "null" ? "" : m[2].matched ? m[2].str() : m[1].str();
        ADD_FAILURE() << key << " missing in " << json;
        return {};
    };
    const auto text = [](std::string t) {
        while (!t.empty() && static_cast<unsigned char>(t.back()) <= 0x20)
            t.pop_back();
        while (!t.empty() && static_cast<unsigned char>(t.front()) <= 0x20)
            t.erase(0, 1);
        return t.empty() ? std::string("NULL") : t;
    };
    return field("No") + "\t" + text(field("Time").substr(0, 8)) + "\t" + text(field("DC/AC")) + "\t"
        + text(field("Value")) + "\t" + text(field("Unit")) + "\t" + text(field("Auto")) + "\r\n";
}

std::string exportTextOf(const std::vector<std::string> &jsonLines)
{
    std::string text = exportHeader;
    for (const std::string &line : jsonLines)
        text += exportLineOf(line);
    return text;
}

class CliRecordOut : public ::testing::Test {
protected:
    test::CLocaleScope m_locale;
    test::ScratchDir m_dir;
};

TEST_F(CliRecordOut, ReplayTextGetsTheHeaderAndALinePerRecord)
{
    const std::string capturePath = writeCapture("out-text.txt", capture({volts(1), volts(2)}, 100));
    const std::string table = m_dir / "table.txt";
    test::writeFile(table, "an older and longer file that is emptied first\r\n");
    const CliRun plain = runCli({"replay", "--record", "--every-frame", "--start", "09:30:00.250", capturePath});
    const CliRun r =
        runCli({"replay", "--record", "--every-frame", "--start", "09:30:00.250", "--out", table, capturePath});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, plain.out) << "the JSON lines do not change";
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(test::readFile(table), exportHeader
                                         + "0\t09:30:00\tDC\t00.01\tV\tpass\r\n"
                                           "1\t09:30:00\tDC\t00.02\tV\tpass\r\n");
}

TEST_F(CliRecordOut, ReplayCsvGetsTheHeaderAndALinePerRecordWithTimesOfDay)
{
    const std::string capturePath = writeCapture("out-csv.txt", capture({volts(1), volts(2)}, 100));
    const std::string table = m_dir / "table.CSV";
    const CliRun r =
        runCli({"replay", "--record", "--every-frame", "--start", "09:30:00.250", "--out", table, capturePath});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(test::readFile(table), "\xEF\xBB\xBFNo,Time,Func,Value,Display,Unit,Judge,Nval\r\n"
                                     "0,09:30:00.261,DC,00.01,00.01,\" V\",pass,\r\n"
                                     "1,09:30:00.361,DC,00.02,00.02,\" V\",pass,\r\n");
}

TEST_F(CliRecordOut, ReplayPacketHoldsTheRecords)
{
    const std::string capturePath = writeCapture("out-packet.txt", capture({volts(1), volts(2)}, 100));
    const std::string table = m_dir / "table.xml";
    const CliRun r =
        runCli({"replay", "--record", "--every-frame", "--start", "09:30:00.250", "--out", table, capturePath});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readFile(table),
              packetOpen + R"(<ROW No="0" Time="09:30:00261" DC/AC="DC" Value="00.01" Unit=" V" Auto="pass"/>)"
                  + R"(<ROW No="1" Time="09:30:00361" DC/AC="DC" Value="00.02" Unit=" V" Auto="pass"/>)"
                  + packetClose);
    EXPECT_EQ(packetRecords(table), lines(r.out));
    EXPECT_EQ(m_dir.names(), std::vector<std::string>{"table.xml"}) << "a temporary file was left behind";
}

TEST_F(CliRecordOut, ReplayWithoutRecordsStillWritesTheTable)
{
    // The pending tick is cancelled at the end of the input: nothing recorded.
    const std::string capturePath = writeCapture("out-none.txt", capture({volts(1)}, 500));
    for (const char *name : {"empty.xml", "empty.txt"}) {
        const CliRun r = runCli({"replay", "--record", "--out", m_dir / name, capturePath});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(test::readFile(m_dir / "empty.xml"), packetOpen + packetClose);
    EXPECT_EQ(test::readFile(m_dir / "empty.txt"), exportHeader);
}

// A --out that cannot be written stops the command before it records: no
// record printed, the reason on standard error, exit status 1.
TEST_F(CliRecordOut, AnOutThatCannotBeOpenedFailsBeforeRecording)
{
    const std::string capturePath = writeCapture("out-bad.txt", capture({volts(1), volts(2)}, 100));
    std::filesystem::create_directory(m_dir / "folder.xml");
    struct Case {
        std::string out;
        std::string error;
    };
    const std::vector<Case> cases = {
        {m_dir / "none/t.txt",
         "Could not save table to specified file: " + (m_dir / "none/t.txt") + " (No such file or directory)"},
        {m_dir / "none/t.xml", "Cannot create file \"" + (m_dir / "none/t.xml") + "\". No such file or directory"},
        {m_dir / "folder.xml", "Cannot create file \"" + (m_dir / "folder.xml") + "\". Is a directory"},
        // Opens, but the header does not go in.
        {"/dev/full", "Could not save table to specified file: /dev/full (No space left on device)"},
    };
    for (const Case &c : cases) {
        for (const std::string command : {"replay", "record"}) {
            const CliRun r = command == "replay"
                ? runCli({"replay", "--record", "--every-frame", "--out", c.out, capturePath})
                : runCli({"record", "--simulate", "--every-frame", "--count", "2", "--out", c.out});
            EXPECT_EQ(r.status, 1) << command << " " << c.out;
            EXPECT_EQ(r.out, "") << command << " " << c.out;
            EXPECT_EQ(r.err, "tolmar-cli: " + command + ": " + c.error + "\n");
        }
    }
    EXPECT_EQ(m_dir.names(), std::vector<std::string>{"folder.xml"});
}

#ifdef __linux__ // /dev/full
TEST_F(CliRecordOut, APacketThatCannotBeWrittenAtTheEndFails)
{
    const std::string capturePath = writeCapture("out-full.txt", capture({volts(1)}, 100));
    const std::string table = m_dir / "full.xml";
    ASSERT_EQ(::symlink("/dev/full", table.c_str()), 0); // opens at the start, takes no bytes at the end
    const CliRun r = runCli({"replay", "--record", "--every-frame", "--out", table, capturePath});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.out).size(), 1u) << "recorded before the packet failed";
    EXPECT_EQ(r.err, "tolmar-cli: replay: Cannot create file \"" + table + "\". No space left on device\n");
}
#endif

TEST_F(CliRecordOut, AReplayThatCannotReadItsInputLeavesTheTable)
{
    const std::string table = m_dir / "kept.txt";
    test::writeFile(table, "kept\r\n");
    const CliRun r = runCli({"replay", "--record", "--out", table, m_dir / "no-capture.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(test::readFile(table), "kept\r\n");
}

#ifdef __linux__ // a symbolic link made by the test
TEST_F(CliRecordOut, OutCannotBeTheCaptureItself)
{
    const std::string content = capture({volts(1)}, 100);
    const std::string capturePath = m_dir / "capture.txt";
    test::writeFile(capturePath, content);
    ASSERT_EQ(::symlink(capturePath.c_str(), (m_dir / "link.xml").c_str()), 0);
    for (const std::string &out : {capturePath, m_dir / "link.xml"}) {
        const CliRun r = runCli({"replay", "--record", "--every-frame", "--out", out, capturePath});
        EXPECT_EQ(r.status, 2) << out;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(test::readFile(capturePath), content) << out;
    }
}
#endif

TEST(CliRecordOutUsage, OutNeedsAFileAndReplayNeedsRecord)
{
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"replay", "--out", "t.txt"}, {"replay", "--record", "--out"}, {"replay", "--record", "--out", ""},
             {"record", "--out"}, {"record", "--simulate", "--out", ""}}) {
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.out, "");
    }
}

// Live recording ends in several ways; each leaves exactly the printed
// records in the file. A signal comes from another thread once two records
// are out, as a user's Ctrl-C or a service manager's SIGTERM would.
struct LiveEnd {
    const char *name;
    const char *out;
    std::vector<std::string> options;
    int signal; // 0: none
};

// Standard output for a run on the main thread, readable from another.
class CountingBuffer final : public std::streambuf {
public:
    std::string text() const
    {
        std::lock_guard lock(m_mutex);
        return m_text;
    }
    std::size_t lines() const { return m_lines; }

protected:
    int overflow(int c) override
    {
        if (c != traits_type::eof()) {
            const char ch = static_cast<char>(c);
            xsputn(&ch, 1);
        }
        return c;
    }
    std::streamsize xsputn(const char *s, std::streamsize n) override
    {
        std::lock_guard lock(m_mutex);
        m_text.append(s, static_cast<std::size_t>(n));
        m_lines = static_cast<std::size_t>(std::count(m_text.begin(), m_text.end(), '\n'));
        return n;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
    std::atomic<std::size_t> m_lines{0};
};

class CliRecordOutLive : public CliRecordOut, public ::testing::WithParamInterface<LiveEnd> {};

TEST_P(CliRecordOutLive, TheFileHoldsThePrintedRecords)
{
    const LiveEnd &c = GetParam();
    const std::string table = m_dir / c.out;
    std::vector<std::string> args = {"record", "--simulate", "--every-frame", "--out", table};
    args.insert(args.end(), c.options.begin(), c.options.end());

    CountingBuffer outBuffer;
    std::ostream out(&outBuffer);
    std::ostringstream err;
    std::string fileWhileRunning;
    std::thread signaller;
#ifndef __linux__
    if (c.signal != 0)
        GTEST_SKIP() << "the signal is sent with POSIX calls";
#else
    if (c.signal != 0) {
        signaller = std::thread([&] {
            // Not here: the signal goes to the thread that runs the command.
            sigset_t set;
            sigemptyset(&set);
            sigaddset(&set, SIGINT);
            sigaddset(&set, SIGTERM);
            pthread_sigmask(SIG_BLOCK, &set, nullptr);
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(15);
            while (outBuffer.lines() < 2 && std::chrono::steady_clock::now() < giveUp)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            fileWhileRunning = test::readFile(table);
            if (outBuffer.lines() >= 2)
                ::kill(::getpid(), c.signal);
        });
    }
#endif
    const int status = cli::run(args, out, err);
    if (signaller.joinable())
        signaller.join();
    ASSERT_EQ(status, 0) << err.str();
    const std::vector<std::string> printed = lines(outBuffer.text());
    ASSERT_FALSE(printed.empty());
    if (std::string(c.out).ends_with(".xml")) {
        EXPECT_EQ(packetRecords(table), printed);
        EXPECT_EQ(m_dir.names(), std::vector<std::string>{c.out}) << "a temporary file was left behind";
    } else {
        EXPECT_EQ(test::readFile(table), exportTextOf(printed));
    }
    if (c.signal != 0) {
        EXPECT_LT(printed.size(), 20u) << "the signal did not end the recording";
        if (!std::string(c.out).ends_with(".xml")) {
            // The first record was in the file while recording went on.
            EXPECT_EQ(fileWhileRunning.rfind(exportTextOf({printed[0]}), 0), 0u) << fileWhileRunning;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, CliRecordOutLive,
    ::testing::Values(LiveEnd{"CountPacket", "t.xml", {"--count", "3"}, 0},
                      LiveEnd{"CountText", "t.txt", {"--count", "3"}, 0},
                      LiveEnd{"SecondsPacket", "t.xml", {"--seconds", "1"}, 0},
                      LiveEnd{"InterruptPacket", "t.xml", {"--seconds", "20"}, SIGINT},
                      LiveEnd{"TerminatePacket", "t.xml", {"--seconds", "20"}, SIGTERM},
                      LiveEnd{"InterruptText", "t.txt", {"--seconds", "20"}, SIGINT}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace tolmar
