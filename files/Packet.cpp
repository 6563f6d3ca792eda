#include "files/Packet.h"

#include "files/BlockInput.h"
#include "files/ByteStreams.h"
#include "files/PacketTokenizer.h"
#include "platform/BackgroundWork.h"
#include "platform/TextEncoding.h"
#include "record/ReadingTable.h"

#include <array>
#include <charconv>
#include <cstring>
#include <optional>

namespace tolmar {

namespace {

const char *typeName(FieldType type)
{
    switch (type) {
    case FieldType::Int32: return "i4";
    case FieldType::Time: return "time";
    case FieldType::String: return "string";
    }
    return "";
}

// Everything before the first row: the declaration, two blanks, and the
// field declarations. No change log is written, so PARAMS has no attributes.
std::string packetHead()
{
    std::string head = "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
    for (const ReadingField &field : readingFields) {
        head += "<FIELD attrname=\"";
        head += field.name;
        head += "\" fieldtype=\"";
        head += typeName(field.type);
        head += '"';
        if (field.type == FieldType::String)
            head += " WIDTH=\"" + std::to_string(field.width) + '"';
        head += "/>";
    }
    head += "</FIELDS><PARAMS/></METADATA><ROWDATA>";
    return head;
}
constexpr std::string_view packetTail = "</ROWDATA></DATAPACKET>";

// The replacement of each byte that is written escaped, or null.
constexpr auto escapes = [] {
    std::array<const char *, 256> table{};
    table['<'] = "&lt;";
    table['>'] = "&gt;";
    table['&'] = "&amp;";
    table['\''] = "&apos;";
    table['"'] = "&quot;";
    table['\r'] = "&#013;";
    table['\n'] = "&#010;";
    table['\t'] = "&#009;";
    table['\\'] = "&#092;";
    return table;
}();

char *putText(char *out, std::string_view text)
{
    if (text.empty())
        return out; // an empty view may have no data pointer at all
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

char *putEscaped(char *out, std::string_view text)
{
    for (const char c : text) {
        if (const char *escape = escapes[static_cast<unsigned char>(c)])
            out = putText(out, escape);
        else
            *out++ = c;
    }
    return out;
}

char *putInteger(char *out, std::int32_t value)
{
    return std::to_chars(out, out + 12, value).ptr;
}

char *putTime(char *out, std::int32_t ms)
{
    const auto two = [](char *at, unsigned v) {
        at[0] = static_cast<char>('0' + v / 10 % 10);
        at[1] = static_cast<char>('0' + v % 10);
    };
    const auto t = static_cast<unsigned>(ms < 0 ? 0 : ms);
    const unsigned hours = t / 3'600'000;
    if (hours >= 100) {
        out = std::to_chars(out, out + 10, hours).ptr;
    } else {
        two(out, hours);
        out += 2;
    }
    *out++ = ':';
    two(out, t / 60'000 % 60);
    out += 2;
    *out++ = ':';
    unsigned rest = t % 60'000;
    for (int i = 4; i >= 0; --i) {
        out[i] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    return out + 5;
}

// Bytes one row can take at most: four texts of 80 bytes, each byte escaped
// to six, three numbers, the names.
constexpr std::size_t maxRowBytes = 4 * 80 * 6 + 3 * 16 + 128;

} // namespace

std::string packetTimeText(std::int32_t millisecondsOfDay)
{
    char text[32];
    return std::string(text, putTime(text, millisecondsOfDay));
}

bool parsePacketTime(std::string_view text, std::int32_t &millisecondsOfDay)
{
    // hh:mm:sssss, where sssss is seconds x 1000 + milliseconds.
    if (text.size() != 11 || text[2] != ':' || text[5] != ':')
        return false;
    int digits[9];
    int n = 0;
    for (std::size_t i : {0, 1, 3, 4, 6, 7, 8, 9, 10}) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        digits[n++] = text[i] - '0';
    }
    const int hours = digits[0] * 10 + digits[1];
    const int minutes = digits[2] * 10 + digits[3];
    const int ms = digits[4] * 10000 + digits[5] * 1000 + digits[6] * 100 + digits[7] * 10 + digits[8];
    if (hours > 23 || minutes > 59 || ms > 59'999)
        return false;
    millisecondsOfDay = (hours * 60 + minutes) * 60'000 + ms;
    return true;
}

bool writePacket(const ReadingTableSnapshot &table, ByteSink &sink, WorkProgress *progress)
{
    static const std::string head = packetHead();
    OutputBuffer out(sink);
    out.append(head);
    std::string scratch;
    const std::size_t count = table.size();
    if (progress)
        progress->setTotal(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (progress && (i & 0xFFFF) == 0) {
            progress->setDone(i);
            if (progress->cancelled())
                return false;
        }
        if (out.failed())
            return false;
        const ReadingRecord r = table.at(i);
        char *const start = out.reserve(maxRowBytes);
        char *p = putText(start, "<ROW");
        if (r.No)
            p = putInteger(putText(p, " No=\""), *r.No), *p++ = '"';
        if (r.Time)
            p = putTime(putText(p, " Time=\""), *r.Time), *p++ = '"';
        const std::pair<const char *, std::string_view> texts[] = {
            {" DC/AC=\"", r.DCAC}, {" Value=\"", r.Value}, {" Unit=\"", r.Unit}, {" Auto=\"", r.Auto}};
        // Written in UTF-8: a text that is not (a meter's own byte) is
        // taken as Windows-1252, so the file stays readable as UTF-8.
        for (const auto &[name, text] : texts)
            if (!text.empty())
                p = putEscaped(putText(p, name), asUtf8(text, scratch)), *p++ = '"';
        if (r.Nval)
            p = putInteger(putText(p, " Nval=\""), *r.Nval), *p++ = '"';
        p = putText(p, "/>");
        out.commit(static_cast<std::size_t>(p - start));
    }
    out.append(packetTail);
    if (progress)
        progress->setDone(count);
    return out.flush();
}

namespace {

bool parseInt32(std::string_view text, std::int32_t &value)
{
    // Decimal with an optional minus sign, nothing else.
    if (text.empty() || text.front() == '+')
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Reads one packet, block by block, into `rows`.
class PacketReader {
public:
    PacketReader(BlockInput &input, ReadingTable &rows) : m_input(input), m_rows(rows) {}
    LoadResult run();

    // A tag as long as a change log of many rows may take.
    static constexpr std::size_t maxTagSize = std::size_t{256} << 20;
    // The packet's start, up to the end of <DATAPACKET ...>: the declaration
    // and the start tag take 66 bytes as written here; a kilobyte leaves
    // room for a byte order mark, an encoding, other attributes, blanks. A
    // file that has not started a packet by then (blanks without end, a
    // start tag that never closes) is refused there.
    static constexpr std::size_t maxStartSize = 1024;

private:
    static constexpr std::size_t maxDepth = 256;

    // Where an element stands in the packet.
    enum class Place { Other, Packet, Metadata, Fields, Rowdata };

    bool handle(const PacketTag &tag);
    bool open(const PacketTag &tag, bool empty);
    bool declareField(const PacketTag &tag);
    bool checkFields();
    bool readRow(const PacketTag &tag);
    bool decode(std::string_view raw, std::string &out);
    // `at`: the byte the fault is in, when it is not the tag's start.
    bool fail(std::string what, const char *at = nullptr)
    {
        m_error = std::move(what);
        m_errorAt = at;
        return false;
    }

    BlockInput &m_input;
    ReadingTable &m_rows;

    struct Open {
        Place place;
        std::string name;
    };
    std::vector<Open> m_open; // the elements open at this point
    bool m_tagSeen = false;
    bool m_rootClosed = false;
    bool m_metadataSeen = false;
    bool m_rowdataSeen = false;
    std::array<bool, readingFields.size()> m_declared{};
    std::string m_error;
    const char *m_errorAt = nullptr;
    std::string m_scratch[5];
};

LoadResult PacketReader::run()
{
    const auto failed = [](std::uint64_t offset, std::string what) {
        return LoadResult{LoadResult::Status::Failed, std::move(what), offset, 0};
    };
    PacketTag tag;
    bool atStart = true;
    for (;;) {
        if (const BlockInput::Status status = m_input.readMore(); status != BlockInput::Status::Ready)
            return m_input.stopped(status, 0);
        const bool final = m_input.final();
        // A byte order mark some editors put before the declaration.
        if (atStart) {
            constexpr std::string_view bom = "\xEF\xBB\xBF";
            const std::string_view head = m_input.held();
            if (head.size() < bom.size() && !final && bom.starts_with(head))
                continue; // too few bytes yet to tell
            if (head.starts_with(bom))
                m_input.use(bom.size());
            atStart = false;
        }
        for (;;) {
            const std::string_view text = m_input.held();
            std::size_t consumed = 0;
            std::string error;
            const auto scanned = PacketTokenizer::next(text, final, consumed, tag, error);
            // Before <DATAPACKET> is open, whatever reaches past the start's
            // bound is refused at the bound, however the reads were cut.
            if (m_open.empty() && !m_rootClosed) {
                const std::uint64_t reach = m_input.offset()
                    + (scanned == PacketTokenizer::Result::NeedMore || scanned == PacketTokenizer::Result::End
                           ? text.size()
                           : consumed + (scanned == PacketTokenizer::Result::Error ? 1 : 0));
                if (reach > maxStartSize)
                    return failed(maxStartSize, "no <DATAPACKET> in the first " + std::to_string(maxStartSize)
                                                    + " bytes: the file is no packet");
            }
            if (scanned == PacketTokenizer::Result::NeedMore)
                break;
            if (scanned == PacketTokenizer::Result::Error)
                return failed(m_input.offset() + consumed, error);
            if (scanned == PacketTokenizer::Result::End) {
                const std::uint64_t end = m_input.offset() + text.size();
                if (!m_rootClosed)
                    return failed(end, m_tagSeen ? "the packet ends before </DATAPACKET>" : "no packet in the file");
                if (!m_rowdataSeen)
                    return failed(end, "the packet has no ROWDATA");
                return {};
            }
            // The tag starts after the blanks before it.
            const char *const tagStart = text.data() + text.find('<');
            if (!handle(tag))
                return failed(m_input.offsetOf(m_errorAt ? m_errorAt : tagStart), m_error);
            m_input.use(consumed);
        }
    }
}

bool PacketReader::handle(const PacketTag &tag)
{
    // References are checked in every value, also in attributes we ignore.
    for (const PacketTag::Attribute &a : tag.attributes)
        if (a.hasReference && !decode(a.value, m_scratch[4]))
            return false;
    const bool first = !m_tagSeen;
    m_tagSeen = true;
    switch (tag.kind) {
    case PacketTag::Kind::Declaration:
        return first || fail("the XML declaration is not at the start");
    case PacketTag::Kind::Start:
        return open(tag, false);
    case PacketTag::Kind::Empty:
        return open(tag, true);
    case PacketTag::Kind::End:
        if (m_open.empty())
            return fail("an end tag without its start tag");
        if (tag.name != m_open.back().name)
            return fail("</" + quotedBytes(tag.name) + "> does not close <" + quotedBytes(m_open.back().name)
                        + ">");
        m_open.pop_back();
        m_rootClosed = m_open.empty();
        return true;
    }
    return true;
}

bool PacketReader::open(const PacketTag &tag, bool empty)
{
    if (m_rootClosed)
        return fail("an element after </DATAPACKET>");
    const Place parent = m_open.empty() ? Place::Other : m_open.back().place;
    Place place = Place::Other;
    if (m_open.empty()) {
        if (tag.name != "DATAPACKET")
            return fail("the packet does not start with <DATAPACKET>");
        place = Place::Packet;
    } else if (parent == Place::Packet && tag.name == "METADATA") {
        if (m_metadataSeen)
            return fail("a second METADATA");
        m_metadataSeen = true;
        place = Place::Metadata;
    } else if (parent == Place::Packet && tag.name == "ROWDATA") {
        if (m_rowdataSeen)
            return fail("a second ROWDATA");
        if (!m_metadataSeen)
            return fail("ROWDATA before METADATA");
        if (!checkFields())
            return false;
        m_rowdataSeen = true;
        place = Place::Rowdata;
    } else if (parent == Place::Metadata && tag.name == "FIELDS") {
        place = Place::Fields;
    } else if (parent == Place::Fields && tag.name == "FIELD") {
        if (!declareField(tag))
            return false;
    } else if (parent == Place::Rowdata && tag.name == "ROW") {
        if (!readRow(tag))
            return false;
    }
    // Other elements are not ours: checked for form, otherwise ignored.
    if (!empty) {
        if (m_open.size() >= maxDepth)
            return fail("elements nested too deep");
        m_open.push_back({place, std::string(tag.name)});
    }
    if (m_open.empty())
        m_rootClosed = true; // <DATAPACKET/>
    return true;
}

bool PacketReader::decode(std::string_view raw, std::string &out)
{
    std::string error;
    if (!decodePacketValue(raw, m_input.windows1252(), out, error))
        return fail(error, raw.data());
    return true;
}

bool PacketReader::declareField(const PacketTag &tag)
{
    std::optional<std::string_view> name, type, width;
    for (const PacketTag::Attribute &a : tag.attributes) {
        if (a.name == "attrname")
            name = a.value;
        else if (a.name == "fieldtype")
            type = a.value;
        else if (a.name == "WIDTH")
            width = a.value;
    }
    if (!name)
        return fail("a FIELD without attrname");
    std::string &fieldName = m_scratch[0];
    if (!decode(*name, fieldName))
        return false;
    for (std::size_t i = 0; i < readingFields.size(); ++i) {
        const ReadingField &field = readingFields[i];
        if (fieldName != field.name)
            continue;
        if (m_declared[i])
            return fail("the field " + fieldName + " is declared twice");
        std::string &typeText = m_scratch[1];
        if (!type || !decode(*type, typeText) || typeText != typeName(field.type))
            return fail("the field " + fieldName + " is not of type " + typeName(field.type));
        if (field.type == FieldType::String) {
            std::string &widthText = m_scratch[2];
            if (!width || !decode(*width, widthText) || widthText != std::to_string(field.width))
                return fail("the field " + fieldName + " is not " + std::to_string(field.width) + " characters wide");
        }
        m_declared[i] = true;
        return true;
    }
    return true; // a field this table does not have
}

bool PacketReader::checkFields()
{
    for (std::size_t i = 0; i < readingFields.size(); ++i)
        if (!m_declared[i])
            return fail(std::string("the packet has no field ") + readingFields[i].name);
    return true;
}

bool PacketReader::readRow(const PacketTag &tag)
{
    ReadingRecord record;
    record.changeState = 0; // a row without RowState is unchanged
    // A raw value is used as it stands unless it holds a reference, or bytes
    // to convert from Windows-1252.
    const auto text = [&](const PacketTag::Attribute &a, std::string &scratch, std::string_view &into) {
        const std::string_view raw = a.value;
        bool plain = !a.hasReference;
        if (plain && m_input.windows1252())
            for (const char c : raw)
                if (static_cast<unsigned char>(c) >= 0x80) {
                    plain = false;
                    break;
                }
        if (plain) {
            into = raw;
            return true;
        }
        if (!decode(raw, scratch))
            return false;
        into = scratch;
        return true;
    };
    const auto number = [&](const PacketTag::Attribute &a, std::optional<std::int32_t> &into, bool isTime) {
        std::string_view value;
        if (!text(a, m_scratch[4], value))
            return false;
        std::int32_t n = 0;
        if (isTime ? !parsePacketTime(value, n) : !parseInt32(value, n))
            // Quoted as the file has it, so the message reads the same
            // whichever encoding the file is read in.
            return fail("the " + std::string(a.name) + " value \"" + quotedBytes(a.value)
                            + (isTime ? "\" is not a time" : "\" is not an integer"),
                        a.value.data());
        into = n;
        return true;
    };
    for (const PacketTag::Attribute &a : tag.attributes) {
        const std::string_view name = a.name;
        bool ok = true;
        if (name == "No")
            ok = number(a, record.No, false);
        else if (name == "Time")
            ok = number(a, record.Time, true);
        else if (name == "DC/AC")
            ok = text(a, m_scratch[0], record.DCAC);
        else if (name == "Value")
            ok = text(a, m_scratch[1], record.Value);
        else if (name == "Unit")
            ok = text(a, m_scratch[2], record.Unit);
        else if (name == "Auto")
            ok = text(a, m_scratch[3], record.Auto);
        else if (name == "Nval")
            ok = number(a, record.Nval, false);
        else if (name == "RowState") {
            std::optional<std::int32_t> state;
            ok = number(a, state, false);
            if (ok && (*state < 0 || *state > 255))
                ok = fail("the RowState " + std::to_string(*state) + " is out of range");
            if (ok)
                record.changeState = static_cast<std::uint8_t>(*state);
        }
        // Any other attribute is a field this table does not have.
        if (!ok)
            return false;
    }
    m_rows.append(record);
    return true;
}

} // namespace

LoadResult readPacket(ByteSource &source, ReadingTable &table, WorkProgress *progress)
{
    return readTableFile(source, table, progress, PacketReader::maxTagSize,
                         [](BlockInput &input, ReadingTable &rows) { return PacketReader(input, rows).run(); });
}

} // namespace tolmar
