#include "files/CsvTable.h"

#include "files/ByteStreams.h"
#include "record/ReadingTable.h"
#include "tests/files/FileTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolmar {
namespace {

using namespace filetest;

const std::string head = std::string(utf8ByteOrderMark) + std::string(csvHeaderLine);

std::string csvOf(const ReadingTable &table)
{
    StringSink sink;
    EXPECT_TRUE(exportCsv(table.snapshot(), sink));
    return sink.text;
}

std::string lineOf(const Row &row, std::optional<RecordDate> date = std::nullopt)
{
    std::string line;
    appendCsvLine(line, recordOf(row), date);
    return line;
}

LoadResult load(const std::string &bytes, ReadingTable &table)
{
    MemorySource source(bytes);
    return importCsv(source, table);
}

const Row plain{.No = 7, .Time = ms(13, 13, 13, 123), .DCAC = "DC", .Value = "-1.234", .Unit = "mV", .Auto = "pass",
                .Nval = -1234, .changeState = rowStateInserted};

// Each text field keeps its bytes through quoting, and is quoted only when
// it must be.
TEST(CsvQuoting, FieldsAreQuotedOnlyWhenNeededAndReadBackTheSame)
{
    const struct {
        const char *text;
        const char *field;
    } cases[] = {
        {"DC", "DC"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"cr\ronly", "\"cr\ronly\""},
        {"lf\nonly", "\"lf\nonly\""},
        {" lead", "\" lead\""},
        {"trail ", "\"trail \""},
        {"\ttab", "\"\ttab\""},
        {"in side", "in side"},
        {"µ€", "µ€"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        for (std::size_t column : {0, 1}) { // the function, the judge
            Row row = plain;
            (column == 0 ? row.DCAC : row.Auto) = c.text;
            const std::string expected = column == 0
                ? "7,13:13:13.123," + std::string(c.field) + ",-1.234,-1.234,mV,pass,-1234\r\n"
                : "7,13:13:13.123,DC,-1.234,-1.234,mV," + std::string(c.field) + ",-1234\r\n";
            EXPECT_EQ(lineOf(row), expected);
            ReadingTable table;
            ASSERT_TRUE(load(head + expected, table).loaded());
            EXPECT_EQ(rowsOf(table), std::vector<Row>{row});
        }
    }
}

TEST(CsvValues, TheDisplaysTextAsANumberWithADot)
{
    const struct {
        const char *value;
        const char *number;
        const char *display;
    } cases[] = {
        {"12.34", "12.34", "12.34"}, {"-0.123", "-0.123", "-0.123"}, {"12,34", "12.34", "\"12,34\""},
        {"+3", "3", "+3"},           {".5", "0.5", ".5"},            {"-.5", "-0.5", "-.5"},
        {"5.", "5", "5."},           {" 1.2 ", "1.2", "\" 1.2 \""},  {"0.L", "", "0.L"},
        {"  0L  ", "", "\"  0L  \""},  {"", "", ""},                   {"1.2.3", "", "1.2.3"},
        {"-", "", "-"},              {"1 2", "", "1 2"},             {"0@.0", "", "0@.0"},
    };
    for (const auto &c : cases) {
        Row row = plain;
        row.Value = c.value;
        EXPECT_EQ(lineOf(row), "7,13:13:13.123,DC," + std::string(c.number) + "," + c.display + ",mV,pass,-1234\r\n")
            << c.value;
    }
}

TEST(CsvUnits, TheLcdFontsSymbolsAsUnicodeAndBack)
{
    const struct {
        const char *lcd;
        const char *unicode;
    } cases[] = {
        {"k*", "kΩ"}, {"+A", "µA"}, {"+F", "µF"}, {"V)", "V▶|"}, {"*&", "Ω♪"}, {"M*&", "MΩ♪"},
        {"mV", "mV"}, {"Hz", "Hz"}, {"", ""},       {"uA", "uA"},  {"Duty", "Duty"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(unicodeUnitText(c.lcd), c.unicode) << c.lcd;
        EXPECT_EQ(lcdUnitText(c.unicode), c.lcd) << c.unicode;
    }
    // What other programs write for the same symbols.
    EXPECT_EQ(lcdUnitText("k\u2126"), "k*");
    EXPECT_EQ(lcdUnitText("\u03BCA"), "+A");
    // A meter's own byte (Windows-1252 micro) is written as UTF-8.
    EXPECT_EQ(unicodeUnitText("\xB5" "A"), "µA");
}

TEST(CsvDates, DateTimesWithTheirOffsetAndTimesOfDayAlone)
{
    const struct {
        std::optional<std::int32_t> time;
        std::optional<RecordDate> date;
        const char *text;
    } cases[] = {
        {ms(13, 13, 13, 123), RecordDate{20796, 60}, "2026-12-09T13:13:13.123+01:00"},
        {ms(2, 30, 0, 0), RecordDate{20751, 120}, "2026-10-25T02:30:00.000+02:00"},
        {ms(2, 30, 0, 0), RecordDate{20751, 60}, "2026-10-25T02:30:00.000+01:00"},
        {ms(23, 59, 59, 999), RecordDate{0, -330}, "1970-01-01T23:59:59.999-05:30"},
        {0, RecordDate{11016, 0}, "2000-02-29T00:00:00.000+00:00"},
        {ms(13, 13, 13, 5), std::nullopt, "13:13:13.005"},
        {std::nullopt, std::nullopt, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        Row row = plain;
        row.Time = c.time;
        const std::string line = lineOf(row, c.date);
        EXPECT_EQ(line, "7," + std::string(c.text) + ",DC,-1.234,-1.234,mV,pass,-1234\r\n");
        ReadingTable table;
        ASSERT_TRUE(load(head + line, table).loaded());
        EXPECT_EQ(rowsOf(table), std::vector<Row>{row});
        EXPECT_EQ(table.dateOf(0), c.date);
    }
    // UTC written as Z by other programs.
    ReadingTable table;
    ASSERT_TRUE(load(head + "1,2026-12-09T13:13:13.123Z,,,,,,\r\n", table).loaded());
    EXPECT_EQ(table.dateOf(0), (RecordDate{20796, 0}));
}

// The whole table: a byte order mark, the header, each record with the date
// of its run; read back the same, in blocks of any size.
TEST(CsvTable, ATableWithDatedAndUndatedRunsReadsBackTheSame)
{
    ReadingTable table;
    const std::vector<std::optional<RecordDate>> dates = {RecordDate{20796, 60}, RecordDate{20796, 60},
                                                          RecordDate{20797, 60}, std::nullopt, RecordDate{20797, 60}};
    for (std::size_t i = 0; i < dates.size(); ++i) {
        Row row = plain;
        row.No = static_cast<std::int32_t>(i);
        row.Unit = i % 2 ? "k*&" : "V)";
        row.Auto = i == 3 ? "a,\"b\"\r\nc" : "";
        table.append(recordOf(row), dates[i]);
    }
    const std::string csv = csvOf(table);
    EXPECT_EQ(csv.substr(0, head.size()), head);
    EXPECT_NE(csv.find("\r\n2,2026-12-10T13:13:13.123+01:00,DC,-1.234,-1.234,V▶|,,-1234\r\n"), std::string::npos) << csv;
    for (const bool oneByte : {false, true}) {
        ReadingTable back;
        OneByteSource slow(csv);
        MemorySource fast(csv);
        ASSERT_TRUE(importCsv(oneByte ? static_cast<ByteSource &>(slow) : fast, back).loaded());
        EXPECT_EQ(rowsOf(back), rowsOf(table));
        for (std::size_t i = 0; i < dates.size(); ++i)
            EXPECT_EQ(back.dateOf(i), dates[i]) << i;
        EXPECT_EQ(csvOf(back), csv);
    }
}

// A file that is not ours, or has a bad line anywhere, is refused whole with
// the line and the reason; the table keeps what it had.
TEST(CsvTable, ABadFileIsRefusedWholeAndSaysWhere)
{
    const std::string good = "1,13:13:13.123,DC,1,1,V,,\r\n";
    const struct {
        std::string bytes;
        std::size_t line;
        std::string error;
    } cases[] = {
        {"", 1, "the file is empty: no header of comma-separated values"},
        {"No\tTime\tFunc\tValue\tUnit\tJudge\r\n", 1, "the header is not \"No,Time,Func,Value,Display,Unit,Judge,Nval\": the file is no table of records"},
        {std::string(300, 'x'), 1, "the first line is longer than 256 bytes: it is no header of comma-separated values"},
        {head + good + "2,13:13:13.123,DC,1,1,V\r\n", 3, "6 fields, not 8"},
        {head + good + "2,13:13:13.123,DC,1,1,V,,,\r\n", 3, "more than 8 fields"},
        {head + "x,13:13:13.123,DC,1,1,V,,\r\n", 2, "No \"x\" is not an integer"},
        {head + "1,13:13:13.123,DC,1,1,V,,1.5\r\n", 2, "Nval \"1.5\" is not an integer"},
        {head + "1,24:00:00.000,DC,1,1,V,,\r\n", 2,
         "Time \"24:00:00.000\" is not a time (2026-12-09T13:13:13.123+01:00, or 13:13:13.123 without a date)"},
        {head + "1,2026-02-29T10:00:00.000+01:00,DC,1,1,V,,\r\n", 2,
         "Time \"2026-02-29T10:00:00.000+01:00\" is not a time (2026-12-09T13:13:13.123+01:00, or 13:13:13.123 without a date)"},
        {head + "1,2026-12-09T10:00:00.000+1:00,DC,1,1,V,,\r\n", 2,
         "Time \"2026-12-09T10:00:00.000+1:00\" is not a time (2026-12-09T13:13:13.123+01:00, or 13:13:13.123 without a date)"},
        {head + good + "1,,\"DC\"x,1,1,V,,\r\n", 3, "Func: \"x,1,1,V,,\" after the closing quote"},
        {head + "1,,D\"C,1,1,V,,\r\n", 2, "Func \"D\"C\" has a quote but is not in quotes"},
        {head + good + good + "3,,\"open\r\n,1,1,V,,\r\n", 4, "Func: the quote is not closed"},
        // A stray quote among many records is told at once, not at the end.
        {head + "1,,D\"C,1,1,V,,\r\n" + [&] {
             std::string many;
             for (int i = 0; i < 10000; ++i)
                 many += good;
             return many;
         }(), 2, "Func \"D\"C\" has a quote but is not in quotes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.error);
        ReadingTable table;
        table.append(recordOf(plain), RecordDate{1, 0});
        const LoadResult result = load(c.bytes, table);
        EXPECT_EQ(result.status, LoadResult::Status::Failed);
        EXPECT_EQ(result.line, c.line);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(rowsOf(table), std::vector<Row>{plain});
        EXPECT_EQ(table.dateOf(0), (RecordDate{1, 0}));
    }
}

TEST(CsvTable, SpreadsheetVariantsLoad)
{
    const struct {
        const char *name;
        std::string bytes;
    } cases[] = {
        {"no byte order mark, LF only, header in other case, no last line end",
         "no,TIME,Func,Value,Display,Unit,Judge,Nval\n1,13:13:13.123,DC,-1.234,-1.234,mV,pass,-1234"},
        {"Windows-1252 (a spreadsheet's ANSI code page), an empty line",
         "No,Time,Func,Value,Display,Unit,Judge,Nval\r\n\r\n1,13:13:13.123,DC,-1.234,-1.234,\xB5V,pass,-1234\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ReadingTable table;
        ASSERT_TRUE(load(c.bytes, table).loaded());
        ASSERT_EQ(table.size(), 1u);
        EXPECT_EQ(rowOf(table.at(0)).No, 1);
        EXPECT_EQ(table.at(0).Unit, std::string(c.name).starts_with("Windows") ? "+V" : "mV");
    }
}

} // namespace
} // namespace tolmar
