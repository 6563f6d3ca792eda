#include "cli/CliRun.h" // tests/cli

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tolmar {
namespace {

using test::CliRun;
using test::goldenFile;
using test::readFile;
using test::runCli;
using test::ScratchDir;
using test::writeFile;

// The packet around its rows, as we write it.
const std::string packetOpen =
    R"(<?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0"><METADATA><FIELDS>)"
    R"(<FIELD attrname="No" fieldtype="i4"/><FIELD attrname="Time" fieldtype="time"/>)"
    R"(<FIELD attrname="DC/AC" fieldtype="string" WIDTH="20"/><FIELD attrname="Value" fieldtype="string" WIDTH="20"/>)"
    R"(<FIELD attrname="Unit" fieldtype="string" WIDTH="20"/><FIELD attrname="Auto" fieldtype="string" WIDTH="20"/>)"
    R"(<FIELD attrname="Nval" fieldtype="i4"/></FIELDS><PARAMS/></METADATA><ROWDATA>)";
const std::string packetClose = "</ROWDATA></DATAPACKET>";
const std::string header = "No\tTime\tFunc\tValue\tUnit\tJudge\r\n";

class CliConvert : public ::testing::Test {
protected:
    test::CLocaleScope m_locale;
    ScratchDir m_dir;
};

// IN (a golden file) converted under the name OUT gives the golden EXPECTED.
struct RoundTrip {
    const char *in;
    const char *out; // the output's name: its extension picks the kind
    const char *expected;
};

class CliConvertGoldens : public CliConvert, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(CliConvertGoldens, WritesTheGoldenBytes)
{
    const RoundTrip &c = GetParam();
    const std::string out = m_dir / c.out;
    const CliRun r = runCli({"convert", goldenFile(c.in), out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(out), readFile(goldenFile(c.expected)));
    EXPECT_EQ(m_dir.names(), std::vector<std::string>{c.out}) << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliConvertGoldens,
    ::testing::Values(
        // Our own packets come back byte for byte.
        RoundTrip{"packet-empty.xml", "out.xml", "packet-empty.xml"},
        RoundTrip{"packet-short-frame.xml", "out.xml", "packet-short-frame.xml"},
        RoundTrip{"packet-long-frame.xml", "out.xml", "packet-long-frame.xml"},
        RoundTrip{"packet-nulls.xml", "out.xml", "packet-nulls.xml"},
        RoundTrip{"packet-escapes.xml", "out.xml", "packet-escapes.xml"},
        RoundTrip{"packet-negative.xml", "out.xml", "packet-negative.xml"},
        RoundTrip{"packet-time-edges.xml", "out.xml", "packet-time-edges.xml"},
        RoundTrip{"packet-windows-1252.utf8.xml", "out.xml", "packet-windows-1252.utf8.xml"},
        // Foreign packets as we save them: no change log, no extra fields,
        // our layout, UTF-8.
        RoundTrip{"packet-change-log.xml", "out.xml", "packet-change-log.resaved.xml"},
        RoundTrip{"packet-extra-field.xml", "out.xml", "packet-extra-field.resaved.xml"},
        RoundTrip{"packet-tolerant.xml", "out.xml", "packet-short-frame.xml"},
        RoundTrip{"packet-windows-1252.xml", "out.xml", "packet-windows-1252.utf8.xml"},
        // Packets exported: any name but ".xml" is text.
        RoundTrip{"packet-empty.xml", "out.txt", "text-empty.txt"},
        RoundTrip{"packet-short-frame.xml", "out.xls", "text-short-frame.txt"},
        RoundTrip{"packet-short-frame.xml", "out.XML", "text-short-frame.txt"},
        RoundTrip{"packet-long-frame.xml", "out", "text-long-frame.txt"},
        RoundTrip{"packet-nulls.xml", "out.txt", "text-nulls.txt"},
        RoundTrip{"packet-negative.xml", "out.txt", "text-negative.txt"},
        RoundTrip{"packet-time-edges.xml", "out.txt", "text-time-edges.txt"},
        RoundTrip{"packet-windows-1252.xml", "out.txt", "text-windows-1252.utf8.txt"},
        // Exported text whose values survive trimming and "NULL" (every
        // time given, no blanks at the ends) imports and exports unchanged.
        RoundTrip{"text-empty.txt", "out.txt", "text-empty.txt"},
        RoundTrip{"text-short-frame.txt", "out.xls", "text-short-frame.txt"},
        RoundTrip{"text-long-frame.txt", "out.txt", "text-long-frame.txt"},
        RoundTrip{"text-time-edges.txt", "out.txt", "text-time-edges.txt"}),
    [](const auto &info) {
        std::string name = std::to_string(info.index) + "_" + info.param.in + "_" + info.param.out;
        for (char &c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST_F(CliConvert, TextImportsIntoPacketAndText)
{
    // Every kind of line end, short lines, a header of nine pieces.
    const std::string packet = m_dir / "line-ends.xml";
    ASSERT_EQ(runCli({"convert", goldenFile("text-import-line-ends.txt"), packet}).status, 0);
    EXPECT_EQ(readFile(packet), packetOpen
                                    + R"(<ROW No="1" Time="10:00:00000" DC/AC="DC" Value="1.000" Unit=" V" )"
                                      R"(Auto="pass" Nval="1000"/><ROW No="2" Time="10:00:01000" DC/AC="AC"/>)"
                                      R"(<ROW No="3" Time="10:00:02000"/><ROW No="4"/>)"
                                    + packetClose);

    // Windows-1252 text comes out as UTF-8.
    const std::string text = m_dir / "windows-1252.txt";
    ASSERT_EQ(runCli({"convert", goldenFile("text-import-windows-1252.txt"), text}).status, 0);
    EXPECT_EQ(readFile(text), header
                                  + "1\t10:00:00\tDC\t12.34\t\xc2\xb5"
                                    "A\tpass\r\n"
                                    "2\t10:00:01\tAC\t21.5\t\xc2\xb0"
                                    "C\t\xe2\x82\xac\r\n");
}

// Records without a date go through comma-separated values and come back
// byte for byte; the values written again are the same bytes.
TEST_F(CliConvert, PacketsGoThroughCommaSeparatedValuesUnchanged)
{
    for (const char *name : {"packet-empty.xml", "packet-short-frame.xml", "packet-long-frame.xml", "packet-nulls.xml",
                             "packet-escapes.xml", "packet-negative.xml", "packet-time-edges.xml"}) {
        SCOPED_TRACE(name);
        const std::string csv = m_dir / "table.csv", again = m_dir / "again.CSV", packet = m_dir / "back.xml";
        ASSERT_EQ(runCli({"convert", goldenFile(name), csv}).status, 0);
        const CliRun r = runCli({"convert", csv, packet});
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(runCli({"convert", csv, again}).status, 0);
        // Units in the LCD font's characters go to Unicode and back (a
        // foreign file's "µA" comes back as the font's "+A").
        EXPECT_EQ(readFile(packet), readFile(goldenFile(name)));
        EXPECT_EQ(readFile(again), readFile(csv));
    }
    const std::string bad = m_dir / "bad.csv";
    writeFile(bad, "No,Time\r\n");
    const CliRun r = runCli({"convert", bad, m_dir / "out.xml"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tolmar-cli: convert: Failed to Load File! " + bad
                         + ": line 1: the header is not \"No,Time,Func,Value,Display,Unit,Judge,Nval\": the file is "
                           "no table of records\n");
}

TEST_F(CliConvert, AFileConvertedOntoItselfIsReplacedWhole)
{
    const std::string packet = m_dir / "table.xml";
    writeFile(packet, readFile(goldenFile("packet-change-log.xml")));
    ASSERT_EQ(runCli({"convert", packet, packet}).status, 0);
    EXPECT_EQ(readFile(packet), readFile(goldenFile("packet-change-log.resaved.xml")));

    const std::string text = m_dir / "table.txt";
    writeFile(text, readFile(goldenFile("text-short-frame.txt")));
    ASSERT_EQ(runCli({"convert", text, text}).status, 0);
    EXPECT_EQ(readFile(text), readFile(goldenFile("text-short-frame.txt")));
}

// An IN that does not load: the message, and OUT as it was.
struct Refused {
    const char *name;
    const char *inName;
    std::string inBytes; // empty: IN does not exist
    // Where it failed (or why it did not open), after "Failed to Load File! IN: ".
    std::string where;
};

class CliConvertRefused : public CliConvert, public ::testing::WithParamInterface<Refused> {};

TEST_P(CliConvertRefused, LeavesOutAsItWas)
{
    const Refused &c = GetParam();
    const std::string in = m_dir / c.inName;
    if (!c.inBytes.empty())
        writeFile(in, c.inBytes);
    for (const char *outName : {"kept.xml", "kept.txt", "new.xml", "new.txt"}) {
        const std::string out = m_dir / outName;
        const bool existed = std::string(outName).rfind("kept", 0) == 0;
        if (existed)
            writeFile(out, "the previous file\r\n");
        const auto before = m_dir.names();
        const CliRun r = runCli({"convert", in, out});
        EXPECT_EQ(r.status, 1) << outName;
        EXPECT_EQ(r.out, "");
        const std::string start = "tolmar-cli: convert: Failed to Load File! " + in + ": " + c.where;
        EXPECT_EQ(r.err.rfind(start, 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_EQ(m_dir.names(), before) << outName << ": created, or a temporary file left behind";
        if (existed) {
            EXPECT_EQ(readFile(out), "the previous file\r\n") << outName;
        }
    }
}

std::string shortFramePacket()
{
    return packetOpen + R"(<ROW No="1" Time="14:05:07250" DC/AC="DC" Value="00.66" Unit=" V" Auto="pass"/>)"
        + packetClose;
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliConvertRefused,
    ::testing::Values(
        Refused{"Missing", "missing.txt", "", "No such file or directory"},
        Refused{"MissingPacket", "missing.xml", "", "No such file or directory"},
        // The first record line has the time "NULL".
        Refused{"TextTimeNull", "nulls.txt", header + "1\t10:00:00\tDC\r\n3\tNULL\tNULL\r\n",
                "line 3: "},
        Refused{"TextEightPieces", "wide.txt", header + "1\t10:00:00\t\t\t\t\t\t\r\n", "line 2: "},
        Refused{"PacketCutShort", "cut.xml", shortFramePacket().substr(0, 300), "byte 300: "},
        Refused{"PacketWrongWidth", "width.xml",
                [] {
                    std::string p = shortFramePacket();
                    p.replace(p.find(R"(WIDTH="20")"), 10, R"(WIDTH="40")");
                    return p;
                }(),
                "byte 162: "}),
    [](const auto &info) { return std::string(info.param.name); });

#ifdef __linux__ // /dev/full
TEST_F(CliConvert, OutThatCannotBeWrittenFails)
{
    const std::string in = goldenFile("packet-short-frame.xml");
    ASSERT_EQ(::symlink("/dev/full", (m_dir / "full.xml").c_str()), 0);
    std::filesystem::create_directory(m_dir / "folder.txt");
    struct Case {
        std::string out;
        std::string error;
    };
    const std::vector<Case> cases = {
        {m_dir / "none/out.xml", "Cannot create file \"" + (m_dir / "none/out.xml") + "\". No such file or directory"},
        {m_dir / "none/out.txt",
         "Could not save table to specified file: " + (m_dir / "none/out.txt") + " (No such file or directory)"},
        {m_dir / "folder.txt",
         "Could not save table to specified file: " + (m_dir / "folder.txt") + " (Is a directory)"},
        // Created, but the bytes do not go in.
        {"/dev/full", "Could not save table to specified file: /dev/full (No space left on device)"},
        {m_dir / "full.xml", "Cannot create file \"" + (m_dir / "full.xml") + "\". No space left on device"},
    };
    for (const Case &c : cases) {
        const CliRun r = runCli({"convert", in, c.out});
        EXPECT_EQ(r.status, 1) << c.out;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "tolmar-cli: convert: " + c.error + "\n");
    }
    EXPECT_EQ(m_dir.names(), (std::vector<std::string>{"folder.txt", "full.xml"}));
}
#endif

#ifdef __linux__ // /dev/zero
TEST_F(CliConvert, QuotesTheFileEscapedAndRefusesAFileWithoutEnd)
{
    // A file's bytes in the message cannot drive the terminal.
    const std::string evil = m_dir / "evil.txt";
    writeFile(evil, header + "\x1b]0;pwned\a\x1b[31m\r\n");
    const std::string zeros = m_dir / "zeros.xml";
    ASSERT_EQ(::symlink("/dev/zero", zeros.c_str()), 0);
    const struct {
        std::string in;
        std::string where;
    } cases[] = {
        {evil, "line 2: No \"\\x1b]0;pwned\\x07\\x1b[31m\" is not an integer"},
        // A first line that never ends is refused once it is longer than a
        // header can be; a packet that does not start, at its first byte.
        {"/dev/zero", "line 1: the first line is longer than 569 bytes: it is no header of a table"},
        {zeros, "byte 0: text outside a tag"},
    };
    for (const auto &c : cases) {
        const std::string out = m_dir / "out.xml";
        const CliRun r = runCli({"convert", c.in, out});
        EXPECT_EQ(r.status, 1) << c.in;
        EXPECT_EQ(r.err, "tolmar-cli: convert: Failed to Load File! " + c.in + ": " + c.where + "\n");
        EXPECT_FALSE(std::filesystem::exists(out)) << c.in;
    }
}
#endif

TEST(CliConvertUsage, NeedsInAndOut)
{
    const std::vector<std::vector<std::string>> bad = {
        {"convert"}, {"convert", "a.txt"}, {"convert", "a.txt", "b.txt", "c.txt"}, {"convert", "--bogus", "a", "b"},
        {"convert", "", "b.txt"},
    };
    for (const auto &args : bad) {
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_EQ(r.err.rfind("tolmar-cli: convert", 0), 0u) << r.err;
    }
    const CliRun help = runCli({"--help"});
    EXPECT_NE(help.out.find("  convert IN OUT\n"), std::string::npos);
}

} // namespace
} // namespace tolmar
