#pragma once

#include "files/LoadResult.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolmar {

class ByteSink;
class ByteSource;
class Locale;
class OutputBuffer;
class ReadingTable;
class ReadingTableSnapshot;
struct ReadingRecord;
class WorkProgress;

// The exported text's header line, with its CR LF.
inline constexpr std::string_view exportHeaderLine = "No\tTime\tFunc\tValue\tUnit\tJudge\r\n";

// Times of day in the user's long time format, each second formatted once.
class LongTimeTexts {
public:
    explicit LongTimeTexts(const Locale &locale) : m_locale(locale) {}
    const std::string &text(std::int32_t millisecondsOfDay);

private:
    const Locale &m_locale;
    std::vector<std::string> m_bySecond; // 86,400 once used; empty: not yet formatted
};

// One record as an exported line, with its CR LF: No as is, the other five
// trimmed of blanks and control characters and "NULL" when empty; no Nval.
void appendExportLine(std::string &line, const ReadingRecord &record, LongTimeTexts &times);

// The header and every record of the table. False when the sink failed or
// the work was cancelled.
bool exportText(const ReadingTableSnapshot &table, const Locale &locale, ByteSink &sink,
                WorkProgress *progress = nullptr);

// Appends a record per line after the first: pieces at every tab into No,
// Time, DC/AC, Value, Unit, Auto, Nval. A line that does not convert stops
// the import; the lines before it stay in `table`. Bytes that are not UTF-8
// are read as Windows-1252.
LoadResult importText(ByteSource &source, const Locale &locale, ReadingTable &table,
                      WorkProgress *progress = nullptr);

// The pieces of `text` between the separators: n separators give n + 1
// pieces, empty ones included. `list` is replaced.
void SplitText(std::string_view text, char separator, std::vector<std::string_view> &list);

} // namespace tolmar
