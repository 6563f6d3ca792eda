// What replay does with its input: read errors, lines that are not reports,
// "--", and standard input.
#include "cli/CliRun.h" // tests/cli

#include <gtest/gtest.h>

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tolmar {
namespace {

using test::CliRun;
using test::runCli;

const std::string capturePath = TOLMAR_TEST_DATA "/sample-capture.txt";

// The reading of the sample capture with "." as the decimal separator.
const std::string sampleJson =
    R"({"SignText": "", "Digit0": "0", "DigitA": "0", "DigitB": "6", "DigitC": "6", "PointMode": 1, )"
    R"("Point0Text": "", "Point1Text": ".", "Point2Text": "", "ValueText": "00.66", "Nval": 66, )"
    R"("UnitText": " V", "FunctionText": "DC", "RangeModeText": "", "FullScale": 40})"
    "\n";

#ifdef __linux__ // /proc, descriptors, pipes and terminals
// Puts another file descriptor in place of standard input while it lives.
class StandardInput {
public:
    explicit StandardInput(int fd) : m_saved(::dup(0)) { ::dup2(fd, 0); }
    ~StandardInput()
    {
        ::dup2(m_saved, 0);
        ::close(m_saved);
    }
    StandardInput(const StandardInput &) = delete;
    StandardInput &operator=(const StandardInput &) = delete;

private:
    int m_saved;
};

TEST(ReplayInput, ReadErrorsAreToldAndFail)
{
    test::ScratchDir dir;
    const std::string directory = dir / "";
    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {directory, "Is a directory"},
        {"/proc/self/mem", "Input/output error"}, // no page mapped at offset 0
    };
    for (const Case &c : cases) {
        for (const std::vector<std::string> &command :
             {std::vector<std::string>{"replay"}, std::vector<std::string>{"replay", "--record", "--every-frame"}}) {
            std::vector<std::string> args = command;
            args.push_back(c.path);
            const CliRun r = runCli(args);
            EXPECT_EQ(r.status, 1) << c.path << " " << command.size();
            EXPECT_NE(r.err.find("tolmar-cli: replay: " + c.path + ": " + c.reason + "\n"), std::string::npos)
                << r.err;
            EXPECT_EQ(r.out, "") << c.path;
        }
    }
}

TEST(ReplayInput, ReadErrorOnStandardInput)
{
    test::ScratchDir dir;
    const int directory = ::open((dir / "").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(directory, 0);
    {
        StandardInput input(directory);
        for (const std::vector<std::string> &args : {std::vector<std::string>{"replay"}, {"replay", "-"}}) {
            const CliRun r = runCli(args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, "tolmar-cli: replay: standard input: Is a directory\n");
        }
    }
    ::close(directory);
}

TEST(ReplayInput, StandardInputFromAPipeGetsNoNote)
{
    const std::string capture = test::readFile(capturePath);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], capture.data(), capture.size()), static_cast<ssize_t>(capture.size()));
    ::close(ends[1]);
    {
        StandardInput input(ends[0]);
        const CliRun r = runCli({"replay", "--decimal-separator", "."});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, sampleJson);
        EXPECT_EQ(r.err, "");
    }
    ::close(ends[0]);
}

TEST(ReplayInput, ATerminalIsToldWhereTheReportsComeFrom)
{
    const std::string note = "tolmar-cli: replay: reading reports from standard input (Ctrl-D ends)\n";
    const std::string capture = test::readFile(capturePath);
    for (const std::vector<std::string> &args : {std::vector<std::string>{"replay", "--decimal-separator", "."},
                                                 {"replay", "--decimal-separator", ".", "-"},
                                                 {"replay", "--record", "--every-frame"}}) {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal, 0);
        // The capture typed in, then Ctrl-D on an empty line: the end.
        const std::string typed = capture + "\x04";
        ASSERT_EQ(::write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
        CliRun r;
        {
            StandardInput input(terminal);
            r = runCli(args);
        }
        ::close(terminal);
        ::close(master);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.substr(0, note.size()), note);
        if (args[1] != "--record") {
            EXPECT_EQ(r.out, sampleJson);
        } else {
            EXPECT_NE(r.out.find("\"Value\": \"00"), std::string::npos) << r.out;
        }
    }
}

#endif

TEST(ReplayInput, RejectedLinesAreEscapedAndCut)
{
    test::ScratchDir dir;
    struct Case {
        const char *name;
        std::string line;
        std::string shown;
    };
    const std::string e = "\xC3\xA9"; // U+00E9
    std::string e81, e80;
    for (int i = 0; i < 81; ++i)
        e81 += e;
    e80 = e81.substr(0, 160);
    std::string esc80;
    for (int i = 0; i < 80; ++i)
        esc80 += "\\x1b";
    const Case cases[] = {
        {"title and clear screen", "\x1B]0;x\a\x1B[2J", "\\x1b]0;x\\x07\\x1b[2J"},
        {"UTF-8 kept, the meter's byte escaped", "caf" + e + " \xB5V", "caf" + e + " \\xb5V"},
        {"backslash", "back\\slash \\x1b", "back\\\\slash \\\\x1b"},
        {"delete and C1 CSI", "\x7F\xC2\x9B" "2J", "\\x7f\\xc2\\x9b2J"},
        {"sequence cut short", "1\xE2\x82", "1\\xe2\\x82"},
        {"nul and tab", std::string("a\0b\tc", 5), "a\\x00b\\x09c"},
        {"CR LF line end", "hello\r", "hello"},
        {"CR inside", "he\rllo", "he\\x0dllo"},
        {"almost a report", "R 00  0Z", "R 00  0Z"},
        {"80 characters", std::string(80, 'x'), std::string(80, 'x')},
        {"81 characters", std::string(81, 'x'), std::string(80, 'x') + "... (81 bytes)"},
        {"81 two-byte characters", e81, e80 + "... (162 bytes)"},
        {"100 escapes", std::string(100, '\x1B'), esc80 + "... (100 bytes)"},
    };
    for (const Case &c : cases) {
        test::writeFile(dir / "capture.txt", c.line + "\n");
        const CliRun r = runCli({"replay", dir / "capture.txt"});
        EXPECT_EQ(r.status, 2) << c.name;
        EXPECT_EQ(r.err, "tolmar-cli: replay: line 1 is not a report: " + c.shown + "\n") << c.name;
    }
}

// Starts the peak resident size of this process afresh: false where the
// kernel does not let it.
bool resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

// The peak resident size in kB since resetPeak(), or -1.
long peakKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

TEST(ReplayInput, AHugeLineIsCutWithoutHoldingIt)
{
    test::ScratchDir dir;
    const std::string path = dir / "huge.txt";
    // A 64 MiB line of zero bytes in report form, then the sample capture:
    // its reading still comes.
    const std::size_t zeros = (64u << 20) / 3;
    {
        std::ofstream out(path, std::ios::binary);
        out << "R 00 ";
        std::string zeroBlock;
        for (int i = 0; i < 4096; ++i)
            zeroBlock += " 00";
        for (std::size_t written = 0; written < zeros; written += 4096)
            out << zeroBlock;
        out << "\n" << test::readFile(capturePath);
    }
    const std::uint64_t length = 5 + 3 * ((zeros + 4095) / 4096 * 4096);
    std::string start = "R 00 ";
    while (start.size() < 80)
        start += " 00";
    start.resize(80);

    const bool peakKnown = resetPeak();
    const long before = peakKb();
    const CliRun r = runCli({"replay", "--decimal-separator", ".", path});
    const long after = peakKb();
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tolmar-cli: replay: line 1 is too long to be a report: " + start + "... ("
                         + std::to_string(length) + " bytes)\n");
    EXPECT_EQ(r.out, sampleJson);
    if (peakKnown && before > 0) {
        EXPECT_LT(after - before, 16 * 1024) << "kB more at the peak for a 64 MiB line";
    }
}

TEST(ReplayInput, ALongReportLineIsStillAReport)
{
    // The first report of the sample capture with 500,000 blanks after it.
    test::ScratchDir dir;
    std::string capture = test::readFile(capturePath);
    capture.insert(capture.find('\n'), std::string(500000, ' '));
    test::writeFile(dir / "wide.txt", capture);
    const CliRun r = runCli({"replay", "--decimal-separator", ".", dir / "wide.txt"});
    EXPECT_EQ(r.status, 0) << r.err.substr(0, 200);
    EXPECT_EQ(r.out, sampleJson);
}

TEST(ReplayInput, DoubleDashEndsTheOptions)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err; // found in standard error
    };
    const Case cases[] = {
        {{"replay", "--decimal-separator", ".", "--", capturePath}, 0, sampleJson, ""},
        {{"replay", "--", "--decimal-separator"}, 2, "", "cannot open --decimal-separator: No such file"},
        {{"replay", "--record", "--", "--every-frame"}, 2, "", "cannot open --every-frame: No such file"},
        {{"replay", "--", capturePath, capturePath}, 2, "", "replay takes one FILE"},
        {{"replay", capturePath, "--", capturePath}, 2, "", "replay takes one FILE"},
        {{"replay", "--bogus", capturePath}, 2, "", "unknown or incomplete option --bogus"},
    };
    for (const Case &c : cases) {
        const CliRun r = runCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back();
        EXPECT_EQ(r.out, c.out) << c.args.back();
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

} // namespace
} // namespace tolmar
