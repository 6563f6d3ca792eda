#include "files/CsvTable.h"

#include "files/BlockInput.h"
#include "files/ByteStreams.h"
#include "platform/BackgroundWork.h"
#include "platform/Clock.h"
#include "platform/NumberText.h"
#include "platform/TextEncoding.h"
#include "record/ReadingTable.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace tolmar {

namespace {

constexpr std::size_t fieldCount = 8;
constexpr std::array<std::string_view, fieldCount> fieldNames = {"No",      "Time", "Func",  "Value",
                                                                 "Display", "Unit", "Judge", "Nval"};

// The LCD font draws these characters as symbols; the report maps them the same way.
struct UnitSymbol {
    char lcd;
    std::string_view unicode;
};
constexpr UnitSymbol unitSymbols[] = {
    {'*', "\u03A9"},  // ohm
    {'+', "\u00B5"},  // micro
    {')', "\u25B6|"}, // diode: a triangle against its bar
    {'&', "\u266A"},  // continuity: the beeper's note
    // Other programs write these for the same: read back, never written.
    {'*', "\u2126"}, // ohm sign
    {'+', "\u03BC"}, // Greek small mu
};
constexpr std::size_t writtenSymbols = 4;

// Quotes are needed for a separator, a quote or a line end inside, and for
// blanks at either end, which some readers would otherwise drop.
bool needsQuotes(std::string_view text)
{
    if (text.empty())
        return false;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (blank(text.front()) || blank(text.back()))
        return true;
    for (const char c : text)
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    return false;
}

template <typename Out>
void putField(Out &out, std::string_view text)
{
    if (!needsQuotes(text)) {
        out += text;
        return;
    }
    out += '"';
    for (;;) {
        const std::size_t quote = text.find('"');
        if (quote == std::string_view::npos)
            break;
        out += text.substr(0, quote + 1);
        out += '"';
        text.remove_prefix(quote + 1);
    }
    out += text;
    out += '"';
}

// A table's text (a meter's own byte is Windows-1252) as UTF-8, quoted as needed.
template <typename Out>
void putText(Out &out, std::string_view text)
{
    thread_local std::string scratch;
    putField(out, asUtf8(text, scratch));
}

template <typename Out>
void putUnit(Out &out, std::string_view unit)
{
    thread_local std::string mapped;
    mapped = unicodeUnitText(unit);
    putField(out, mapped);
}

// The display's text as a number with a dot; empty when it is no number.
template <typename Out>
void putNumber(Out &out, std::string_view text)
{
    const auto number = splitDisplayedNumber(text);
    if (!number)
        return;
    if (number->negative)
        out += '-';
    out += number->whole.empty() ? std::string_view("0") : number->whole;
    if (!number->fraction.empty()) {
        out += '.';
        out += number->fraction;
    }
}

template <typename Out>
void putInteger(Out &out, const std::optional<std::int32_t> &n)
{
    if (!n)
        return;
    char digits[12];
    out += std::string_view(digits, static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, *n).ptr - digits));
}

// The date part of a run, "2026-12-09T", and its offset, "+01:00", made once.
struct DateTexts {
    char date[24];
    std::size_t dateSize = 0;
    char offset[16];
    std::size_t offsetSize = 0;

    explicit DateTexts(const RecordDate &d)
    {
        int year = 0, month = 0, day = 0;
        civilFromDays(d.day, year, month, day);
        if (year < 0 || year > 9999) {
            dateSize = static_cast<std::size_t>(std::snprintf(date, sizeof date, "%04d-%02d-%02dT", year, month, day));
        } else {
            // A run a record when every record has a day of its own: no printf.
            char *p = date;
            for (int unit = 1000; unit > 0; unit /= 10)
                *p++ = static_cast<char>('0' + year / unit % 10);
            *p++ = '-';
            *p++ = static_cast<char>('0' + month / 10);
            *p++ = static_cast<char>('0' + month % 10);
            *p++ = '-';
            *p++ = static_cast<char>('0' + day / 10);
            *p++ = static_cast<char>('0' + day % 10);
            *p++ = 'T';
            dateSize = static_cast<std::size_t>(p - date);
        }
        const int minutes = d.utcOffsetMinutes < 0 ? -d.utcOffsetMinutes : d.utcOffsetMinutes;
        char *p = offset;
        *p++ = d.utcOffsetMinutes < 0 ? '-' : '+';
        p = putTwoDigits(p, minutes / 60);
        *p++ = ':';
        p = putTwoDigits(p, minutes % 60);
        offsetSize = static_cast<std::size_t>(p - offset);
    }

    static char *putTwoDigits(char *p, int v)
    {
        if (v >= 100)
            return std::to_chars(p, p + 8, v).ptr;
        *p++ = static_cast<char>('0' + v / 10);
        *p++ = static_cast<char>('0' + v % 10);
        return p;
    }
};

template <typename Out>
void putTime(Out &out, const std::optional<std::int32_t> &time, const DateTexts *date)
{
    if (!time)
        return;
    const auto t = static_cast<unsigned>(*time < 0 ? 0 : *time);
    char text[32];
    char *p = text;
    const auto two = [&p](unsigned v) {
        *p++ = static_cast<char>('0' + v / 10 % 10);
        *p++ = static_cast<char>('0' + v % 10);
    };
    const unsigned hours = t / 3'600'000;
    if (hours >= 100)
        p = std::to_chars(p, p + 12, hours).ptr;
    else
        two(hours);
    *p++ = ':';
    two(t / 60'000 % 60);
    *p++ = ':';
    two(t / 1000 % 60);
    *p++ = '.';
    *p++ = static_cast<char>('0' + t / 100 % 10);
    two(t % 100);
    if (date)
        out += std::string_view(date->date, date->dateSize);
    out += std::string_view(text, static_cast<std::size_t>(p - text));
    if (date)
        out += std::string_view(date->offset, date->offsetSize);
}

template <typename Out>
void putLine(Out &out, const ReadingRecord &record, const DateTexts *date)
{
    putInteger(out, record.No);
    out += ',';
    putTime(out, record.Time, date);
    out += ',';
    putText(out, record.DCAC);
    out += ',';
    putNumber(out, record.Value);
    out += ',';
    putText(out, record.Value);
    out += ',';
    putUnit(out, record.Unit);
    out += ',';
    putText(out, record.Auto);
    out += ',';
    putInteger(out, record.Nval);
    out += "\r\n";
}

// Four texts of at most 20 characters (80 bytes of UTF-8, a unit's symbol
// four bytes for one), each doubled by quotes at most, the time, numbers.
constexpr std::size_t maxLineBytes = 1024;

} // namespace

std::string unicodeUnitText(std::string_view lcdUnit)
{
    thread_local std::string scratch;
    const std::string_view text = asUtf8(lcdUnit, scratch);
    std::string unit;
    unit.reserve(text.size() + 8);
    for (const char c : text) {
        std::size_t s = 0;
        while (s < writtenSymbols && unitSymbols[s].lcd != c)
            ++s;
        if (s < writtenSymbols)
            unit += unitSymbols[s].unicode;
        else
            unit += c;
    }
    return unit;
}

std::string lcdUnitText(std::string_view unicodeUnit)
{
    std::string unit;
    unit.reserve(unicodeUnit.size());
    for (std::size_t at = 0; at < unicodeUnit.size();) {
        bool found = false;
        for (const UnitSymbol &symbol : unitSymbols)
            if (unicodeUnit.substr(at, symbol.unicode.size()) == symbol.unicode) {
                unit += symbol.lcd;
                at += symbol.unicode.size();
                found = true;
                break;
            }
        if (!found)
            unit += unicodeUnit[at++];
    }
    return unit;
}

void appendCsvLine(std::string &line, const ReadingRecord &record, std::optional<RecordDate> date)
{
    if (date) {
        const DateTexts texts(*date);
        putLine(line, record, &texts);
    } else {
        putLine(line, record, nullptr);
    }
}

bool exportCsv(const ReadingTableSnapshot &table, ByteSink &sink, WorkProgress *progress)
{
    OutputBuffer out(sink);
    out.append(utf8ByteOrderMark);
    out.append(csvHeaderLine);
    const std::size_t count = table.size();
    if (progress)
        progress->setTotal(count);
    DateRun run;
    std::optional<DateTexts> date;
    if (count > 0) {
        run = table.dateRunOf(0);
        if (run.date)
            date.emplace(*run.date);
    }
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
        if (i >= run.end) {
            // The date is made once for all the records of a day.
            while (i >= run.end)
                run = table.nextDateRun(run);
            date.reset();
            if (run.date)
                date.emplace(*run.date);
        }
        RawOut line{out.reserve(maxLineBytes)};
        char *const start = line.p;
        putLine(line, table.at(i), date ? &*date : nullptr);
        out.commit(static_cast<std::size_t>(line.p - start));
    }
    if (progress)
        progress->setDone(count);
    return out.flush();
}

namespace {

// Reads comma-separated lines block by block into `rows`.
class CsvImporter {
public:
    CsvImporter(BlockInput &input, ReadingTable &rows) : m_input(input), m_rows(rows) {}
    LoadResult run();

    // A record is at most a kilobyte or so: one far longer is a quote left
    // open, told as soon as it is clear.
    static constexpr std::size_t maxRecordSize = std::size_t{64} << 10;
    static constexpr std::size_t maxLineSize = std::size_t{4} << 20;
    static constexpr std::size_t maxHeaderSize = 256;

private:
    bool header(std::string_view line);
    bool importLine(std::string_view line);
    bool split(std::string_view line);
    bool parseTime(std::string_view text, std::int32_t &ms, std::optional<RecordDate> &date) const;
    bool fail(std::string what)
    {
        m_error = std::move(what);
        return false;
    }
    std::string quoted(std::size_t field) const { return "\"" + quotedBytes(m_fields[field]) + "\""; }

    BlockInput &m_input;
    ReadingTable &m_rows;
    std::array<std::string_view, fieldCount> m_fields;
    std::array<std::string, fieldCount> m_unquoted; // fields with doubled quotes
    std::size_t m_fieldCount = 0;
    std::string m_converted; // a Windows-1252 line as UTF-8
    std::string m_unit;
    std::string m_error;
};

LoadResult CsvImporter::run()
{
    std::size_t line = 1; // of the file, where the record being read starts
    const auto failed = [&](std::uint64_t offset, std::string what) {
        return LoadResult{LoadResult::Status::Failed, std::move(what), offset, line};
    };
    // How far the record being read has been searched for its end, and
    // whether that is inside quotes: a record that comes in many short
    // reads is searched once.
    std::size_t searched = 0;
    bool inQuotes = false;
    bool first = true;
    for (;;) {
        if (const BlockInput::Status status = m_input.readMore(); status != BlockInput::Status::Ready)
            return m_input.stopped(status, line);
        const bool final = m_input.final();
        for (;;) {
            const std::string_view text = m_input.held();
            std::size_t eol = searched;
            // A record ends at CR, LF or CR LF outside quotes. Every quote
            // flips the state: a doubled one inside quotes flips it twice.
            for (; eol < text.size(); ++eol) {
                const char c = text[eol];
                if (c == '"')
                    inQuotes = !inQuotes;
                else if (!inQuotes && (c == '\r' || c == '\n'))
                    break;
            }
            searched = eol;
            // A quote that never closes: what its first line holds says why.
            if (inQuotes && (eol > maxRecordSize || (final && eol == text.size()))) {
                const std::string_view start = text.substr(0, std::min(text.find_first_of("\r\n"), eol));
                if (first ? !header(start) : !split(start))
                    return failed(m_input.offset(), m_error);
                return failed(m_input.offset(), "a quoted field is not closed");
            }
            if (first && eol > maxHeaderSize)
                return failed(m_input.offset() + maxHeaderSize,
                              "the first line is longer than " + std::to_string(maxHeaderSize)
                                  + " bytes: it is no header of comma-separated values");
            const std::optional<std::size_t> lineEnd = nextLineStart(text, eol, final);
            if (!lineEnd)
                break;
            const std::size_t next = *lineEnd;
            const std::string_view record = text.substr(0, eol);
            if (first ? !header(record) : !record.empty() && !importLine(record))
                return failed(m_input.offset(), m_error);
            first = false;
            // Line ends inside quotes count as lines of the file.
            ++line;
            if (record.find('"') != std::string_view::npos)
                for (std::size_t i = 0; i < record.size(); ++i)
                    if (record[i] == '\n' || (record[i] == '\r' && (i + 1 == record.size() || record[i + 1] != '\n')))
                        ++line;
            m_input.use(next);
            searched = 0;
        }
        if (final) {
            if (first)
                return failed(0, "the file is empty: no header of comma-separated values");
            return {};
        }
    }
}

bool CsvImporter::split(std::string_view line)
{
    if (m_input.windows1252()) {
        m_converted.clear();
        appendWindows1252AsUtf8(m_converted, line);
        line = m_converted;
    }
    m_fieldCount = 0;
    std::size_t at = 0;
    for (;;) {
        if (m_fieldCount == fieldCount)
            return fail("more than " + std::to_string(fieldCount) + " fields");
        const std::size_t n = m_fieldCount++;
        std::string_view &field = m_fields[n];
        if (at < line.size() && line[at] == '"') {
            std::string &buffer = m_unquoted[n];
            buffer.clear();
            const std::size_t start = ++at;
            bool doubled = false;
            for (;;) {
                const std::size_t quote = line.find('"', at);
                if (quote == std::string_view::npos)
                    return fail(std::string(fieldNames[n]) + ": the quote is not closed");
                if (quote + 1 < line.size() && line[quote + 1] == '"') {
                    buffer.append(line.substr(at, quote + 1 - at));
                    at = quote + 2;
                    doubled = true;
                    continue;
                }
                if (doubled) {
                    buffer.append(line.substr(at, quote - at));
                    field = buffer;
                } else {
                    field = line.substr(start, quote - start);
                }
                at = quote + 1;
                break;
            }
            if (at == line.size())
                return true;
            if (line[at] != ',')
                return fail(std::string(fieldNames[n]) + ": \"" + quotedBytes(line.substr(at, 20))
                            + "\" after the closing quote");
            ++at;
        } else {
            const std::size_t comma = line.find(',', at);
            field = line.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
            if (field.find('"') != std::string_view::npos)
                return fail(std::string(fieldNames[n]) + " " + quoted(n) + " has a quote but is not in quotes");
            if (comma == std::string_view::npos)
                return true;
            at = comma + 1;
        }
    }
}

bool CsvImporter::header(std::string_view line)
{
    if (line.substr(0, utf8ByteOrderMark.size()) == utf8ByteOrderMark)
        line.remove_prefix(utf8ByteOrderMark.size());
    const std::string_view expected = csvHeaderLine.substr(0, csvHeaderLine.size() - 2);
    bool same = split(line) && m_fieldCount == fieldCount;
    for (std::size_t i = 0; same && i < fieldCount; ++i) {
        same = m_fields[i].size() == fieldNames[i].size();
        for (std::size_t k = 0; same && k < fieldNames[i].size(); ++k)
            same = (m_fields[i][k] | 0x20) == (fieldNames[i][k] | 0x20);
    }
    if (!same)
        return fail("the header is not \"" + std::string(expected) + "\": the file is no table of records");
    return true;
}

bool CsvImporter::parseTime(std::string_view text, std::int32_t &ms, std::optional<RecordDate> &date) const
{
    const auto number = [&](std::size_t at, std::size_t digits, int &value) {
        value = 0;
        for (std::size_t i = at; i < at + digits; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    std::size_t at = 0;
    constexpr std::size_t dateSize = 11, timeSize = 12;
    if (text.size() > timeSize) {
        // 2026-12-09T13:13:13.123+01:00, or ...Z for UTC
        int year = 0, month = 0, day = 0;
        if (text.size() < dateSize + timeSize + 1 || !number(0, 4, year) || text[4] != '-' || !number(5, 2, month)
            || text[7] != '-' || !number(8, 2, day) || (text[10] != 'T' && text[10] != ' ') || month < 1 || month > 12
            || day < 1 || day > 31)
            return false;
        const long long days = daysFromCivil(year, month, day);
        int y = 0, m = 0, d = 0;
        civilFromDays(days, y, m, d);
        if (d != day) // the 31st of a shorter month
            return false;
        const std::string_view zone = text.substr(dateSize + timeSize);
        int offset = 0;
        if (zone != "Z") {
            int hours = 0, minutes = 0;
            if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':'
                || !number(dateSize + timeSize + 1, 2, hours) || !number(dateSize + timeSize + 4, 2, minutes)
                || hours > 23 || minutes > 59)
                return false;
            offset = (hours * 60 + minutes) * (zone[0] == '-' ? -1 : 1);
        }
        date = RecordDate{static_cast<std::int32_t>(days), static_cast<std::int16_t>(offset)};
        at = dateSize;
    } else if (text.size() != timeSize) {
        return false;
    }
    int hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
    if (!number(at, 2, hours) || text[at + 2] != ':' || !number(at + 3, 2, minutes) || text[at + 5] != ':'
        || !number(at + 6, 2, seconds) || text[at + 8] != '.' || !number(at + 9, 3, milliseconds) || hours > 23
        || minutes > 59 || seconds > 59)
        return false;
    ms = ((hours * 60 + minutes) * 60 + seconds) * 1000 + milliseconds;
    return true;
}

bool CsvImporter::importLine(std::string_view line)
{
    if (!split(line))
        return false;
    if (m_fieldCount != fieldCount)
        return fail(std::to_string(m_fieldCount) + (m_fieldCount == 1 ? " field" : " fields") + ", not "
                    + std::to_string(fieldCount));
    ReadingRecord record; // appended: change state 4
    std::optional<RecordDate> date;
    const auto integer = [&](std::size_t i, std::optional<std::int32_t> &into) {
        if (m_fields[i].empty())
            return true;
        const std::optional<int> n = parseInteger(m_fields[i]);
        if (!n)
            return fail(std::string(fieldNames[i]) + " " + quoted(i) + " is not an integer");
        into = *n;
        return true;
    };
    if (!integer(0, record.No) || !integer(7, record.Nval))
        return false;
    if (!m_fields[1].empty()) {
        std::int32_t ms = 0;
        if (!parseTime(m_fields[1], ms, date))
            return fail("Time " + quoted(1)
                        + " is not a time (2026-12-09T13:13:13.123+01:00, or 13:13:13.123 without a date)");
        record.Time = ms;
    }
    record.DCAC = m_fields[2];
    record.Value = m_fields[4];
    m_unit = lcdUnitText(m_fields[5]);
    record.Unit = m_unit;
    record.Auto = m_fields[6];
    m_rows.append(record, date);
    return true;
}

} // namespace

LoadResult importCsv(ByteSource &source, ReadingTable &table, WorkProgress *progress)
{
    return readTableFile(source, table, progress, CsvImporter::maxLineSize, [](BlockInput &input, ReadingTable &rows) {
        LoadResult result = CsvImporter(input, rows).run();
        // All of the file or nothing: a file with a bad line is no table of ours.
        if (result.status == LoadResult::Status::Failed)
            rows.clear();
        return result;
    });
}

} // namespace tolmar
