#pragma once

#include "files/LoadResult.h"
#include "record/ReadingTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolmar {

class ByteSource;
class WorkProgress;

// The session journal: every change of the window's reading table, its
// numbering and the values recording gave the chart, as lines of text
// appended to a file while the window runs, so a crashed session can be
// rebuilt. A line is a kind letter and tab-separated fields, and ends in the
// CRC-32 of all its bytes before it (8 hex digits): a line cut by a crash,
// or damaged on disk, is known and never read as a record.
//
//   TOLMAR-JOURNAL 1 <created>    header: format version, when the session began
//   B <next> <recorded>           the table begins again, empty (a load replaced it)
//   E <next> <recorded>           table and chart begin again, empty (Close Data)
//   D <day> <offset>              the date of the rows that follow; empty fields: none
//   R <No> <Time> <DC/AC> <Value> <Unit> <Auto> <Nval> <chart>
//                                 a recorded row, and the value it gave the chart (or empty)
//   L <No> <Time> <DC/AC> <Value> <Unit> <Auto> <Nval> <state>
//                                 a row a file brought in
//   P <value>                     a chart value without a row (a skipped repeat)
//   N <next> <recorded>           the numbering, where it is not implied
//
// A recorded row implies the next number is its No + 1 and one more record
// counts towards the limit; a chart value without a row implies the next
// number goes up by one. Texts escape backslash, tab, line feed and carriage
// return with a backslash; an empty number field is a null.
inline constexpr int journalVersion = 1;
inline constexpr std::string_view journalMagic = "TOLMAR-JOURNAL";

// What the next record is numbered and how many count towards the record limit.
struct JournalNumbering {
    int next = 0;
    int recorded = 0;
    bool operator==(const JournalNumbering &) const = default;
};

std::uint32_t crc32(std::string_view bytes, std::uint32_t crc = 0);

// Appends journal lines to a text, ready to be written.
namespace journal {
void appendHeader(std::string &out, std::string_view created);
void appendBegin(std::string &out, char kind, JournalNumbering numbering); // 'B' or 'E'
void appendDate(std::string &out, std::optional<RecordDate> date);
void appendRecorded(std::string &out, const ReadingRecord &record, std::optional<double> chartValue);
void appendLoaded(std::string &out, const ReadingRecord &record);
void appendChartValue(std::string &out, double value);
void appendNumbering(std::string &out, JournalNumbering numbering);
// Rows [first, end) of a snapshot as loaded rows, their dates included.
void appendRows(std::string &out, const ReadingTableSnapshot &rows, std::size_t first, std::size_t end);
} // namespace journal

// A journal read back: the session as it stood after its last whole line.
struct JournalContents {
    enum class Status {
        Restorable, // every whole line read; a cut last line is dropped
        Damaged,    // a whole line failed its check: what stood before it
        Refused,    // no journal of this version; `reason` says why
    };
    Status status = Status::Refused;
    std::string reason;
    std::string created; // the header's start of the session
    ReadingTable rows;
    std::vector<double> chartValues; // since the chart last began again
    JournalNumbering numbering;
    std::uint64_t validBytes = 0; // the length of the whole lines read
    std::uint64_t lineCount = 0;  // whole lines read, the header included
    // The bytes after validBytes hold more than a line cut short.
    bool damagedTail() const { return status == Status::Damaged; }
};

// Reads a journal from its first byte. `progress` counts bytes and may
// cancel (the result is then Refused with reason "cancelled").
JournalContents readJournal(ByteSource &source, WorkProgress *progress = nullptr);

} // namespace tolmar
