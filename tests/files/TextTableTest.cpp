#include "files/TextTable.h"

#include "files/ByteStreams.h"
#include "files/Packet.h"
#include "files/TextEncoding.h"
#include "platform/BackgroundWork.h"
#include "platform/Locale.h"
#include "record/ReadingTable.h"
#include "tests/files/FileTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <string>
#include <vector>

namespace tolmar {
namespace {

using namespace filetest;

const std::string header = "No\tTime\tFunc\tValue\tUnit\tJudge\r\n";

std::string exported(const std::vector<Row> &rows)
{
    const FixedLocale locale;
    StringSink sink;
    EXPECT_TRUE(exportText(tableOf(rows).snapshot(), locale, sink));
    return sink.text;
}

// The rows a golden packet holds, read with the packet reader.
std::vector<Row> packetRows(const char *file)
{
    FileSource source(goldenPath(file));
    ReadingTable table;
    EXPECT_TRUE(readPacket(source, table).loaded()) << file;
    return rowsOf(table);
}

// Imported rows are appended by this program: change state 4.
Row imported(Row row)
{
    row.changeState = rowStateInserted;
    return row;
}

TEST(TextExport, WritesTheGoldenBytes)
{
    const struct {
        const char *packet;
        const char *text;
    } cases[] = {
        {"packet-empty.xml", "text-empty.txt"},
        {"packet-short-frame.xml", "text-short-frame.txt"},
        {"packet-long-frame.xml", "text-long-frame.txt"},
        {"packet-nulls.xml", "text-nulls.txt"},
        {"packet-negative.xml", "text-negative.txt"},
        {"packet-time-edges.xml", "text-time-edges.txt"},
        {"packet-windows-1252.xml", "text-windows-1252.utf8.txt"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(sameBytes(exported(packetRows(c.packet)), golden(c.text)));
    }
}

TEST(TextExport, TrimsBlanksAndControlsAtBothEnds)
{
    const std::vector<Row> rows = {
        {.No = 7, .Time = 0, .DCAC = "\tDC\r\n", .Value = "  1.5 \t", .Unit = " V", .Auto = "\t\r\n "},
        {.No = 8, .Value = "\xc2\xa0", .Unit = "\x7f", .Auto = " a b\x01"},
    };
    EXPECT_TRUE(sameBytes(exported(rows), golden("text-trim.txt")));
}

TEST(TextExport, ValuesKeepWhatIsInsideThem)
{
    // Inside a value nothing is trimmed or quoted, not even a tab.
    const std::string text = exported({{.No = 1, .Time = ms(1, 2, 3, 999), .DCAC = "a\tb", .Value = "\"1\"",
                                        .Unit = "x y", .Auto = "NULL", .Nval = 5}});
    EXPECT_EQ(text, header + "1\t01:02:03\ta\tb\t\"1\"\tx y\tNULL\r\n");
}

TEST(TextExport, MeterBytesAndUTF8InOneTableBothSurvive)
{
    // As for the packet: the text is written in UTF-8, so an import does not
    // take it for Windows-1252 and garble the UTF-8 texts.
    const std::string text = exported({{.No = 1, .Time = 0, .Unit = "\xb5" "A"},
                                       {.No = 2, .Time = 0, .Unit = "\xc2\xb5" "A"}});
    Utf8Validator utf8;
    EXPECT_TRUE(utf8.feed(text.data(), text.size()) && utf8.complete()) << "the text is written in UTF-8";
    const FixedLocale locale;
    MemorySource source(text);
    ReadingTable table;
    ASSERT_TRUE(importText(source, locale, table).loaded());
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(rowOf(table.at(1)).Unit, "\xc2\xb5" "A") << "the UTF-8 text comes back as it was";
    EXPECT_EQ(rowOf(table.at(0)).Unit, "\xc2\xb5" "A") << "the meter byte comes back as the sign it showed";
}

TEST(TextExport, FailsWhenTheSinkFailsOrTheWorkIsCancelled)
{
    ReadingTable table;
    for (int i = 0; i < 50'000; ++i)
        table.append(recordOf({.No = i, .Time = i * 7, .DCAC = "DC", .Value = std::to_string(i), .Unit = " V"}));
    const FixedLocale locale;
    for (const std::size_t budget : {std::size_t{0}, std::size_t{10}, std::size_t{1} << 20}) {
        FailingSink sink(budget);
        EXPECT_FALSE(exportText(table.snapshot(), locale, sink)) << budget;
    }
    StringSink sink;
    WorkProgress progress;
    progress.cancel();
    EXPECT_FALSE(exportText(table.snapshot(), locale, sink, &progress));
}

struct ImportCase {
    const char *name;
    std::string text;
    LoadResult::Status status;
    std::size_t line; // of the failing line
    std::vector<Row> rows;
};

const Row one{.No = 1, .Time = ms(10, 0, 0)};
const Row two{.No = 2, .Time = ms(10, 0, 1)};
const Row three{.No = 3, .Time = ms(10, 0, 2)};

std::vector<ImportCase> importCases()
{
    using S = LoadResult::Status;
    const std::string l1 = "1\t10:00:00";
    const std::string l2 = "2\t10:00:01";
    const std::string l3 = "3\t10:00:02";
    return {
        // Line ends.
        {"LF", "h\n" + l1 + "\n" + l2 + "\n", S::Loaded, 0, {one, two}},
        {"CR", "h\r" + l1 + "\r" + l2 + "\r", S::Loaded, 0, {one, two}},
        {"CR LF", "h\r\n" + l1 + "\r\n" + l2 + "\r\n", S::Loaded, 0, {one, two}},
        {"mixed", "h\r\n" + l1 + "\n" + l2 + "\r" + l3 + "\r\n", S::Loaded, 0, {one, two, three}},
        {"no line end at the end", "h\r\n" + l1 + "\r\n" + l2, S::Loaded, 0, {one, two}},
        {"LF CR is two line ends", "h\r\n" + l1 + "\n\r" + l2 + "\r\n", S::Failed, 3, {one}},
        {"two line ends at the end", "h\r\n" + l1 + "\r\n\r\n", S::Failed, 3, {one}},
        // The header.
        {"empty file", "", S::Loaded, 0, {}},
        {"header alone", "No\tTime\tFunc\tValue\tUnit\tJudge", S::Loaded, 0, {}},
        {"header alone with its line end", header, S::Loaded, 0, {}},
        {"header of nine pieces", "1\t2\t3\t4\t5\t6\t7\t8\t9\r\n" + l1, S::Loaded, 0, {one}},
        {"header that converts to nothing", "NULL\r\n" + l1, S::Loaded, 0, {one}},
        {"empty header", "\r\n" + l1, S::Loaded, 0, {one}},
        // Pieces.
        {"one piece", "h\r\n5", S::Loaded, 0, {{.No = 5}}},
        {"three pieces", "h\r\n5\t12:00:00\tAC", S::Loaded, 0, {{.No = 5, .Time = ms(12, 0, 0), .DCAC = "AC"}}},
        {"seven pieces", "h\r\n1\t14:05:07\tDC\t00.66\t V\tpass\t66", S::Loaded, 0,
         {{.No = 1, .Time = ms(14, 5, 7), .DCAC = "DC", .Value = "00.66", .Unit = " V", .Auto = "pass", .Nval = 66}}},
        {"empty strings are null", "h\r\n1\t14:05:07\t\t\t\t\t-3", S::Loaded, 0,
         {{.No = 1, .Time = ms(14, 5, 7), .Nval = -3}}},
        {"strings as they are", "h\r\n1\t14:05:07\t DC \tNULL\t  \t'\"&<", S::Loaded, 0,
         {{.No = 1, .Time = ms(14, 5, 7), .DCAC = " DC ", .Value = "NULL", .Unit = "  ", .Auto = "'\"&<"}}},
        {"strings cut to 20", "h\r\n1\t14:05:07\t1234567890123456789012345", S::Loaded, 0,
         {{.No = 1, .Time = ms(14, 5, 7), .DCAC = "12345678901234567890"}}},
        {"eight pieces", "h\r\n" + l1 + "\r\n2\t10:00:01\tDC\t1\t V\tpass\t5\textra\r\n" + l3, S::Failed, 3, {one}},
        {"seven pieces and an empty eighth", "h\r\n1\t10:00:00\tDC\t1\t V\tpass\t5\t", S::Failed, 2, {}},
        // Conversions.
        {"empty line after the header", "h\r\n\r\n" + l1, S::Failed, 2, {}},
        {"empty line after two records", "h\r\n" + l1 + "\r\n" + l2 + "\r\n\r\n" + l3, S::Failed, 4, {one, two}},
        {"blank line", "h\r\n" + l1 + "\r\n   \r\n" + l3, S::Failed, 3, {one}},
        {"NULL in Time", "h\r\n" + l1 + "\r\n2\tNULL\tDC\r\n" + l3, S::Failed, 3, {one}},
        {"empty Time", "h\r\n2\t\tDC", S::Failed, 2, {}},
        {"Time with milliseconds", "h\r\n2\t10:00:01.500", S::Failed, 2, {}},
        {"Time out of range", "h\r\n2\t24:00:00", S::Failed, 2, {}},
        // The system's parser takes leap seconds; a packet of them could not be loaded again.
        {"leap second", "h\r\n" + l1 + "\r\n2\t23:59:60", S::Failed, 3, {one}},
        {"a line of tabs", "h\r\n" + l1 + "\r\n" + std::string(100'000, '\t'), S::Failed, 3, {one}},
        {"Time without seconds", "h\r\n2\t10:05", S::Loaded, 0, {{.No = 2, .Time = ms(10, 5, 0)}}},
        {"No with blanks before and a sign", "h\r\n  -12\t10:00:00\r\n+7\t10:00:00", S::Loaded, 0,
         {{.No = -12, .Time = ms(10, 0, 0)}, {.No = 7, .Time = ms(10, 0, 0)}}},
        {"No at its limits", "h\r\n2147483647\r\n-2147483648", S::Loaded, 0, {{.No = INT32_MAX}, {.No = INT32_MIN}}},
        {"No past 32 bits", "h\r\n2147483648", S::Failed, 2, {}},
        {"No with a blank after", "h\r\n5 \t10:00:00", S::Failed, 2, {}},
        {"No not a number", "h\r\nx\t10:00:00", S::Failed, 2, {}},
        {"No with a decimal point", "h\r\n1.0\t10:00:00", S::Failed, 2, {}},
        {"exported null No", "h\r\n\t10:00:00\tDC", S::Failed, 2, {}},
        {"Nval not a number", "h\r\n1\t10:00:00\tDC\t1\t V\tpass\t1.5", S::Failed, 2, {}},
        // The encoding is the whole file's, so the lines kept before a
        // failing one read the same whatever comes after it.
        {"Windows-1252 after a failing line", "h\r\n1\t10:00:00\t\xc3\xa9\r\nbad\r\n3\t10:00:02\t\xb5", S::Failed, 3,
         {{.No = 1, .Time = ms(10, 0, 0), .DCAC = "\xc3\x83\xc2\xa9"}}},
        {"line numbers count CR lines", "h\r" + l1 + "\r" + l2 + "\rbad\r" + l3, S::Failed, 4, {one, two}},
    };
}

void expectImport(const ImportCase &c, ByteSource &source, const char *how)
{
    SCOPED_TRACE(std::string(c.name) + " (" + how + ")");
    const FixedLocale locale;
    ReadingTable table;
    const LoadResult result = importText(source, locale, table);
    EXPECT_EQ(result.status, c.status) << result.where();
    if (c.status == LoadResult::Status::Failed) {
        EXPECT_EQ(result.line, c.line) << result.where();
        EXPECT_FALSE(result.error.empty());
    }
    std::vector<Row> rows;
    for (const Row &row : c.rows)
        rows.push_back(imported(row));
    EXPECT_EQ(rowsOf(table), rows);
}

TEST(TextImport, LinesPiecesAndConversions)
{
    for (const ImportCase &c : importCases()) {
        MemorySource whole(c.text);
        expectImport(c, whole, "whole");
        OneByteSource bytewise(c.text);
        expectImport(c, bytewise, "one byte at a time");
    }
}

TEST(TextImport, AppendsAfterTheRecordsThere)
{
    const FixedLocale locale;
    ReadingTable table;
    table.append(recordOf({.No = 99, .Value = "before"}));
    const std::string text = golden("text-short-frame.txt");
    for (int pass = 0; pass < 2; ++pass) {
        MemorySource source(text);
        ASSERT_TRUE(importText(source, locale, table).loaded());
    }
    const Row back = imported({.No = 1, .Time = ms(14, 5, 7), .DCAC = "DC", .Value = "00.66", .Unit = "V",
                               .Auto = "pass"});
    EXPECT_EQ(rowsOf(table), (std::vector<Row>{{.No = 99, .Value = "before"}, back, back}));
}

TEST(TextImport, AnExportedTableComesBack)
{
    // Judge goes into Auto, trimmed texts stay trimmed, "NULL" is a text,
    // times come back to the second and Nval is gone.
    const std::vector<Row> rows = {
        {.No = 1, .Time = ms(14, 5, 7, 250), .DCAC = "DC", .Value = "00.66", .Unit = " V", .Auto = "pass", .Nval = 66},
        {.No = 2, .Time = ms(23, 59, 59, 999), .DCAC = "OHM", .Value = "1.234", .Unit = "K*", .Nval = 1234},
        {.No = -3, .Time = 0, .Value = " OL "},
    };
    const std::string text = exported(rows);
    const FixedLocale locale;
    MemorySource source(text);
    ReadingTable table;
    const LoadResult result = importText(source, locale, table);
    ASSERT_TRUE(result.loaded()) << result.where();
    EXPECT_EQ(rowsOf(table),
              (std::vector<Row>{
                  imported({.No = 1, .Time = ms(14, 5, 7), .DCAC = "DC", .Value = "00.66", .Unit = "V", .Auto = "pass"}),
                  imported({.No = 2, .Time = ms(23, 59, 59), .DCAC = "OHM", .Value = "1.234", .Unit = "K*",
                            .Auto = "NULL"}),
                  imported({.No = -3, .Time = 0, .DCAC = "NULL", .Value = "OL", .Unit = "NULL", .Auto = "NULL"}),
              }));
}

TEST(TextImport, AnExportedNullTimeStopsTheLoadAtItsLine)
{
    FileSource source(goldenPath("text-nulls.txt"));
    ASSERT_TRUE(source.ok());
    const FixedLocale locale;
    ReadingTable table;
    const LoadResult result = importText(source, locale, table);
    EXPECT_EQ(result.status, LoadResult::Status::Failed);
    EXPECT_EQ(result.line, 2u);
    EXPECT_TRUE(table.empty());
}

TEST(TextImport, ReadsFiles)
{
    const struct {
        const char *file;
        std::vector<Row> rows;
    } cases[] = {
        {"text-import-line-ends.txt",
         {{.No = 1, .Time = ms(10, 0, 0), .DCAC = "DC", .Value = "1.000", .Unit = " V", .Auto = "pass", .Nval = 1000},
          {.No = 2, .Time = ms(10, 0, 1), .DCAC = "AC"},
          {.No = 3, .Time = ms(10, 0, 2)},
          {.No = 4}}},
        // Windows-1252 bytes come in as UTF-8.
        {"text-import-windows-1252.txt",
         {{.No = 1, .Time = ms(10, 0, 0), .DCAC = "DC", .Value = "12.34", .Unit = "\xc2\xb5" "A", .Auto = "pass"},
          {.No = 2, .Time = ms(10, 0, 1), .DCAC = "AC", .Value = "21.5", .Unit = "\xc2\xb0" "C",
           .Auto = "\xe2\x82\xac"}}},
        {"text-windows-1252.utf8.txt", {}}, // its first record has a time, the second "NULL"
    };
    const FixedLocale locale;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        FileSource source(goldenPath(c.file));
        ASSERT_TRUE(source.ok());
        ReadingTable table;
        const LoadResult result = importText(source, locale, table);
        if (c.rows.empty()) {
            EXPECT_EQ(result.line, 3u) << result.where();
            ASSERT_EQ(table.size(), 1u);
            EXPECT_EQ(rowOf(table.at(0)).Unit, "\xc2\xb5" "A") << "UTF-8 stays UTF-8";
            continue;
        }
        EXPECT_TRUE(result.loaded()) << result.where();
        std::vector<Row> rows;
        for (const Row &row : c.rows)
            rows.push_back(imported(row));
        EXPECT_EQ(rowsOf(table), rows);
    }
}

TEST(TextImport, AWindows1252ByteAtTheEndOfALongFileRereadsItOnce)
{
    constexpr int count = 150'000; // about 3.5 MB
    std::string text = header;
    for (int i = 0; i < count; ++i)
        text += std::to_string(i) + "\t10:00:00\tDC\t" + std::to_string(i % 1000) + "\t V\tpass\r\n";
    text += std::to_string(count) + "\t10:00:00\tDC\t1\t\xb0" "C\tpass\r\n";
    ASSERT_GT(text.size(), 3u << 20);
    const FixedLocale locale;
    MemorySource source(text);
    ReadingTable table;
    const LoadResult result = importText(source, locale, table);
    ASSERT_TRUE(result.loaded()) << result.where();
    ASSERT_EQ(table.size(), static_cast<std::size_t>(count + 1)) << "no line twice";
    EXPECT_EQ(table.at(count / 2).No, count / 2);
    EXPECT_EQ(rowOf(table.at(count)).Unit, "\xc2\xb0" "C");
}

TEST(TextImport, ACancelledImportSaysSo)
{
    const std::string text = golden("text-import-line-ends.txt");
    MemorySource source(text);
    const FixedLocale locale;
    ReadingTable table;
    WorkProgress progress;
    progress.cancel();
    EXPECT_EQ(importText(source, locale, table, &progress).status, LoadResult::Status::Cancelled);
}

TEST(TextImport, AReadErrorFails)
{
    std::string text = header;
    for (int i = 0; i < 1000; ++i)
        text += std::to_string(i) + "\t10:00:00\r\n";
    BrokenSource source(text, 500);
    const FixedLocale locale;
    ReadingTable table;
    EXPECT_EQ(importText(source, locale, table).status, LoadResult::Status::Failed);
}

// A file that never ends (/dev/zero, a pipe): `start`, then `filler`, in
// reads of at most 64 KiB as a pipe gives them. It does end after 256 MiB,
// so a reader that reads on fails the test rather than hanging it.
class EndlessSource final : public ByteSource {
public:
    EndlessSource(std::string start, char filler) : m_start(std::move(start)), m_filler(filler) {}
    std::ptrdiff_t read(char *buffer, std::size_t capacity) override
    {
        if (m_at >= std::uint64_t{256} << 20)
            return 0;
        capacity = std::min<std::size_t>(capacity, 1 << 16);
        for (std::size_t i = 0; i < capacity; ++i, ++m_at)
            buffer[i] = m_at < m_start.size() ? m_start[m_at] : m_filler;
        read_ += capacity;
        return static_cast<std::ptrdiff_t>(capacity);
    }
    bool rewind() override
    {
        m_at = 0;
        return true;
    }
    std::uint64_t size() const override { return 0; }
    std::string error() const override { return {}; }
    std::uint64_t read_ = 0; // bytes handed out, over every pass

private:
    std::string m_start;
    char m_filler;
    std::uint64_t m_at = 0;
};

TEST(TableFiles, RefuseAFileThatNeverEndsWithoutReadingOn)
{
    constexpr std::uint64_t MiB = 1 << 20;
    const std::string noHeader = "line 1: the first line is longer than 569 bytes: it is no header of a table";
    const std::string noPacket = "byte 1024: no <DATAPACKET> in the first 1024 bytes: the file is no packet";
    const struct {
        const char *name;
        bool packet;
        std::string start;
        char filler;
        std::string where;
        std::uint64_t mostRead;
    } cases[] = {
        {"zeros as text", false, "", '\0', noHeader, 2 * MiB},
        {"letters as text", false, "", 'a', noHeader, 2 * MiB},
        // Not UTF-8: read again as Windows-1252, refused there as well.
        {"micro signs as text", false, "", '\xB5', noHeader, 3 * MiB},
        {"a header that ends past the bound", false, std::string(570, 'a') + "\r\n", '\n', noHeader, 2 * MiB},
        // A line after the header that never ends: refused where the
        // longest line is passed, with no row kept that the rest could change.
        {"an endless record", false, header, '\0', "line 2: more than 64 MiB in one piece", 70 * MiB},
        {"zeros as a packet", true, "", '\0', "byte 0: text outside a tag", 2 * MiB},
        {"blanks as a packet", true, "", ' ', noPacket, 2 * MiB},
        {"a packet's start tag that never ends", true, "<?xml version=\"1.0\"?><DATAPACKET", 'a', noPacket, 2 * MiB},
    };
    const FixedLocale locale;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto started = std::chrono::steady_clock::now();
        EndlessSource source(c.start, c.filler);
        ReadingTable table;
        const LoadResult result = c.packet ? readPacket(source, table) : importText(source, locale, table);
        EXPECT_EQ(result.status, LoadResult::Status::Failed);
        EXPECT_EQ(result.where(), c.where);
        EXPECT_LE(source.read_, c.mostRead);
        EXPECT_TRUE(table.empty());
        // Promptly: a long line is not searched again from its start at
        // every read (that took a minute for 64 MiB).
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    }
    // A header up to the bound is still a header.
    const std::string longestHeader = std::string(569, 'a') + "\r\n1\t10:00:00\r\n";
    MemorySource longest(longestHeader);
    ReadingTable table;
    EXPECT_TRUE(importText(longest, locale, table).loaded());
    EXPECT_EQ(table.size(), 1u);
}

TEST(TableFiles, QuoteTheFileEscapedInEitherEncoding)
{
    // The bytes a message quotes are the file's own, escaped: the same
    // whether the file reads as UTF-8 or (a 0xB5 at its end) as Windows-1252.
    const std::string evil = "\x1b]0;pwned\a\x1b[31m";
    const FixedLocale locale;
    for (const std::string end : {"", "\r\n9\t10:00:00\tV\xB5\r\n"}) {
        SCOPED_TRACE(end.empty() ? "UTF-8" : "Windows-1252");
        const std::string textBytes = header + evil + "\t10:00:00\r\n" + end;
        MemorySource text(textBytes);
        ReadingTable table;
        EXPECT_EQ(importText(text, locale, table).where(),
                  "line 2: No \"\\x1b]0;pwned\\x07\\x1b[31m\" is not an integer");
        const std::string timeBytes = header + "1\t\xC3\xA9\\" + evil + "\r\n" + end;
        MemorySource time(timeBytes);
        EXPECT_EQ(importText(time, locale, table).where(),
                  "line 2: Time \"\xC3\xA9\\\\\\x1b]0;pwned\\x07\\x1b[31m\" is not a time");
        const std::string packetBytes =
            R"(<?xml version="1.0" standalone="yes"?><DATAPACKET Version="2.0"></)" + evil + ">" + end;
        MemorySource packet(packetBytes);
        EXPECT_EQ(readPacket(packet, table).where(),
                  "byte 64: </\\x1b]0;pwned\\x07\\x1b[31m> does not close <DATAPACKET>");
    }
}

TEST(SplitText, PiecesBetweenSeparators)
{
    const struct {
        const char *text;
        char separator;
        std::vector<std::string_view> pieces;
    } cases[] = {
        {"", '\t', {""}},
        {"a", '\t', {"a"}},
        {"\t", '\t', {"", ""}},
        {"a\tb", '\t', {"a", "b"}},
        {"a\t\tb", '\t', {"a", "", "b"}},
        {"\ta\t", '\t', {"", "a", ""}},
        {"\t\t\t", '\t', {"", "", "", ""}},
        {"1\t14:05:07\tDC\t00.66\tV\tpass", '\t', {"1", "14:05:07", "DC", "00.66", "V", "pass"}},
        {"a b\tc", ' ', {"a", "b\tc"}},
        {"a,b,,c,", ',', {"a", "b", "", "c", ""}},
    };
    for (const auto &c : cases) {
        std::vector<std::string_view> list = {"left", "over"};
        SplitText(c.text, c.separator, list);
        EXPECT_EQ(list, c.pieces) << ::testing::PrintToString(std::string(c.text));
    }
}

} // namespace
} // namespace tolmar
