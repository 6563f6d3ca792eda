#pragma once

#include "files/LoadResult.h"
#include "record/ReadingTable.h"

#include <optional>
#include <string>
#include <string_view>

namespace tolmar {

class ByteSink;
class ByteSource;
class ReadingTable;
class ReadingTableSnapshot;
struct ReadingRecord;
class WorkProgress;

// Comma-separated values (RFC 4180): UTF-8 with a byte order mark, so that
// spreadsheet programs read it as UTF-8 without asking; commas; CR LF after
// every line; a field in double quotes only when it holds a comma, a quote,
// a line end or blanks at either end.
inline constexpr std::string_view utf8ByteOrderMark = "\xEF\xBB\xBF";
// The header line, with its CR LF: the record number, the local date and
// time (ISO 8601 with milliseconds and the UTC offset; the time of day only
// for a record without a date), the function, the value as a number with a
// dot (empty when the display shows none), the value as the display showed
// it, the unit in Unicode, the judge, the signed count.
inline constexpr std::string_view csvHeaderLine = "No,Time,Func,Value,Display,Unit,Judge,Nval\r\n";

// The LCD font's characters of a unit as Unicode (* ohm, + micro, ) diode,
// & continuity) and back.
std::string unicodeUnitText(std::string_view lcdUnit);
std::string lcdUnitText(std::string_view unicodeUnit);

// One record as a line, with its CR LF.
void appendCsvLine(std::string &line, const ReadingRecord &record, std::optional<RecordDate> date);

// The byte order mark, the header and every record of the table. False when
// the sink failed or the work was cancelled.
bool exportCsv(const ReadingTableSnapshot &table, ByteSink &sink, WorkProgress *progress = nullptr);

// Appends the records of every line after the header to `table`, with their
// dates where they have one. The Value column is not read: the display's
// text is the record's. A file with any line that does not convert is
// refused whole: `table` is then as it was. Bytes that are not UTF-8 are
// read as Windows-1252 (a spreadsheet program's "CSV" in its ANSI code page).
LoadResult importCsv(ByteSource &source, ReadingTable &table, WorkProgress *progress = nullptr);

} // namespace tolmar
