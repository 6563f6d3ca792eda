#include "files/Journal.h"

#include "files/BlockInput.h"
#include "files/ByteStreams.h"
#include "platform/BackgroundWork.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace tolmar {

namespace {

constexpr std::array<std::uint32_t, 256> crcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

constexpr char hexDigits[] = "0123456789abcdef";

// The longest line a journal writes is far below this; a longer one is damage.
constexpr std::size_t longestLine = 4096;

void appendInt(std::string &out, long long value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

void appendOptional(std::string &out, std::optional<std::int32_t> value)
{
    out += '\t';
    if (value)
        appendInt(out, *value);
}

void appendText(std::string &out, std::string_view text)
{
    out += '\t';
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char escaped = c == '\\' ? '\\' : c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : 0;
        if (!escaped)
            continue;
        out.append(text.data() + plain, i - plain);
        out += '\\';
        out += escaped;
        plain = i + 1;
    }
    out.append(text.data() + plain, text.size() - plain);
}

void appendDouble(std::string &out, double value)
{
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr; // shortest that reads back
    out.append(digits, end);
}

// Closes the line that starts at `start`: its check and the line feed.
void endLine(std::string &out, std::size_t start)
{
    std::uint32_t crc = crc32(std::string_view(out).substr(start));
    char text[10];
    text[0] = '\t';
    for (int i = 8; i >= 1; --i, crc >>= 4)
        text[i] = hexDigits[crc & 0xF];
    text[9] = '\n';
    out.append(text, sizeof text);
}

void appendFields(std::string &out, const ReadingRecord &record)
{
    appendOptional(out, record.No);
    appendOptional(out, record.Time);
    appendText(out, record.DCAC);
    appendText(out, record.Value);
    appendText(out, record.Unit);
    appendText(out, record.Auto);
    appendOptional(out, record.Nval);
}

} // namespace

std::uint32_t crc32(std::string_view bytes, std::uint32_t crc)
{
    crc = ~crc;
    for (const char byte : bytes)
        crc = crcTable[(crc ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

namespace journal {

void appendHeader(std::string &out, std::string_view created)
{
    const std::size_t start = out.size();
    out += journalMagic;
    out += '\t';
    appendInt(out, journalVersion);
    appendText(out, created);
    endLine(out, start);
}

void appendBegin(std::string &out, char kind, JournalNumbering numbering)
{
    const std::size_t start = out.size();
    out += kind;
    out += '\t';
    appendInt(out, numbering.next);
    out += '\t';
    appendInt(out, numbering.recorded);
    endLine(out, start);
}

void appendDate(std::string &out, std::optional<RecordDate> date)
{
    const std::size_t start = out.size();
    out += "D\t";
    if (date)
        appendInt(out, date->day);
    out += '\t';
    if (date)
        appendInt(out, date->utcOffsetMinutes);
    endLine(out, start);
}

void appendRecorded(std::string &out, const ReadingRecord &record, std::optional<double> chartValue)
{
    const std::size_t start = out.size();
    out += 'R';
    appendFields(out, record);
    out += '\t';
    if (chartValue)
        appendDouble(out, *chartValue);
    endLine(out, start);
}

void appendLoaded(std::string &out, const ReadingRecord &record)
{
    const std::size_t start = out.size();
    out += 'L';
    appendFields(out, record);
    out += '\t';
    appendInt(out, record.changeState);
    endLine(out, start);
}

void appendChartValue(std::string &out, double value)
{
    const std::size_t start = out.size();
    out += "P\t";
    appendDouble(out, value);
    endLine(out, start);
}

void appendNumbering(std::string &out, JournalNumbering numbering)
{
    appendBegin(out, 'N', numbering);
}

void appendRows(std::string &out, const ReadingTableSnapshot &rows, std::size_t first, std::size_t end)
{
    if (first >= end)
        return;
    DateRun run = rows.dateRunOf(first);
    appendDate(out, run.date);
    for (std::size_t i = first; i < end; ++i) {
        if (i == run.end) {
            run = rows.nextDateRun(run);
            appendDate(out, run.date);
        }
        appendLoaded(out, rows.at(i));
    }
}

} // namespace journal

namespace {

// The fields of one line, its kind letter and check taken off.
class Fields {
public:
    explicit Fields(std::string_view fields) : m_rest(fields) {}

    std::optional<std::string_view> next()
    {
        if (m_done)
            return std::nullopt;
        const std::size_t tab = m_rest.find('\t');
        const std::string_view field = m_rest.substr(0, tab);
        if (tab == std::string_view::npos)
            m_done = true;
        else
            m_rest.remove_prefix(tab + 1);
        return field;
    }
    bool atEnd() const { return m_done; }

private:
    std::string_view m_rest;
    bool m_done = false;
};

template <typename Int>
bool parseInt(std::string_view text, Int &value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool parseOptional(std::optional<std::string_view> text, std::optional<std::int32_t> &value)
{
    if (!text)
        return false;
    if (text->empty()) {
        value.reset();
        return true;
    }
    std::int32_t number = 0;
    if (!parseInt(*text, number))
        return false;
    value = number;
    return true;
}

bool parseDouble(std::string_view text, double &value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// Undoes the escapes; false for a lone backslash or an unknown escape.
bool unescape(std::optional<std::string_view> text, std::string &out)
{
    if (!text)
        return false;
    out.clear();
    for (std::size_t i = 0; i < text->size(); ++i) {
        const char c = (*text)[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == text->size())
            return false;
        switch ((*text)[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return false;
        }
    }
    return true;
}

// The session as the lines so far leave it.
class Replay {
public:
    explicit Replay(JournalContents &contents) : m_c(contents) {}

    // False when the line is not one a journal writes.
    bool line(std::string_view body)
    {
        if (body.empty())
            return false;
        const char kind = body[0];
        if (body.size() > 1 && body[1] != '\t')
            return false;
        Fields fields(body.size() > 1 ? body.substr(2) : std::string_view());
        switch (kind) {
        case 'B':
        case 'E':
        case 'N': {
            JournalNumbering numbering;
            if (!number(fields.next(), numbering.next) || !number(fields.next(), numbering.recorded)
                || !fields.atEnd())
                return false;
            if (kind == 'B' || kind == 'E') {
                m_c.rows = ReadingTable();
                m_date.reset();
            }
            if (kind == 'E')
                m_c.chartValues.clear();
            m_c.numbering = numbering;
            return true;
        }
        case 'D': {
            const auto day = fields.next();
            const auto offset = fields.next();
            if (!day || !offset || !fields.atEnd())
                return false;
            if (day->empty() && offset->empty()) {
                m_date.reset();
                return true;
            }
            RecordDate date;
            if (!parseInt(*day, date.day) || !parseInt(*offset, date.utcOffsetMinutes)
                || std::abs(date.utcOffsetMinutes) > 24 * 60)
                return false;
            m_date = date;
            return true;
        }
        case 'R':
        case 'L': {
            ReadingRecord record;
            if (!parseOptional(fields.next(), record.No) || !parseOptional(fields.next(), record.Time)
                || !unescape(fields.next(), m_dcac) || !unescape(fields.next(), m_value)
                || !unescape(fields.next(), m_unit) || !unescape(fields.next(), m_auto)
                || !parseOptional(fields.next(), record.Nval))
                return false;
            const auto last = fields.next();
            if (!last || !fields.atEnd())
                return false;
            std::optional<double> chartValue;
            if (kind == 'R') {
                // A recorded row is numbered, and given the chart its value when it had one.
                if (!record.No || *record.No == std::numeric_limits<std::int32_t>::max())
                    return false;
                if (!last->empty()) {
                    double value = 0;
                    if (!parseDouble(*last, value))
                        return false;
                    chartValue = value;
                }
            } else if (!parseInt(*last, record.changeState)) {
                return false;
            }
            record.DCAC = m_dcac;
            record.Value = m_value;
            record.Unit = m_unit;
            record.Auto = m_auto;
            m_c.rows.append(record, m_date);
            if (kind == 'R') {
                m_c.numbering.next = *record.No + 1;
                ++m_c.numbering.recorded;
                if (chartValue)
                    m_c.chartValues.push_back(*chartValue);
            }
            return true;
        }
        case 'P': {
            double value = 0;
            const auto text = fields.next();
            if (!text || !parseDouble(*text, value) || !fields.atEnd())
                return false;
            m_c.chartValues.push_back(value);
            ++m_c.numbering.next;
            return true;
        }
        default:
            return false;
        }
    }

private:
    static bool number(std::optional<std::string_view> text, int &value) { return text && parseInt(*text, value); }

    JournalContents &m_c;
    std::optional<RecordDate> m_date;
    std::string m_dcac, m_value, m_unit, m_auto; // the unescaped texts of the row being read
};

// Splits a whole line into its body and checks its CRC: nullopt when damaged.
std::optional<std::string_view> checkedBody(std::string_view line)
{
    if (line.size() < 9 || line[line.size() - 9] != '\t')
        return std::nullopt;
    std::uint32_t stored = 0;
    const std::string_view hex = line.substr(line.size() - 8);
    for (const char c : hex) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0)
            return std::nullopt;
        stored = stored << 4 | static_cast<std::uint32_t>(digit);
    }
    const std::string_view body = line.substr(0, line.size() - 9);
    if (crc32(body) != stored)
        return std::nullopt;
    return body;
}

bool readHeader(std::string_view body, JournalContents &contents)
{
    Fields fields(body);
    const auto magic = fields.next();
    const auto version = fields.next();
    int number = 0;
    if (!magic || *magic != journalMagic || !version || !parseInt(*version, number)) {
        contents.reason = "it is not a Tolmar session journal";
        return false;
    }
    // Another version's start of the session still names a kept file.
    std::string created;
    const bool createdRead = unescape(fields.next(), created);
    if (createdRead)
        contents.created = std::move(created);
    if (number != journalVersion) {
        contents.reason = "it was written by another version of Tolmar (journal format " + std::string(*version) + ")";
        return false;
    }
    if (!createdRead || !fields.atEnd()) {
        contents.reason = "its first line is damaged";
        return false;
    }
    return true;
}

} // namespace

JournalContents readJournal(ByteSource &source, WorkProgress *progress)
{
    JournalContents contents;
    Replay replay(contents);
    // Bytes as they are: the texts are the table's own, whatever their encoding.
    BlockInput input(source, progress, true, longestLine);
    bool header = true;
    while (true) {
        const std::string_view held = input.held();
        std::size_t at = 0;
        while (true) {
            const std::size_t eol = held.find('\n', at);
            if (eol == std::string_view::npos)
                break;
            const std::string_view line = held.substr(at, eol - at);
            const auto body = checkedBody(line);
            bool good = body.has_value();
            if (good && header) {
                if (!readHeader(*body, contents))
                    return contents; // Refused, with its reason
                header = false;
            } else if (good) {
                good = replay.line(*body);
            }
            if (!good) {
                contents.status = header ? JournalContents::Status::Refused : JournalContents::Status::Damaged;
                if (header)
                    contents.reason = "its first line is damaged";
                return contents;
            }
            at = eol + 1;
            contents.validBytes = input.offsetOf(held.data() + at);
            ++contents.lineCount;
        }
        input.use(at);
        if (input.final()) {
            // What is left is a line the crash cut short, or nothing.
            if (header) {
                contents.status = JournalContents::Status::Refused;
                contents.reason = input.held().empty() ? "it is empty" : "its first line is cut short";
            } else {
                contents.status = JournalContents::Status::Restorable;
            }
            return contents;
        }
        const BlockInput::Status status = input.readMore();
        if (status == BlockInput::Status::Cancelled) {
            contents.status = JournalContents::Status::Refused;
            contents.reason = "cancelled";
            return contents;
        }
        if (status == BlockInput::Status::Failed) {
            // A line longer than any the journal writes is damage; a read
            // error stops where it struck.
            contents.status = header ? JournalContents::Status::Refused : JournalContents::Status::Damaged;
            contents.reason = input.error();
            return contents;
        }
    }
}

} // namespace tolmar
