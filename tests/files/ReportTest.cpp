// The report QuickRep1 laid out by arithmetic: pages, the texts of a page and
// where they go, the LCD font's symbols, and the Print button's preview.
#include "files/Report.h"

#include "platform/Locale.h"
#include "record/ReadingTable.h"
#include "tests/files/FileTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace tolmar {

namespace report {
void PrintTo(const ReportText &t, std::ostream *os)
{
    *os << "{left " << t.left << ", top " << t.top << ", " << (t.font == ReportFont::Arial ? "Arial" : "LCD") << ", "
        << ::testing::PrintToString(t.text) << (t.centred ? ", centred}" : "}");
}
} // namespace report

namespace {

using filetest::ms;
using filetest::Row;
using filetest::tableOf;
using report::ReportFont;

constexpr ReportFont Lcd = ReportFont::Lcd;
constexpr ReportFont Arial = ReportFont::Arial;

// Hundredths of a millimetre from the paper's corner, worked out by hand from
// the band geometry: 10 mm margin, page header 10.58 mm, column header
// 10.58 mm, detail lines 6.61 mm from 31.16 mm, footer 10.58 mm above the
// bottom margin (276.42 mm).
const ReportText title{1000, 1212, Lcd, "The Data Print Title", true};
const std::vector<ReportText> columnTitles = {
    {1847, 2481, Lcd, "No."},   {4387, 2481, Lcd, "Time"},  {7429, 2481, Arial, "Function"},
    {10948, 2481, Lcd, "Value"}, {14018, 2481, Lcd, "Unit"}, {17298, 2481, Lcd, "Judge"},
};
const ReportText footer{1847, 28065, Lcd, "The Data Print Foot"};

// The six fields of detail line `line` (0-based on its page), top 33.28 mm + line * 6.61 mm.
std::vector<ReportText> detailLine(int line, const std::string &no, const std::string &time, const std::string &dcac,
                                   const std::string &value, const std::string &unit, const std::string &judge)
{
    const int top = 3328 + line * 661;
    return {{1847, top, Arial, no},     {4387, top, Arial, time},  {7562, top, Arial, dcac},
            {10948, top, Arial, value}, {14123, top, Lcd, unit},   {17298, top, Lcd, judge}};
}

std::vector<ReportText> page(const std::vector<std::vector<ReportText>> &lines)
{
    std::vector<ReportText> texts{title};
    texts.insert(texts.end(), columnTitles.begin(), columnTitles.end());
    for (const auto &line : lines)
        texts.insert(texts.end(), line.begin(), line.end());
    texts.push_back(footer);
    return texts;
}

std::vector<ReportText> textsOf(const ReadingTable &table, std::size_t pageIndex, const Locale &locale)
{
    std::vector<ReportText> texts{{1, 2, Arial, "left over from the page before"}};
    report::pageTexts(table.snapshot(), pageIndex, locale, texts);
    return texts;
}

// A table whose No is not its position, so a page that took its records
// from the wrong place shows it.
ReadingTable numberedTable(std::size_t count)
{
    ReadingTable table;
    std::string value;
    for (std::size_t i = 0; i < count; ++i) {
        value = std::to_string(i % 1000) + ".5";
        ReadingRecord r;
        r.No = static_cast<std::int32_t>(3 * i + 7);
        r.Time = ms(8, 0, 0) + static_cast<std::int32_t>(i % 3600) * 1000;
        r.DCAC = "DC";
        r.Value = value;
        r.Unit = "k*";
        r.Auto = "Pass";
        table.append(r);
    }
    return table;
}

std::vector<std::string> numbersOn(const std::vector<ReportText> &texts)
{
    std::vector<std::string> numbers;
    for (const ReportText &t : texts)
        if (t.left == 1847 && t.font == Arial)
            numbers.push_back(t.text);
    return numbers;
}

TEST(ReportPages, CountAndRecordsOfEachPage)
{
    const struct {
        std::size_t records;
        std::size_t pages;
        std::size_t lastFirst; // the last page's first record and its count
        std::size_t lastCount;
    } cases[] = {
        {0, 0, 0, 0},
        {1, 1, 0, 1},
        {36, 1, 0, 36},
        {37, 1, 0, 37},
        {38, 2, 37, 1},
        {74, 2, 37, 37},
        {75, 3, 74, 1},
        {999, 27, 962, 37},
        {1000, 28, 999, 1},
        {10'000'001, 270'271, 9'999'990, 11},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.records);
        EXPECT_EQ(report::pageCount(c.records), c.pages);
        if (c.pages == 0)
            continue;
        const report::PageRecords first = report::pageRecords(0, c.records);
        EXPECT_EQ(first.first, 0u);
        EXPECT_EQ(first.count, c.pages == 1 ? c.records : 37u);
        const report::PageRecords last = report::pageRecords(c.pages - 1, c.records);
        EXPECT_EQ(last.first, c.lastFirst);
        EXPECT_EQ(last.count, c.lastCount);
    }
}

TEST(ReportPages, PagesBeyondTheLastHoldNothing)
{
    const struct {
        std::size_t page;
        std::size_t records;
    } cases[] = {{0, 0}, {1, 0}, {1, 37}, {2, 74}, {28, 1000}, {270'271, 10'000'001}, {SIZE_MAX, 5}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "page " << c.page << " of " << c.records << " records");
        EXPECT_EQ(report::pageRecords(c.page, c.records).count, 0u);
    }
    const FixedLocale locale;
    EXPECT_TRUE(textsOf(numberedTable(37), 1, locale).empty()) << "no header or footer on a page that is not there";
    EXPECT_TRUE(textsOf(ReadingTable(), 0, locale).empty()) << "an empty table has no pages";
}

TEST(ReportPageTexts, SmallTableHandChecked)
{
    const FixedLocale locale;
    const ReadingTable table = tableOf({
        {1, ms(14, 7, 8, 500), "DC", "12.34", " V", "Pass"},
        {2, ms(0, 0, 0), "AC", "-0.001", "m*", "Fail"},
        {-3, ms(23, 59, 59, 999), "Diode", "0.512", "V)", "AUTO"},
    });
    const auto expected = page({
        detailLine(0, "1", "14:07:08", "DC", "12.34", " V", "Pass"),
        detailLine(1, "2", "00:00:00", "AC", "-0.001", "m*", "Fail"),
        detailLine(2, "-3", "23:59:59", "Diode", "0.512", "V)", "AUTO"),
    });
    EXPECT_EQ(textsOf(table, 0, locale), expected);
}

TEST(ReportPageTexts, NullFieldsAndTimesOfNoDayPrintNothing)
{
    const FixedLocale locale;
    const ReadingTable table = tableOf({
        {std::nullopt, std::nullopt, "", "", "", ""},       // all null
        {5, ms(24, 0, 0), "DC", "", "V", ""},                // 24:00:00 is no time of day
        {6, -1, "", "1.0", "", "Pass"},                       // nor is a negative one
        {std::nullopt, ms(12, 0, 0), "AC", "2.0", "*", ""},
    });
    const int top1 = 3328 + 661, top2 = 3328 + 2 * 661, top3 = 3328 + 3 * 661;
    std::vector<ReportText> expected{title};
    expected.insert(expected.end(), columnTitles.begin(), columnTitles.end());
    expected.insert(expected.end(), {
                                        {1847, top1, Arial, "5"},
                                        {7562, top1, Arial, "DC"},
                                        {14123, top1, Lcd, "V"},
                                        {1847, top2, Arial, "6"},
                                        {10948, top2, Arial, "1.0"},
                                        {17298, top2, Lcd, "Pass"},
                                        {4387, top3, Arial, "12:00:00"},
                                        {7562, top3, Arial, "AC"},
                                        {10948, top3, Arial, "2.0"},
                                        {14123, top3, Lcd, "*"},
                                    });
    expected.push_back(footer);
    EXPECT_EQ(textsOf(table, 0, locale), expected);
}

TEST(ReportPageTexts, FieldsPrintAsStoredInTheirFonts)
{
    const FixedLocale locale;
    // A meter's Windows-1252 byte 0xB5 (micro): the Arial fields become
    // UTF-8; Unit and Auto keep the LCD font's bytes for the painter.
    const ReadingTable table = tableOf({{1, ms(1, 2, 3), "DC\xB5", "+1.5\xB5", "\xB5*", "*+"}});
    const auto expected = page({detailLine(0, "1", "01:02:03", "DC\xC2\xB5", "+1.5\xC2\xB5", "\xB5*", "*+")});
    EXPECT_EQ(textsOf(table, 0, locale), expected);
}

TEST(ReportPageTexts, FullPageEndsAboveTheFooter)
{
    const FixedLocale locale;
    const std::vector<ReportText> texts = textsOf(numberedTable(37), 0, locale);
    ASSERT_EQ(texts.size(), 1 + 6 + 37 * 6 + 1u);
    // The 37th line at 271.24 mm; its band ends at 275.73 mm, above the footer's 276.42 mm.
    EXPECT_EQ(texts[7 + 36 * 6], (ReportText{1847, 27124, Arial, "115"}));
    EXPECT_EQ(texts.back(), footer);
}

TEST(ReportPageTexts, EveryPageHasItsHeadersFooterAndOwnRecords)
{
    const FixedLocale locale;
    const ReadingTable table = numberedTable(75); // 37 + 37 + 1
    const struct {
        std::size_t page;
        std::vector<std::string> numbers;
    } cases[] = {
        {0, {"7", "10", "13"}}, // first three of 37
        {1, {"118", "121", "124"}},
        {2, {"229"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.page);
        const std::vector<ReportText> texts = textsOf(table, c.page, locale);
        ASSERT_GE(texts.size(), 8u);
        EXPECT_EQ(texts.front(), title);
        EXPECT_EQ(std::vector<ReportText>(texts.begin() + 1, texts.begin() + 7), columnTitles);
        EXPECT_EQ(texts.back(), footer);
        const std::vector<std::string> numbers = numbersOn(texts);
        ASSERT_EQ(numbers.size(), c.page < 2 ? 37u : 1u);
        EXPECT_EQ(std::vector<std::string>(numbers.begin(), numbers.begin() + c.numbers.size()), c.numbers);
    }
}

TEST(ReportPageTexts, PageDeepInABigTableWithoutThePagesBefore)
{
    const FixedLocale locale;
    const ReadingTable table = numberedTable(1'000'000);
    ASSERT_EQ(report::pageCount(table.size()), 27'028u);
    // Asked for cold, straight away: page 13,513 holds records 499,981 to
    // 500,017 (No = 3 * index + 7), the last page record 999,999 alone.
    const std::vector<ReportText> middle = textsOf(table, 13'513, locale);
    const std::vector<std::string> numbers = numbersOn(middle);
    ASSERT_EQ(numbers.size(), 37u);
    EXPECT_EQ(numbers.front(), "1499950");
    EXPECT_EQ(numbers.back(), "1500058");
    EXPECT_EQ(middle[7 + 1], (ReportText{4387, 3328, Arial, "08:53:01"})) << "record 499,981: 3,181 s after 8:00";

    const std::vector<ReportText> last = textsOf(table, 27'027, locale);
    EXPECT_EQ(numbersOn(last), std::vector<std::string>{"3000004"});
    EXPECT_EQ(last.back(), footer);
}

TEST(ReportLcdSymbols, FontBytesAsTheCharactersTheyShow)
{
    const struct {
        const char *bytes;
        const char *shown;
    } cases[] = {
        {"*", "\u03A9"},             // ohm
        {"k*", "k\u03A9"},
        {"M*", "M\u03A9"},
        {"+A", "\u00B5A"},           // micro
        {"+F", "\u00B5F"},
        {"V)", "V\u25B6|"},          // diode
        {"*&", "\u03A9\u266A"},      // continuity
        {"@", "L"},                  // the segment letter L
        {"\xB5V", "\u00B5V"},        // a meter's Windows-1252 micro
        {"\xB5*", "\u00B5\u03A9"},
        {"\u00B5V", "\u00B5V"},      // already UTF-8: kept
        {" V", " V"},
        {"Hz", "Hz"},
        {"Pass", "Pass"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(report::lcdSymbolText(c.bytes), c.shown) << testing::PrintToString(std::string(c.bytes));
}

// The preview as a test scripts it: what it was shown, and what happens
// while it is open.
struct ScriptedPreview final : ReportPreview {
    void show(const ReportDocument &document) override
    {
        log.push_back("show");
        if (whileOpen)
            whileOpen();
        records = document.recordCount();
        pages = document.pageCount();
        if (pages > 0)
            document.pageTexts(pages - 1, lastPage);
        log.push_back("closed");
    }
    std::function<void()> whileOpen;
    std::vector<std::string> log;
    std::size_t records = 0;
    std::size_t pages = 0;
    std::vector<ReportText> lastPage;
};

TEST(ReportPrinting, PreviewShowsTheTableAsItWasWhenClicked)
{
    const FixedLocale locale;
    ReadingTable table = numberedTable(37);
    ScriptedPreview preview;
    ReportPrinting printing(table, locale, &preview);
    printing.onPreviewClosed = [&] { preview.log.push_back("repaint"); };
    // Recording goes on while the preview is open; a clear too.
    preview.whileOpen = [&] {
        ReadingTable more = numberedTable(5);
        table.append(std::move(more));
        EXPECT_EQ(table.size(), 42u);
    };
    printing.BtPrintClick();
    EXPECT_EQ(preview.log, (std::vector<std::string>{"show", "closed", "repaint"}));
    EXPECT_EQ(preview.records, 37u);
    EXPECT_EQ(preview.pages, 1u);
    EXPECT_EQ(numbersOn(preview.lastPage).back(), "115");

    // The next click sees the table as it is then, even after a clear mid-preview.
    preview.whileOpen = [&] { table.clear(); };
    printing.BtPrintClick();
    EXPECT_EQ(preview.records, 42u);
    EXPECT_EQ(preview.pages, 2u);
    EXPECT_EQ(numbersOn(preview.lastPage), (std::vector<std::string>{"7", "10", "13", "16", "19"}));

    preview.whileOpen = nullptr;
    printing.BtPrintClick();
    EXPECT_EQ(preview.records, 0u);
    EXPECT_EQ(preview.pages, 0u) << "an empty table: a preview without pages";
}

TEST(ReportPrinting, WithoutAPreviewNothingHappens)
{
    const FixedLocale locale;
    const ReadingTable table = numberedTable(3);
    ReportPrinting printing(table, locale, nullptr);
    int closed = 0;
    printing.onPreviewClosed = [&] { ++closed; };
    printing.BtPrintClick();
    EXPECT_EQ(closed, 0);
}

} // namespace
} // namespace tolmar
