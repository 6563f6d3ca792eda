#include "files/FileTestSupport.h"
#include "files/Journal.h"

#include <gtest/gtest.h>

namespace tolmar {
namespace {

using filetest::Row;
using filetest::ms;
using filetest::rowsOf;

ReadingRecord record(const Row &row)
{
    return filetest::recordOf(row);
}

JournalContents read(const std::string &bytes)
{
    MemorySource source(bytes);
    return readJournal(source);
}

constexpr RecordDate wednesday{20796, 60}; // 2026-12-09 is day 20796
constexpr RecordDate thursday{20797, 60};
constexpr RecordDate summer{20387, 120}; // 2025-10-26, before the clocks go back
constexpr RecordDate winter{20387, 60};  // the same day, after

// A session: two recorded rows on one day, one past midnight, a skipped
// repeat's chart value, loaded rows without a date, then a load that
// replaced the table, and the hour that repeats when summer time ends.
std::string session()
{
    std::string out;
    journal::appendHeader(out, "2026-12-09T23:59:58.000+01:00");
    journal::appendBegin(out, 'E', {0, 0});
    journal::appendDate(out, wednesday);
    journal::appendRecorded(out, record({0, ms(23, 59, 58, 500), "DC", "3.852", " V", "pass", {}, 4}), 3.852);
    journal::appendRecorded(out, record({1, ms(23, 59, 59, 999), "AC", "OL", "\xB5" "A", "fail", 17, 4}), {});
    journal::appendDate(out, thursday);
    journal::appendRecorded(out, record({2, ms(0, 0, 0, 1), "DC", "-0.001", "mV", "pass", {}, 4}), -0.001);
    journal::appendChartValue(out, -0.001);
    journal::appendDate(out, std::nullopt);
    journal::appendLoaded(out, record({{}, {}, "a\tb\\c", "line\nbreak\r", "", "", {}, 2}));
    return out;
}

TEST(Journal, ReadsBackWhatWasWritten)
{
    const JournalContents c = read(session());
    ASSERT_EQ(c.status, JournalContents::Status::Restorable) << c.reason;
    EXPECT_EQ(c.created, "2026-12-09T23:59:58.000+01:00");
    const std::vector<Row> expected{
        {0, ms(23, 59, 58, 500), "DC", "3.852", " V", "pass", {}, 4},
        {1, ms(23, 59, 59, 999), "AC", "OL", "\xB5" "A", "fail", 17, 4},
        {2, ms(0, 0, 0, 1), "DC", "-0.001", "mV", "pass", {}, 4},
        {{}, {}, "a\tb\\c", "line\nbreak\r", "", "", {}, 2},
    };
    EXPECT_EQ(rowsOf(c.rows), expected);
    EXPECT_EQ(c.rows.dateOf(0), wednesday);
    EXPECT_EQ(c.rows.dateOf(1), wednesday);
    EXPECT_EQ(c.rows.dateOf(2), thursday);
    EXPECT_EQ(c.rows.dateOf(3), std::nullopt);
    EXPECT_EQ(c.chartValues, (std::vector<double>{3.852, -0.001, -0.001}));
    // Three recorded (next after No 2), and the skipped repeat took a number.
    EXPECT_EQ(c.numbering, (JournalNumbering{4, 3}));
    EXPECT_EQ(c.validBytes, session().size());
}

TEST(Journal, LinesAreTabSeparatedAndEndInTheirCrc)
{
    // The standard check value of CRC-32.
    EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
    std::string out;
    journal::appendRecorded(out, record({5, ms(17, 48, 5), "DC", "148.5", "uA", "pass", {}, 4}), 148.5);
    const std::string body = "R\t5\t64085000\tDC\t148.5\tuA\tpass\t\t148.5";
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", crc32(body));
    EXPECT_EQ(out, body + "\t" + crc + "\n");
}

TEST(Journal, TheSummerTimeHourThatRepeatsStaysApart)
{
    std::string out;
    journal::appendHeader(out, "");
    journal::appendBegin(out, 'E', {0, 0});
    journal::appendDate(out, summer);
    journal::appendRecorded(out, record({0, ms(2, 30, 0), "DC", "1", "V", "", {}, 4}), {});
    journal::appendDate(out, winter);
    journal::appendRecorded(out, record({1, ms(2, 30, 0), "DC", "1", "V", "", {}, 4}), {});
    const JournalContents c = read(out);
    ASSERT_EQ(c.rows.size(), 2u);
    EXPECT_EQ(c.rows.dateOf(0), summer);
    EXPECT_EQ(c.rows.dateOf(1), winter);
}

TEST(Journal, ABeginningDropsTheTableAndCloseDataTheChartToo)
{
    std::string out;
    journal::appendHeader(out, "");
    journal::appendBegin(out, 'E', {0, 0});
    journal::appendRecorded(out, record({0, 1, "DC", "1", "V", "", {}, 4}), 1.0);
    journal::appendBegin(out, 'B', {1, 1}); // a packet replaced the table
    journal::appendLoaded(out, record({7, 2, "DC", "7", "V", "", {}, 1}));
    JournalContents c = read(out);
    EXPECT_EQ(rowsOf(c.rows), (std::vector<Row>{{7, 2, "DC", "7", "V", "", {}, 1}}));
    EXPECT_EQ(c.chartValues, std::vector<double>{1.0});
    EXPECT_EQ(c.numbering, (JournalNumbering{1, 1}));

    journal::appendBegin(out, 'E', {1, 0}); // Close Data
    journal::appendNumbering(out, {9, 0});
    c = read(out);
    EXPECT_TRUE(c.rows.empty());
    EXPECT_TRUE(c.chartValues.empty());
    EXPECT_EQ(c.numbering, (JournalNumbering{9, 0}));
}

TEST(Journal, ALastLineCutAnywhereRestoresEverythingBeforeIt)
{
    const std::string whole = session();
    const std::size_t lastLine = whole.rfind('\n', whole.size() - 2) + 1;
    for (std::size_t cut = lastLine; cut < whole.size(); ++cut) {
        const JournalContents c = read(whole.substr(0, cut));
        SCOPED_TRACE("cut at byte " + std::to_string(cut));
        ASSERT_EQ(c.status, JournalContents::Status::Restorable);
        EXPECT_EQ(c.rows.size(), 3u);
        EXPECT_EQ(c.validBytes, lastLine);
    }
    EXPECT_EQ(read(whole).rows.size(), 4u);
}

TEST(Journal, ADamagedLineEndsTheRestoreBeforeIt)
{
    const std::string whole = session();
    // The fourth line (the first recorded row) starts after the header, E and D.
    std::size_t row = 0;
    for (int i = 0; i < 3; ++i)
        row = whole.find('\n', row) + 1;
    const struct {
        const char *what;
        std::size_t at;
        char byte;
    } damages[] = {
        {"a digit changed", row + 2, '9'},
        {"a tab lost", row + 1, ' '},
        {"the check changed", whole.find('\n', row) - 1, 'x'},
        {"the line end lost", whole.find('\n', row), 'x'},
        {"a zero byte", row + 5, '\0'},
    };
    for (const auto &damage : damages) {
        std::string bytes = whole;
        bytes[damage.at] = damage.byte;
        const JournalContents c = read(bytes);
        SCOPED_TRACE(damage.what);
        EXPECT_EQ(c.status, JournalContents::Status::Damaged);
        EXPECT_TRUE(c.rows.empty());
        EXPECT_EQ(c.validBytes, row);
    }
}

// Lines whose check is right but that no journal writes: refused, never read as a record.
TEST(Journal, WellCheckedNonsenseIsDamageToo)
{
    const auto line = [](const std::string &body) {
        char crc[10];
        std::snprintf(crc, sizeof crc, "\t%08x", crc32(body));
        return body + crc + "\n";
    };
    std::string head;
    journal::appendHeader(head, "");
    const std::string lines[] = {
        "Q\t1",                                        // an unknown kind
        "R\t1\t2\tDC\t1\tV\t\t\t\t",                   // one field too many
        "R\t1\t2\tDC\t1\tV\t",                         // fields missing
        "R\t\t2\tDC\t1\tV\t\t\t",                      // a recorded row without a number
        "R\t2147483647\t2\tDC\t1\tV\t\t\t",            // whose next number would overflow
        "L\t1\t2\tDC\t1\tV\t\t\tx",                    // a state that is no number
        "L\t1\t2\tD\\qC\t1\tV\t\t\t4",                 // an unknown escape
        "L\t99999999999\t2\tDC\t1\tV\t\t\t4",          // a number beyond 32 bits
        "P\tnan",                                      // a chart value that is no number
        "P\t1e999",
        "D\t20796\t2000",                              // an offset beyond a day
        "D\t20796",
        "N\t1",
    };
    for (const std::string &body : lines) {
        const JournalContents c = read(head + line(body));
        EXPECT_EQ(c.status, JournalContents::Status::Damaged) << body;
        EXPECT_TRUE(c.rows.empty()) << body;
    }
}

TEST(Journal, WhatIsNoJournalOfThisVersionIsRefusedWithItsReason)
{
    const auto header = [](const std::string &body) {
        char crc[10];
        std::snprintf(crc, sizeof crc, "\t%08x", crc32(body));
        return body + crc + "\n";
    };
    const struct {
        std::string bytes;
        const char *reason;
    } cases[] = {
        {"", "it is empty"},
        {"TOLMAR-JOURN", "its first line is cut short"},
        {header("TOLMAR-JOURNAL\t2\t2027-01-01T00:00:00.000+00:00"),
         "it was written by another version of Tolmar (journal format 2)"},
        {header("No,Time,Func"), "it is not a Tolmar session journal"},
        {"TOLMAR-JOURNAL\t1\t\t00000000\n", "its first line is damaged"},
    };
    for (const auto &c : cases) {
        const JournalContents contents = read(c.bytes);
        EXPECT_EQ(contents.status, JournalContents::Status::Refused) << c.bytes;
        EXPECT_EQ(contents.reason, c.reason) << c.bytes;
    }
}

} // namespace
} // namespace tolmar
