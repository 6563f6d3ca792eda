// Any bytes as a text file to import: read whole and in pieces of random
// size (the two must agree), and held against a model of the format: lines
// end at CR, LF or CR LF, the first is skipped, each further line is cut at
// every tab into No, Time, DC/AC, Value, Unit, Auto, Nval, and the first line
// that does not convert stops the import with its number. One input in eight
// is exported again.

#include "fuzz/FuzzSupport.h"

#include "files/TextTable.h"
#include "platform/BackgroundWork.h"
#include "platform/Locale.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <cstdint>
#include <vector>

using namespace tolmar;
using namespace tolmar::fuzz;

namespace {

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string_view> splitTabs(std::string_view line)
{
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            pieces.push_back(line.substr(start));
            return pieces;
        }
        pieces.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

std::optional<std::int32_t> modelTime(const Locale &locale, std::string_view text)
{
    const auto time = locale.parseLongTime(text);
    if (!time)
        return std::nullopt;
    return ((time->hour * 60 + time->minute) * 60 + time->second) * 1000;
}

// A line the import must take: 2 to 7 pieces, No and Time that convert, and
// an Nval that is absent or converts. (A line with no Time piece, or an empty
// Nval, is left to the reader.)
bool certainlyGood(const Locale &locale, std::string_view line)
{
    const auto pieces = splitTabs(line);
    return pieces.size() >= 2 && pieces.size() <= 7 && parseInteger(pieces[0]) && modelTime(locale, pieces[1]) &&
           (pieces.size() < 7 || parseInteger(pieces[6]));
}

void checkRecord(const Locale &locale, std::string_view line, const ReadingRecord &record, std::size_t lineNumber)
{
    const auto pieces = splitTabs(line);
    const auto wrong = [&](const char *what) {
        fail(what, "line " + std::to_string(lineNumber) + " \"" + std::string(line) + "\" gave " + describe(record));
    };
    if (pieces.size() > 7)
        wrong("a line of more than seven pieces was imported");
    const auto no = parseInteger(pieces[0]);
    if (!no || record.No != *no)
        wrong("No is not the line's first piece");
    if (pieces.size() > 1 && record.Time != modelTime(locale, pieces[1]))
        wrong("Time is not the line's second piece");
    const std::string_view *texts[] = {&record.DCAC, &record.Value, &record.Unit, &record.Auto};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string_view expected = i + 2 < pieces.size() ? cutToFieldWidth(pieces[i + 2]) : std::string_view();
        if (*texts[i] != expected)
            wrong("a text field is not its piece");
    }
    if (pieces.size() < 7 && record.Nval)
        wrong("Nval without a piece");
    if (pieces.size() == 7 && !pieces[6].empty() && record.Nval != parseInteger(pieces[6]))
        wrong("Nval is not the line's seventh piece");
}

void checkAgainstModel(std::string_view bytes, const LoadResult &result, const ReadingTable &table)
{
    const FixedLocale locale;
    std::string converted;
    std::string_view text = bytes;
    if (!validUtf8(bytes)) {
        appendWindows1252AsUtf8(converted, bytes);
        text = converted;
    }
    // A first line longer than any header (569 bytes of the file, whatever
    // its encoding) is refused as line 1, with nothing imported.
    const std::size_t firstLineEnd = std::min(bytes.find_first_of("\r\n"), bytes.size());
    if (firstLineEnd > 569) {
        if (result.status != LoadResult::Status::Failed || result.line != 1 || !table.empty())
            fail("a first line longer than any header was not refused", describe(result));
        return;
    }
    const auto lines = splitLines(text);
    const std::size_t dataLines = lines.empty() ? 0 : lines.size() - 1;
    std::size_t imported = dataLines;
    if (result.status == LoadResult::Status::Failed) {
        if (result.line < 2 || result.line > lines.size())
            fail("a failing line that is not a data line", describe(result) + " of " + std::to_string(lines.size()));
        imported = result.line - 2;
        if (certainlyGood(locale, lines[result.line - 1]))
            fail("a good line was refused", describe(result) + ": \"" + std::string(lines[result.line - 1]) + "\"");
    } else if (result.status != LoadResult::Status::Loaded) {
        fail("an import without a progress was cancelled");
    }
    if (table.size() != imported)
        fail("not one record per line before the failing one",
             std::to_string(table.size()) + " records, " + describe(result) + ", " + std::to_string(lines.size()) +
                 " lines");
    for (std::size_t i = 0; i < table.size(); ++i)
        checkRecord(locale, lines[i + 1], table.at(i), i + 2);
}

void checkExport(const ReadingTable &table)
{
    StringSink exported;
    if (!exportText(table.snapshot(), FixedLocale(), exported))
        fail("exporting an imported table failed");
    if (exported.text.compare(0, exportHeaderLine.size(), exportHeaderLine) != 0)
        fail("an export without its header line");
    if (!validUtf8(exported.text))
        fail("an export is not UTF-8");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const FixedLocale locale;

    ReadingTable table;
    MemorySource source(bytes);
    const LoadResult result = importText(source, locale, table);
    requireStoredTexts(table);
    checkAgainstModel(bytes, result, table);

    ReadingTable piecewise;
    PiecewiseSource pieces(bytes, hashBytes(bytes));
    WorkProgress progress;
    const LoadResult piecewiseResult = importText(pieces, locale, piecewise, &progress);
    requireSameResults(result, piecewiseResult, "imported whole and in pieces");
    requireSameTables(table, piecewise, true, "imported whole and in pieces");

    // An export sets up a day of time texts and a large buffer, which would
    // take most of the time of a run: one input in eight is exported.
    if (hashBytes(bytes) % 8 == 0)
        checkExport(table);
    return 0;
}
