#include "files/TextTable.h"

#include "files/BlockInput.h"
#include "files/ByteStreams.h"
#include "platform/BackgroundWork.h"
#include "platform/Locale.h"
#include "platform/NumberText.h"
#include "platform/TextEncoding.h"
#include "record/ReadingTable.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tolmar {

namespace {

constexpr std::int32_t secondsPerDay = 86'400;

// Without blanks and control characters at either end.
std::string_view trimmed(std::string_view text)
{
    std::size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
        --last;
    return text.substr(first, last - first);
}

// Written in UTF-8: a text that is not (a meter's own byte) is taken as
// Windows-1252, so an import reads the file as UTF-8.
template <typename Out>
void appendColumn(Out &line, std::string_view text, bool fromTable = true)
{
    line += '\t';
    thread_local std::string scratch;
    const std::string_view kept = trimmed(fromTable ? asUtf8(text, scratch) : text);
    line += kept.empty() ? std::string_view("NULL") : kept;
}

template <typename Out>
void putExportLine(Out &line, const ReadingRecord &record, LongTimeTexts &times)
{
    if (record.No) {
        char digits[12];
        line.append(digits, std::to_chars(digits, digits + sizeof digits, *record.No).ptr);
    }
    // The locale's own text, in the locale's encoding.
    appendColumn(line, record.Time ? std::string_view(times.text(*record.Time)) : std::string_view(), false);
    appendColumn(line, record.DCAC);
    appendColumn(line, record.Value);
    appendColumn(line, record.Unit);
    appendColumn(line, record.Auto);
    line += "\r\n";
}

} // namespace

const std::string &LongTimeTexts::text(std::int32_t millisecondsOfDay)
{
    if (m_bySecond.empty())
        m_bySecond.resize(secondsPerDay);
    std::int32_t second = millisecondsOfDay / 1000;
    second = second < 0 ? 0 : second >= secondsPerDay ? secondsPerDay - 1 : second;
    const auto i = static_cast<std::size_t>(second);
    if (m_bySecond[i].empty())
        m_bySecond[i] = m_locale.formatLongTime({second / 3600, second / 60 % 60, second % 60});
    return m_bySecond[i];
}

void appendExportLine(std::string &line, const ReadingRecord &record, LongTimeTexts &times)
{
    putExportLine(line, record, times);
}

bool exportText(const ReadingTableSnapshot &table, const Locale &locale, ByteSink &sink, WorkProgress *progress)
{
    OutputBuffer out(sink);
    out.append(exportHeaderLine);
    LongTimeTexts times(locale);
    const std::size_t count = table.size();
    if (progress)
        progress->setTotal(count);
    for (std::size_t i = 0; i < count; ++i) {
        if ((i & 0xFFFF) == 0) {
            if (progress) {
                progress->setDone(i);
                if (progress->cancelled())
                    return false;
            }
            if (out.failed())
                return false;
        }
        const ReadingRecord record = table.at(i);
        // Four texts of at most 80 bytes (20 characters of Windows-1252 are
        // at most 60 bytes of UTF-8), the time, a number, tabs, CR LF.
        const std::size_t most = 4 * 80 + times.text(record.Time.value_or(0)).size() + 32;
        RawOut line{out.reserve(most)};
        char *const start = line.p;
        putExportLine(line, record, times);
        out.commit(static_cast<std::size_t>(line.p - start));
    }
    if (progress)
        progress->setDone(count);
    return out.flush();
}

void SplitText(std::string_view text, char separator, std::vector<std::string_view> &list)
{
    list.clear();
    for (;;) {
        const std::size_t at = text.find(separator);
        if (at == std::string_view::npos)
            break;
        list.push_back(text.substr(0, at));
        text.remove_prefix(at + 1);
    }
    list.push_back(text);
}

namespace {

// Reads tab-separated lines block by block into `rows`.
class TextImporter {
public:
    TextImporter(BlockInput &input, const Locale &locale, ReadingTable &rows)
        : m_input(input), m_locale(locale), m_rows(rows)
    {
    }
    LoadResult run();

    static constexpr std::size_t maxLineSize = std::size_t{64} << 20;
    // The header names the columns: at most one title for each of the
    // table's fields, none wider than the table's texts (20 characters of up
    // to four bytes of UTF-8), tabs between them and a byte order mark: 569
    // bytes; the export's own header has 29. A first line longer than that
    // is no header (/dev/zero, a binary file) and is refused there rather
    // than held up to maxLineSize.
    static constexpr std::size_t maxHeaderSize =
        3 + readingFields.size() * 4 * stringFieldWidth + readingFields.size() - 1;

private:
    bool importLine(std::string_view line);
    bool convertTime(std::string_view text, std::int32_t &ms);
    bool fail(std::string what)
    {
        m_error = std::move(what);
        return false;
    }

    BlockInput &m_input;
    const Locale &m_locale;
    ReadingTable &m_rows;
    std::vector<std::string_view> m_pieces;
    std::string m_converted; // a Windows-1252 line as UTF-8
    // Time texts already converted, by a hash of the text: a log repeats
    // each second many times, and the locale's parser is slow.
    struct CachedTime {
        char text[15];
        std::uint8_t size = 0; // 0: empty slot
        std::int32_t ms = 0;
    };
    static constexpr std::size_t timeSlots = 4096;
    std::vector<CachedTime> m_times = std::vector<CachedTime>(timeSlots);
    std::string m_error;
};

LoadResult TextImporter::run()
{
    std::size_t lineNumber = 0;
    const auto failed = [&](std::uint64_t offset, std::string what) {
        return LoadResult{LoadResult::Status::Failed, std::move(what), offset, lineNumber + 1};
    };
    // How much of the line being read has been searched for its end: a
    // long line that comes in many short reads (a pipe) is searched once,
    // not again from its start at every read.
    std::size_t searched = 0;
    for (;;) {
        if (const BlockInput::Status status = m_input.readMore(); status != BlockInput::Status::Ready)
            return m_input.stopped(status, lineNumber + 1);
        const bool final = m_input.final();
        // Every whole line held. A line ends at CR, LF or CR LF; a CR at the
        // end of what is held waits to see whether LF follows.
        for (;;) {
            const std::string_view text = m_input.held();
            std::size_t eol = searched;
            while (eol < text.size() && text[eol] != '\r' && text[eol] != '\n')
                ++eol;
            searched = eol;
            if (lineNumber == 0 && eol > maxHeaderSize)
                return failed(m_input.offset() + maxHeaderSize,
                              "the first line is longer than " + std::to_string(maxHeaderSize)
                                  + " bytes: it is no header of a table");
            const std::optional<std::size_t> lineEnd = nextLineStart(text, eol, final);
            if (!lineEnd)
                break;
            const std::size_t next = *lineEnd;
            // The first line is the header, whatever it holds.
            if (lineNumber > 0 && !importLine(text.substr(0, eol)))
                return failed(m_input.offset(), m_error);
            ++lineNumber;
            m_input.use(next);
            searched = 0;
        }
        if (final)
            return {};
    }
}

bool TextImporter::convertTime(std::string_view text, std::int32_t &ms)
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    CachedTime &slot = m_times[hash % timeSlots];
    const bool cacheable = !text.empty() && text.size() <= sizeof slot.text;
    if (cacheable && slot.size == text.size() && std::memcmp(slot.text, text.data(), text.size()) == 0) {
        ms = slot.ms;
        return true;
    }
    const std::optional<TimeOfDay> time = m_locale.parseLongTime(text);
    // The system's parser takes leap seconds (:60, :61); a time of day in
    // the table does not, or its packet could not be loaded again.
    if (!time || time->hour < 0 || time->hour > 23 || time->minute < 0 || time->minute > 59 || time->second < 0
        || time->second > 59)
        return false;
    ms = ((time->hour * 60 + time->minute) * 60 + time->second) * 1000;
    if (cacheable) {
        std::memcpy(slot.text, text.data(), text.size());
        slot.size = static_cast<std::uint8_t>(text.size());
        slot.ms = ms;
    }
    return true;
}

bool TextImporter::importLine(std::string_view line)
{
    // A message quotes the file's own bytes, so it reads the same whichever
    // encoding the file is read in.
    const std::string_view raw = line;
    const auto quotedPiece = [raw](std::size_t i) {
        std::string_view piece = raw;
        for (; i > 0; --i)
            piece.remove_prefix(piece.find('\t') + 1);
        return quotedBytes(piece.substr(0, piece.find('\t')));
    };
    if (m_input.windows1252()) {
        m_converted.clear();
        appendWindows1252AsUtf8(m_converted, line);
        line = m_converted;
    }
    // Counted before the split: a line of tabs is refused without a piece
    // kept for each.
    const auto pieces = static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t')) + 1;
    if (pieces > readingFields.size())
        return fail(std::to_string(pieces) + " pieces, more than the table's " + std::to_string(readingFields.size())
                    + " fields");
    SplitText(line, '\t', m_pieces);
    ReadingRecord record; // appended: change state 4
    const auto integer = [&](std::size_t i, std::optional<std::int32_t> &into) {
        const std::optional<int> n = parseInteger(m_pieces[i]);
        if (!n)
            return fail(std::string(readingFields[i].name) + " \"" + quotedPiece(i) + "\" is not an integer");
        into = *n;
        return true;
    };
    std::string_view *const texts[] = {&record.DCAC, &record.Value, &record.Unit, &record.Auto};
    for (std::size_t i = 0; i < m_pieces.size(); ++i) {
        switch (readingFields[i].type) {
        case FieldType::Int32:
            if (!integer(i, i == 0 ? record.No : record.Nval))
                return false;
            break;
        case FieldType::Time: {
            std::int32_t ms = 0;
            if (!convertTime(m_pieces[i], ms))
                return fail("Time \"" + quotedPiece(i) + "\" is not a time");
            record.Time = ms;
            break;
        }
        case FieldType::String:
            *texts[i - 2] = m_pieces[i];
            break;
        }
    }
    m_rows.append(record);
    return true;
}

} // namespace

LoadResult importText(ByteSource &source, const Locale &locale, ReadingTable &table, WorkProgress *progress)
{
    return readTableFile(source, table, progress, TextImporter::maxLineSize, [&](BlockInput &input, ReadingTable &rows) {
        return TextImporter(input, locale, rows).run();
    });
}

} // namespace tolmar
