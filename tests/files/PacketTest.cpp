#include "files/Packet.h"

#include "files/ByteStreams.h"
#include "files/TextEncoding.h"
#include "platform/BackgroundWork.h"
#include "record/ReadingTable.h"
#include "tests/files/FileTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace tolmar {
namespace {

using namespace filetest;

std::string packetOf(const ReadingTable &table)
{
    StringSink sink;
    EXPECT_TRUE(writePacket(table.snapshot(), sink));
    return sink.text;
}

LoadResult readInto(ByteSource &source, ReadingTable &table)
{
    return readPacket(source, table);
}

const std::string micro20 = [] {
    std::string s;
    for (int i = 0; i < 20; ++i)
        s += "\xc2\xb5";
    return s;
}();

const Row shortFrame{.No = 1, .Time = ms(14, 5, 7, 250), .DCAC = "DC", .Value = "00.66", .Unit = " V", .Auto = "pass"};
const Row longFrame{.No = 2, .Time = ms(9, 30, 0), .DCAC = "OHM", .Value = "1.234", .Unit = "K*", .Auto = "Fail",
                    .Nval = 1234};

// Each golden packet and the rows it holds when read.
struct PacketGolden {
    const char *file;
    bool ours; // the exact bytes our writer produces for these rows
    std::vector<Row> rows;
};

const std::vector<PacketGolden> &packetGoldens()
{
    static const std::vector<PacketGolden> goldens = {
        {"packet-empty.xml", true, {}},
        {"packet-short-frame.xml", true, {shortFrame}},
        {"packet-long-frame.xml", true, {longFrame}},
        {"packet-nulls.xml", true,
         {{.No = 3}, {.Nval = -7}, {.Time = ms(0, 0, 1), .Value = "OL"}, {}, {.No = 4, .DCAC = "AC", .Unit = "mV"}}},
        {"packet-escapes.xml", true,
         {{.No = 1, .DCAC = "a<b>c&d", .Value = "'\"\\", .Unit = "x\ry\nz\tw", .Auto = "<>&'\"\r\n\t\\"}}},
        {"packet-negative.xml", true,
         {{.No = -1, .Time = ms(12, 0, 0), .Value = "-0.001", .Nval = INT32_MIN},
          {.No = INT32_MAX, .Value = "-40.00", .Nval = -4000},
          {.No = 0, .Nval = 0}}},
        {"packet-time-edges.xml", true,
         {{.No = 1, .Time = 0}, {.No = 2, .Time = ms(23, 59, 59, 999)}, {.No = 3, .Time = ms(12, 34, 56, 789)},
          {.No = 4, .Time = 1}}},
        {"packet-change-log.resaved.xml", true,
         {{.No = 1, .Time = ms(10, 0, 0), .DCAC = "DC", .Value = "1.000", .Unit = " V", .Nval = 1000},
          {.No = 2, .Time = ms(10, 0, 1), .DCAC = "DC", .Value = "1.001", .Unit = " V", .Nval = 1001},
          {.No = 3, .Time = ms(10, 0, 2), .DCAC = "DC", .Value = "1.002", .Unit = " V", .Nval = 1002}}},
        {"packet-change-log.xml", false,
         {{.No = 1, .Time = ms(10, 0, 0), .DCAC = "DC", .Value = "1.000", .Unit = " V", .Nval = 1000, .changeState = 4},
          {.No = 2, .Time = ms(10, 0, 1), .DCAC = "DC", .Value = "1.001", .Unit = " V", .Nval = 1001, .changeState = 4},
          {.No = 3, .Time = ms(10, 0, 2), .DCAC = "DC", .Value = "1.002", .Unit = " V", .Nval = 1002}}},
        {"packet-extra-field.resaved.xml", true,
         {{.No = 1, .Time = ms(8, 0, 0, 500), .DCAC = "DC", .Value = "0.005", .Unit = " V", .Auto = "pass", .Nval = 5},
          {.No = 2, .Value = "0.006"}}},
        {"packet-extra-field.xml", false,
         {{.No = 1, .Time = ms(8, 0, 0, 500), .DCAC = "DC", .Value = "0.005", .Unit = " V", .Auto = "pass", .Nval = 5},
          {.No = 2, .Value = "0.006"}}},
        {"packet-tolerant.xml", false, {shortFrame}},
        {"packet-windows-1252.utf8.xml", true,
         {{.No = 1, .Time = ms(10, 0, 0), .DCAC = "DC", .Value = "12.34", .Unit = "\xc2\xb5" "A", .Nval = 1234},
          {.No = 2, .Value = "21.5", .Unit = "\xc2\xb0" "C"},
          {.No = 3, .Auto = "\xe2\x82\xac 5 & \xc2\x81"},
          {.No = 4, .Value = micro20}}},
        {"packet-windows-1252.xml", false,
         {{.No = 1, .Time = ms(10, 0, 0), .DCAC = "DC", .Value = "12.34", .Unit = "\xc2\xb5" "A", .Nval = 1234},
          {.No = 2, .Value = "21.5", .Unit = "\xc2\xb0" "C"},
          {.No = 3, .Auto = "\xe2\x82\xac 5 & \xc2\x81"},
          {.No = 4, .Value = micro20}}},
        {"packet-long-texts.xml", false,
         {{.No = 1, .DCAC = micro20, .Value = "12345678901234567890", .Unit = "1234567890123456789&",
           .Auto = "12345678901234567890"}}},
    };
    return goldens;
}

TEST(PacketWriter, WritesTheGoldenBytes)
{
    for (const PacketGolden &g : packetGoldens()) {
        if (!g.ours)
            continue;
        SCOPED_TRACE(g.file);
        // As recorded (state 4) and as loaded (state 0): we write no change
        // log either way.
        EXPECT_TRUE(sameBytes(packetOf(tableOf(asRecorded(g.rows))), golden(g.file)));
        EXPECT_TRUE(sameBytes(packetOf(tableOf(g.rows)), golden(g.file)));
    }
}

TEST(PacketReader, ReadsEveryGolden)
{
    for (const PacketGolden &g : packetGoldens()) {
        SCOPED_TRACE(g.file);
        FileSource file(goldenPath(g.file));
        ASSERT_TRUE(file.ok()) << file.error();
        ReadingTable table;
        const LoadResult result = readInto(file, table);
        EXPECT_TRUE(result.loaded()) << result.where();
        EXPECT_EQ(rowsOf(table), g.rows);
    }
}

TEST(PacketReader, ReadsEveryGoldenOneByteAtATime)
{
    for (const PacketGolden &g : packetGoldens()) {
        SCOPED_TRACE(g.file);
        const std::string bytes = golden(g.file);
        OneByteSource source(bytes);
        ReadingTable table;
        const LoadResult result = readInto(source, table);
        EXPECT_TRUE(result.loaded()) << result.where();
        EXPECT_EQ(rowsOf(table), g.rows);
    }
}

TEST(PacketReader, ForeignPacketsAreSavedInOurForm)
{
    const struct {
        const char *foreign;
        const char *ours;
    } cases[] = {
        {"packet-change-log.xml", "packet-change-log.resaved.xml"},
        {"packet-extra-field.xml", "packet-extra-field.resaved.xml"},
        {"packet-tolerant.xml", "packet-short-frame.xml"},
        {"packet-windows-1252.xml", "packet-windows-1252.utf8.xml"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.foreign);
        const std::string bytes = golden(c.foreign);
        MemorySource source(bytes);
        ReadingTable table;
        ASSERT_TRUE(readInto(source, table).loaded());
        EXPECT_TRUE(sameBytes(packetOf(table), golden(c.ours)));
    }
}

TEST(PacketReader, RowStateBecomesTheChangeState)
{
    // Any state a file gives is kept, not only 4; it is not written back.
    std::string bytes = golden("packet-short-frame.xml");
    bytes.replace(bytes.find("<ROW "), 5, "<ROW RowState=\"8\" ");
    MemorySource source(bytes);
    ReadingTable table;
    ASSERT_TRUE(readInto(source, table).loaded());
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.at(0).changeState, 8);
    EXPECT_EQ(rowOf(table.at(0)).Value, "00.66");
    EXPECT_TRUE(sameBytes(packetOf(table), golden("packet-short-frame.xml")));
}

TEST(PacketRoundTrip, TextsComeBackUnchanged)
{
    const std::vector<std::string> texts = {
        "&", "\"", "a&b\"c", "&amp;", "&#013;", "&lt;ROW", "<ROW/>", "x=\"1\"", "/>", "</ROWDATA>",
        "\r", "\n", "\t", "\r\n", "a\tb\rc\nd", "<>&'\"\r\n\t\\", "'", "\\\\", " ", "  lead and trail ",
        "\xc2\xb5" "A", "\xe2\x82\xac", "\xf0\x9f\x94\x8c", micro20, "]]>", "?>", "=", "12345678901234567890",
    };
    std::vector<Row> rows;
    for (std::size_t i = 0; i < texts.size(); ++i)
        rows.push_back({.No = static_cast<std::int32_t>(i), .Time = static_cast<std::int32_t>(i * 1001),
                        .DCAC = texts[i], .Value = texts[i], .Unit = texts[i], .Auto = texts[i],
                        .Nval = -static_cast<std::int32_t>(i)});
    const std::string bytes = packetOf(tableOf(rows));
    EXPECT_EQ(bytes.find('\n'), std::string::npos) << "one line";
    EXPECT_EQ(bytes.find('\r'), std::string::npos);
    EXPECT_EQ(bytes.find('\t'), std::string::npos);
    MemorySource source(bytes);
    ReadingTable back;
    const LoadResult result = readInto(source, back);
    ASSERT_TRUE(result.loaded()) << result.where();
    EXPECT_EQ(rowsOf(back), rows);
}

TEST(PacketRoundTrip, MeterBytesAndUTF8InOneTableBothSurvive)
{
    // A live record keeps the meter's own byte (0xB5, shown as the micro
    // sign); a record loaded from a Windows-1252 file holds UTF-8. The packet
    // is written in UTF-8, so the loaded text is not read back as
    // Windows-1252 and garbled.
    const std::vector<Row> rows = {{.No = 1, .Value = "1.5", .Unit = "\xb5" "A"},
                                   {.No = 2, .Value = "1.6", .Unit = "\xc2\xb5" "A"}};
    const std::string bytes = packetOf(tableOf(rows));
    Utf8Validator utf8;
    EXPECT_TRUE(utf8.feed(bytes.data(), bytes.size()) && utf8.complete()) << "the packet is written in UTF-8";
    MemorySource source(bytes);
    ReadingTable back;
    ASSERT_TRUE(readInto(source, back).loaded());
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(rowOf(back.at(1)).Unit, "\xc2\xb5" "A") << "the UTF-8 text comes back as it was";
    EXPECT_EQ(rowOf(back.at(0)).Unit, "\xc2\xb5" "A") << "the meter byte comes back as the sign it showed";
}

TEST(PacketRoundTrip, NumbersAndTimesAtTheirLimits)
{
    std::vector<Row> rows;
    for (const std::int32_t n : {INT32_MIN, INT32_MIN + 1, -1000000, -1, 0, 1, 9, 10, 99999, INT32_MAX})
        rows.push_back({.No = n, .Nval = n});
    for (const std::int32_t t : {0, 1, 999, 1000, 59999, 60000, ms(9, 59, 59, 999), ms(23, 59, 59, 999)})
        rows.push_back({.Time = t});
    const std::string bytes = packetOf(tableOf(rows));
    MemorySource source(bytes);
    ReadingTable back;
    const LoadResult result = readInto(source, back);
    ASSERT_TRUE(result.loaded()) << result.where() << " in " << bytes.substr(480);
    EXPECT_EQ(rowsOf(back), rows);
}

TEST(PacketTime, TextsAndBack)
{
    const struct {
        std::int32_t time;
        const char *text;
    } cases[] = {
        {0, "00:00:00000"},
        {1, "00:00:00001"},
        {ms(14, 5, 7, 250), "14:05:07250"},
        {ms(9, 30, 0), "09:30:00000"},
        {ms(0, 0, 59, 999), "00:00:59999"},
        {ms(23, 59, 59, 999), "23:59:59999"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(packetTimeText(c.time), c.text);
        std::int32_t back = -1;
        EXPECT_TRUE(parsePacketTime(c.text, back)) << c.text;
        EXPECT_EQ(back, c.time) << c.text;
    }
    for (const char *bad : {"", "14:05:07", "14:05:07.250", "24:00:00000", "14:60:00000", "14:05:60000",
                            "4:05:07250", "14:5:007250", "14:05:7250", "14:05:072500", "14-05-07250",
                            " 14:05:07250", "14:05:07250 ", "-1:05:07250", "ab:cd:efghi", "14:05:+7250"}) {
        std::int32_t back = -1;
        EXPECT_FALSE(parsePacketTime(bad, back)) << '"' << bad << '"';
    }
}

// A refused packet: where the fault is. The reported offset must lie from the
// first occurrence of `from` to the end of the first `to` after it (the end
// of the packet when `to` is empty), so a reader may point at the tag or at
// the byte inside it.
struct Refusal {
    const char *name;
    std::string packet;
    std::string from;
    std::string to;
};

std::string replaced(std::string text, const std::string &what, const std::string &with)
{
    const std::size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    if (at != std::string::npos)
        text.replace(at, what.size(), with);
    return text;
}

std::vector<Refusal> refusals()
{
    const std::string row = golden("packet-short-frame.xml");
    const std::string empty = golden("packet-empty.xml");
    const std::string declaration = "<?xml version=\"1.0\" standalone=\"yes\"?>  ";
    const auto badAttribute = [&](const char *name, const std::string &what, const std::string &with) {
        return Refusal{name, replaced(row, what, with), "<ROW", with};
    };
    const auto badField = [&](const char *name, const std::string &what, const std::string &with) {
        // Judged at the field, at the end of the fields or when the rows begin.
        return Refusal{name, replaced(row, what, with), with.empty() ? "</FIELDS>" : with, "<ROWDATA>"};
    };
    std::vector<Refusal> cases = {
        // Not well formed.
        {"empty file", "", "", ""},
        {"only the declaration", declaration, "", ""},
        {"cut inside the declaration", row.substr(0, 20), "", ""},
        {"cut inside a tag", row.substr(0, row.find("Auto=\"pa") + 8), "<ROW", ""},
        {"cut after a start tag", empty.substr(0, empty.find("</ROWDATA>")), "<ROWDATA>", ""},
        {"cut before the last end tag", empty.substr(0, empty.size() - 13), "</ROWDATA>", ""},
        badAttribute("unquoted value", "No=\"1\"", "No=1"),
        badAttribute("value without '='", "No=\"1\"", "No \"1\""),
        badAttribute("no blank between attributes", "No=\"1\" Time", "No=\"1\"Time"),
        badAttribute("attribute given twice", "No=\"1\"", "No=\"1\" No=\"2\""),
        badAttribute("too many attributes", "No=\"1\"", [] {
            std::string many = "No=\"1\"";
            for (int i = 0; i < 300; ++i)
                many += " a" + std::to_string(i) + "=\"\"";
            return many;
        }()),
        badAttribute("unknown entity", "Value=\"00.66\"", "Value=\"&foo;\""),
        badAttribute("raw ampersand", "Value=\"00.66\"", "Value=\"a&b\""),
        badAttribute("reference without ';'", "Value=\"00.66\"", "Value=\"&amp\""),
        badAttribute("bad hex reference", "Value=\"00.66\"", "Value=\"&#xZZ;\""),
        badAttribute("empty reference", "Value=\"00.66\"", "Value=\"&#;\""),
        badAttribute("reference past U+10FFFF", "Value=\"00.66\"", "Value=\"&#1114112;\""),
        badAttribute("reference to NUL", "Value=\"00.66\"", "Value=\"&#0;\""),
        badAttribute("'<' in a value", "Value=\"00.66\"", "Value=\"a<b\""),
        {"unclosed empty tag", replaced(row, "Auto=\"pass\"/>", "Auto=\"pass\""), "<ROW", "</ROWDATA>"},
        {"mismatched end tag", replaced(row, "</ROWDATA>", "</ROWDAT>"), "</ROWDAT>", "</ROWDAT>"},
        {"end tags swapped", replaced(empty, "</ROWDATA></DATAPACKET>", "</DATAPACKET></ROWDATA>"),
         "</DATAPACKET>", "</DATAPACKET>"},
        {"end tag without its start", replaced(row, "/></ROWDATA>", "></ROW></ROW></ROWDATA>"), "<ROW",
         "</ROW></ROW>"},
        {"end tag with attributes", replaced(row, "</ROWDATA>", "</ROWDATA x=\"1\">"), "</ROWDATA", "</ROWDATA x=\"1\">"},
        {"end tag without a name", replaced(row, "</ROWDATA>", "</ ROWDATA>"), "</ ROWDATA>", "</ ROWDATA>"},
        {"text between tags", replaced(row, "<ROWDATA><ROW", "<ROWDATA>x<ROW"), "x<ROW", "x"},
        {"text after the packet", row + "x", "</DATAPACKET>", ""},
        {"second root element", empty + "<DATAPACKET/>", "<DATAPACKET/>", "<DATAPACKET/>"},
        {"comment", replaced(row, "<ROWDATA>", "<ROWDATA><!-- note -->"), "<!--", "<!--"},
        {"CDATA", replaced(row, "<ROWDATA>", "<ROWDATA><![CDATA[x]]>"), "<![CDATA[", "<![CDATA["},
        {"document type", replaced(row, "  <DATAPACKET", "<!DOCTYPE DATAPACKET><DATAPACKET"), "<!DOCTYPE", "<!DOCTYPE"},
        {"processing instruction", replaced(row, "<ROWDATA>", "<ROWDATA><?pi x?>"), "<?pi", "<?pi x?>"},
        // Not a packet of this table.
        {"another root element", declaration + "<TABLE><ROWDATA></ROWDATA></TABLE>", "<TABLE>", ""},
        {"no METADATA before ROWDATA",
         declaration + "<DATAPACKET Version=\"2.0\"><ROWDATA><ROW No=\"1\"/></ROWDATA></DATAPACKET>", "<ROWDATA>",
         "<ROW No=\"1\"/>"},
        {"no ROWDATA", replaced(empty, "<ROWDATA></ROWDATA>", ""), "</METADATA>", ""},
        badField("Nval is i2", "<FIELD attrname=\"Nval\" fieldtype=\"i4\"/>", "<FIELD attrname=\"Nval\" fieldtype=\"i2\"/>"),
        badField("No is a string", "<FIELD attrname=\"No\" fieldtype=\"i4\"/>",
                 "<FIELD attrname=\"No\" fieldtype=\"string\" WIDTH=\"20\"/>"),
        badField("Time is a dateTime", "<FIELD attrname=\"Time\" fieldtype=\"time\"/>",
                 "<FIELD attrname=\"Time\" fieldtype=\"dateTime\"/>"),
        badField("Value is 30 wide", "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>",
                 "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"30\"/>"),
        badField("Unit without WIDTH", "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>",
                 "<FIELD attrname=\"Unit\" fieldtype=\"string\"/>"),
        badField("Auto as a wide string", "<FIELD attrname=\"Auto\" fieldtype=\"string\" WIDTH=\"20\"/>",
                 "<FIELD attrname=\"Auto\" fieldtype=\"string.uni\" WIDTH=\"20\"/>"),
        badField("no Nval field", "<FIELD attrname=\"Nval\" fieldtype=\"i4\"/>", ""),
        badField("no DC/AC field", "<FIELD attrname=\"DC/AC\" fieldtype=\"string\" WIDTH=\"20\"/>", ""),
        badField("DC/AC renamed", "<FIELD attrname=\"DC/AC\" fieldtype=\"string\" WIDTH=\"20\"/>",
                 "<FIELD attrname=\"DCAC\" fieldtype=\"string\" WIDTH=\"20\"/>"),
    };
    // Numbers: -?digits within 32 bits, nothing else.
    for (const char *no : {"", "1x", "x", "1.5", " 1", "1 ", "+1", "--1", "-", "0x1", "2147483648", "-2147483649",
                           "99999999999999999999"})
        cases.push_back(badAttribute("bad i4", "No=\"1\"", std::string("No=\"") + no + "\""));
    cases.push_back(badAttribute("bad i4 in Nval", "Auto=\"pass\"", "Auto=\"pass\" Nval=\"12,5\""));
    for (const char *time : {"", "14:05:07", "24:00:00000", "14:60:00000", "14:05:60000", "14:5:007250",
                             "14:05:07250 ", "ab:cd:efghi", "-1:05:07250", "14:05:07.25"})
        cases.push_back(badAttribute("bad time", "Time=\"14:05:07250\"", std::string("Time=\"") + time + "\""));
    return cases;
}

void expectRefused(const Refusal &c, ByteSource &source, const char *how)
{
    const std::size_t near = c.from.empty() ? 0 : c.packet.find(c.from);
    SCOPED_TRACE(std::string(c.name) + " (" + how + "), near: " +
                 ::testing::PrintToString(c.packet.substr(near == std::string::npos ? 0 : near, 120)));
    ReadingTable table;
    const LoadResult result = readPacket(source, table);
    if (result.status != LoadResult::Status::Failed) {
        ADD_FAILURE() << "not refused";
        return;
    }
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(result.line, 0u);
    const std::size_t from = c.from.empty() ? 0 : c.packet.find(c.from);
    ASSERT_NE(from, std::string::npos) << "bad case: " << c.from;
    std::size_t to = c.packet.size();
    if (!c.to.empty()) {
        to = c.packet.find(c.to, from);
        ASSERT_NE(to, std::string::npos) << "bad case: " << c.to;
        to += c.to.size();
    }
    EXPECT_GE(result.offset, from) << result.where();
    EXPECT_LE(result.offset, to) << result.where();
    // The table stays usable.
    table.append(recordOf(shortFrame));
    EXPECT_EQ(rowOf(table.at(table.size() - 1)).Value, "00.66");
}

TEST(PacketReader, RefusesWhatIsNotAPacketOfThisTable)
{
    for (const Refusal &c : refusals()) {
        MemorySource whole(c.packet);
        expectRefused(c, whole, "whole");
        // Block boundaries must not move the offset.
        OneByteSource bytewise(c.packet);
        expectRefused(c, bytewise, "one byte at a time");
    }
}

TEST(PacketReader, RefusesBadReferencesInAttributesItIgnores)
{
    // An attribute of a field this table does not have, of PARAMS or of an
    // unknown element is not used, but a packet holding a bad reference is
    // not well formed wherever it stands.
    const std::string row = golden("packet-short-frame.xml");
    const auto refusal = [&](const char *name, const std::string &what, const std::string &with) {
        return Refusal{name, replaced(row, what, with), with, with};
    };
    const Refusal cases[] = {
        refusal("unknown entity in a ROW", "No=\"1\"", "No=\"1\" Comment=\"&foo;\""),
        refusal("raw ampersand in a ROW", "No=\"1\"", "No=\"1\" Comment=\"a & b\""),
        refusal("raw ampersand in PARAMS", "<PARAMS/>", "<PARAMS CHANGE_LOG=\"1 & 4\"/>"),
        refusal("bad reference in an unknown element", "<PARAMS/>", "<PARAMS/><EXTRA a=\"&#xZZ;\"/>"),
    };
    for (const Refusal &c : cases) {
        MemorySource whole(c.packet);
        expectRefused(c, whole, "whole");
    }
}

TEST(PacketReader, ARefusalInWindows1252NamesTheSameOffset)
{
    // The fault comes after a byte that is not UTF-8, so the reader has
    // started again as Windows-1252 before it finds it.
    const std::string bytes = replaced(replaced(golden("packet-short-frame.xml"), "00.66", "\xb5" "0.66"),
                                       "No=\"1\"", "No=\"1x\"");
    for (const bool bytewise : {false, true}) {
        MemorySource whole(bytes);
        OneByteSource single(bytes);
        ByteSource &source = bytewise ? static_cast<ByteSource &>(single) : whole;
        ReadingTable table;
        const LoadResult result = readPacket(source, table);
        EXPECT_EQ(result.status, LoadResult::Status::Failed);
        EXPECT_GE(result.offset, bytes.find("<ROW ")) << result.where();
        EXPECT_LE(result.offset, bytes.find("1x\"") + 3) << result.where();
    }
}

TEST(PacketReader, AReadErrorFails)
{
    const std::string bytes = golden("packet-short-frame.xml");
    BrokenSource source(bytes, 300);
    ReadingTable table;
    const LoadResult result = readPacket(source, table);
    EXPECT_EQ(result.status, LoadResult::Status::Failed);
    EXPECT_FALSE(result.error.empty());
}

// A packet of `count` rows written by hand, `middle` inserted before row
// `at`, the row `bad` broken, and one Windows-1252 byte in the last row when
// asked.
std::string bigPacket(int count, const std::string &middle = {}, int at = -1, bool windows1252 = false)
{
    const std::string empty = golden("packet-empty.xml");
    std::string bytes = empty.substr(0, empty.find("</ROWDATA>"));
    for (int i = 0; i < count; ++i) {
        if (i == at)
            bytes += middle;
        bytes += "<ROW No=\"" + std::to_string(i) + "\" Time=\"" + std::to_string(10 + i % 14) + ":00:0" +
                 std::to_string(1000 + i % 9000) + "\" DC/AC=\"DC\" Value=\"" + std::to_string(i % 4000) +
                 (windows1252 && i == count - 1 ? "\xb0" : "") + "\" Unit=\" V\" Auto=\"pass\" Nval=\"" +
                 std::to_string(-i) + "\"/>";
    }
    return bytes + "</ROWDATA></DATAPACKET>";
}

void expectBigRows(const ReadingTable &table, int count)
{
    ASSERT_EQ(table.size(), static_cast<std::size_t>(count));
    for (const int i : {0, 1, count / 3, count / 2, count - 2}) {
        const Row row = rowOf(table.at(static_cast<std::size_t>(i)));
        EXPECT_EQ(row.No, i);
        EXPECT_EQ(row.Time, ms(10 + i % 14, 0, 1 + i % 9000 / 1000, i % 1000));
        EXPECT_EQ(row.Value, std::to_string(i % 4000));
        EXPECT_EQ(row.Unit, " V");
        EXPECT_EQ(row.Nval, -i);
    }
}

TEST(PacketReader, ALongPacketReadsAcrossBlocks)
{
    constexpr int count = 60'000; // about 6 MB
    const std::string bytes = bigPacket(count);
    ASSERT_GT(bytes.size(), 4u << 20);
    MemorySource source(bytes);
    ReadingTable table;
    const LoadResult result = readPacket(source, table);
    ASSERT_TRUE(result.loaded()) << result.where();
    expectBigRows(table, count);
    EXPECT_EQ(rowOf(table.at(count - 1)).Value, std::to_string((count - 1) % 4000));
}

TEST(PacketReader, ATagLongerThanABlockIsRead)
{
    // An ignored attribute of 3 MiB: the row's tag spans any block the
    // reader may use.
    constexpr int count = 1000;
    const std::string middle = "<ROW Comment=\"" + std::string(3u << 20, 'c') + "\" No=\"-5\" Value=\"huge\"/>";
    const std::string bytes = bigPacket(count, middle, 500);
    MemorySource source(bytes);
    ReadingTable table;
    const LoadResult result = readPacket(source, table);
    ASSERT_TRUE(result.loaded()) << result.where();
    ASSERT_EQ(table.size(), static_cast<std::size_t>(count + 1));
    EXPECT_EQ(rowOf(table.at(500)), (Row{.No = -5, .Value = "huge"}));
    EXPECT_EQ(rowOf(table.at(501)).No, 500);
    EXPECT_EQ(rowOf(table.at(count)).No, count - 1);
}

TEST(PacketReader, AFaultFarIntoTheFileIsReportedAtItsOwnOffset)
{
    constexpr int count = 40'000;
    const std::string bad = "<ROW No=\"12a\"/>";
    const std::string bytes = bigPacket(count, bad, 30'000);
    MemorySource source(bytes);
    ReadingTable table;
    const LoadResult result = readPacket(source, table);
    EXPECT_EQ(result.status, LoadResult::Status::Failed);
    const std::size_t at = bytes.find(bad);
    EXPECT_GE(result.offset, at) << result.where();
    EXPECT_LE(result.offset, at + bad.size()) << result.where();
}

TEST(PacketReader, AWindows1252ByteAtTheEndRereadsTheWholeFileOnce)
{
    constexpr int count = 40'000;
    const std::string bytes = bigPacket(count, {}, -1, true);
    ASSERT_GT(bytes.size(), 3u << 20);
    MemorySource source(bytes);
    ReadingTable table;
    const LoadResult result = readPacket(source, table);
    ASSERT_TRUE(result.loaded()) << result.where();
    expectBigRows(table, count); // no row twice
    EXPECT_EQ(rowOf(table.at(count - 1)).Value, std::to_string((count - 1) % 4000) + "\xc2\xb0");
}

TEST(PacketReader, UTF8SplitBetweenBlocksStaysUTF8)
{
    const std::string bytes = golden("packet-windows-1252.utf8.xml");
    OneByteSource source(bytes);
    ReadingTable table;
    ASSERT_TRUE(readPacket(source, table).loaded());
    EXPECT_EQ(rowOf(table.at(0)).Unit, "\xc2\xb5" "A") << "read as UTF-8, not as Windows-1252";
}

TEST(PacketReader, ACancelledLoadSaysSo)
{
    const std::string bytes = bigPacket(1000);
    MemorySource source(bytes);
    ReadingTable table;
    WorkProgress progress;
    progress.cancel();
    EXPECT_EQ(readPacket(source, table, &progress).status, LoadResult::Status::Cancelled);
}

TEST(PacketReader, ReportsProgressInBytes)
{
    const std::string bytes = bigPacket(20'000);
    MemorySource source(bytes);
    ReadingTable table;
    WorkProgress progress;
    ASSERT_TRUE(readPacket(source, table, &progress).loaded());
    EXPECT_GT(progress.total(), 0u);
    EXPECT_EQ(progress.done(), progress.total()) << "a finished load shows a full bar";
}

TEST(PacketWriter, FailsWhenTheSinkFailsOrTheWorkIsCancelled)
{
    ReadingTable table;
    for (int i = 0; i < 20'000; ++i)
        table.append(recordOf({.No = i, .Time = i, .DCAC = "DC", .Value = std::to_string(i), .Unit = " V"}));
    for (const std::size_t budget : {std::size_t{0}, std::size_t{100}, std::size_t{1} << 20}) {
        FailingSink sink(budget);
        EXPECT_FALSE(writePacket(table.snapshot(), sink)) << budget;
    }
    StringSink sink;
    WorkProgress progress;
    progress.cancel();
    EXPECT_FALSE(writePacket(table.snapshot(), sink, &progress));
}

} // namespace
} // namespace tolmar
