#include "record/ReadingTable.h"

#include <algorithm>
#include <cstring>

namespace tolmar {

namespace {

// The length of the UTF-8 sequence that starts at text[at], or 0 when it is
// not one (a stray continuation byte, an overlong or cut-off sequence).
std::size_t utf8SequenceLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                         : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    // No overlong three- and four-byte forms, no surrogates, nothing past U+10FFFF.
    if ((lead == 0xE0 && byte(at + 1) < 0xA0) || (lead == 0xED && byte(at + 1) > 0x9F)
        || (lead == 0xF0 && byte(at + 1) < 0x90) || (lead == 0xF4 && byte(at + 1) > 0x8F))
        return 0;
    return length;
}

// Null flags of a record.
constexpr std::uint8_t noIsNull = 1;
constexpr std::uint8_t timeIsNull = 2;
constexpr std::uint8_t nvalIsNull = 4;

constexpr std::size_t textCount = 4; // DC/AC, Value, Unit, Auto

} // namespace

std::string_view cutToFieldWidth(std::string_view text)
{
    if (text.size() <= stringFieldWidth)
        return text;
    std::size_t at = 0;
    for (std::size_t characters = 0; characters < stringFieldWidth; ++characters) {
        if (at == text.size())
            return text;
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0)
            return text.substr(0, stringFieldWidth); // not UTF-8: bytes
        at += length;
    }
    // The rest must be UTF-8 as well, or the text is cut as bytes.
    for (std::size_t i = at; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0)
            return text.substr(0, stringFieldWidth);
        i += length;
    }
    return text.substr(0, at);
}

struct ReadingTable::Chunk {
    static constexpr std::size_t shift = 16;
    static constexpr std::size_t rows = std::size_t{1} << shift; // 65,536 records, 1.4 MiB
    std::int32_t no[rows];
    std::int32_t time[rows];
    std::int32_t nval[rows];
    const char *texts[rows]; // into the text pool
    std::uint8_t nulls[rows];
    std::uint8_t state[rows];
};

// Each distinct combination of the four texts, once: four length bytes and
// the texts one after another, in blocks that never move. Only the thread
// that appends looks combinations up; readers follow the records' pointers.
class ReadingTable::TextPool {
public:
    const char *intern(const std::array<std::string_view, textCount> &texts)
    {
        m_scratch.clear();
        for (const std::string_view text : texts)
            m_scratch += static_cast<char>(text.size()); // at most 80 bytes: 20 characters of UTF-8
        for (const std::string_view text : texts)
            m_scratch += text;
        if (const auto found = m_index.find(m_scratch); found != m_index.end())
            return found->second;
        if (m_blocks.empty() || m_blockUsed + m_scratch.size() > blockSize) {
            m_blocks.push_back(std::make_unique<char[]>(blockSize));
            m_blockUsed = 0;
        }
        char *stored = m_blocks.back().get() + m_blockUsed;
        std::memcpy(stored, m_scratch.data(), m_scratch.size());
        m_blockUsed += m_scratch.size();
        m_index.emplace(std::string_view(stored, m_scratch.size()), stored);
        return stored;
    }

    static std::array<std::string_view, textCount> unpack(const char *packed)
    {
        std::array<std::string_view, textCount> texts;
        const char *text = packed + textCount;
        for (std::size_t i = 0; i < textCount; ++i) {
            const auto length = static_cast<unsigned char>(packed[i]);
            texts[i] = std::string_view(text, length);
            text += length;
        }
        return texts;
    }

    std::size_t bytesUsed() const
    {
        // Blocks, plus the index: its buckets and one node per combination.
        constexpr std::size_t nodeBytes = sizeof(void *) + sizeof(std::string_view) + sizeof(const char *)
            + sizeof(std::size_t);
        std::size_t bytes = m_blocks.size() * blockSize + m_index.bucket_count() * sizeof(void *)
            + m_index.size() * nodeBytes + m_blocks.capacity() * sizeof(m_blocks[0]);
        for (const auto &pool : adopted)
            bytes += pool->bytesUsed();
        return bytes;
    }

private:
    static constexpr std::size_t blockSize = 64 * 1024;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_blockUsed = 0;
    std::unordered_map<std::string_view, const char *> m_index;
    std::string m_scratch;

public:
    // Stores whose texts records of this table point into.
    std::vector<std::shared_ptr<const TextPool>> adopted;
};

ReadingTable::ReadingTable() : m_texts(std::make_shared<TextPool>()) {}
ReadingTable::~ReadingTable() = default;
// A moved-from table is an empty one, ready for appends.
ReadingTable::ReadingTable(ReadingTable &&other) noexcept
    : m_chunks(std::move(other.m_chunks)), m_texts(std::move(other.m_texts)), m_count(other.m_count)
{
    other.m_chunks.clear();
    other.m_texts = std::make_shared<TextPool>();
    other.m_count = 0;
}

ReadingTable &ReadingTable::operator=(ReadingTable &&other) noexcept
{
    if (this != &other) {
        m_chunks = std::move(other.m_chunks);
        m_texts = std::move(other.m_texts);
        m_count = other.m_count;
        ++m_generation;
        other.m_chunks.clear();
        other.m_texts = std::make_shared<TextPool>();
        other.m_count = 0;
    }
    return *this;
}

void ReadingTable::append(const ReadingRecord &record)
{
    const std::size_t row = m_count & (Chunk::rows - 1);
    if (row == 0)
        m_chunks.push_back(std::shared_ptr<Chunk>(new Chunk)); // uninitialised: rows are written as they come
    Chunk &chunk = *m_chunks.back();
    chunk.no[row] = record.No.value_or(0);
    chunk.time[row] = record.Time.value_or(0);
    chunk.nval[row] = record.Nval.value_or(0);
    chunk.nulls[row] = static_cast<std::uint8_t>((record.No ? 0 : noIsNull) | (record.Time ? 0 : timeIsNull)
                                                 | (record.Nval ? 0 : nvalIsNull));
    chunk.state[row] = record.changeState;
    chunk.texts[row] = m_texts->intern({cutToFieldWidth(record.DCAC), cutToFieldWidth(record.Value),
                                        cutToFieldWidth(record.Unit), cutToFieldWidth(record.Auto)});
    ++m_count;
}

void ReadingTable::append(ReadingTable &&rows)
{
    if (&rows == this || rows.m_count == 0)
        return;
    if ((m_count & (Chunk::rows - 1)) == 0) {
        // On a chunk boundary the chunks themselves change hands.
        m_chunks.insert(m_chunks.end(), rows.m_chunks.begin(), rows.m_chunks.end());
        m_count += rows.m_count;
    } else {
        // Column by column, a run at a time; each source chunk is let go as
        // soon as it is copied, so memory does not double.
        std::size_t from = 0;
        while (from < rows.m_count) {
            const std::size_t row = m_count & (Chunk::rows - 1);
            if (row == 0)
                m_chunks.push_back(std::shared_ptr<Chunk>(new Chunk));
            Chunk &to = *m_chunks.back();
            std::shared_ptr<Chunk> &source = rows.m_chunks[from >> Chunk::shift];
            const std::size_t sourceRow = from & (Chunk::rows - 1);
            const std::size_t n = std::min({Chunk::rows - row, Chunk::rows - sourceRow, rows.m_count - from});
            const auto copy = [&](auto &target, const auto &column) {
                std::memcpy(&target[row], &column[sourceRow], n * sizeof(column[0]));
            };
            copy(to.no, source->no);
            copy(to.time, source->time);
            copy(to.nval, source->nval);
            copy(to.texts, source->texts);
            copy(to.nulls, source->nulls);
            copy(to.state, source->state);
            m_count += n;
            from += n;
            if ((from & (Chunk::rows - 1)) == 0 || from == rows.m_count)
                source.reset();
        }
    }
    m_texts->adopted.push_back(std::move(rows.m_texts));
    rows.m_chunks.clear();
    rows.m_texts = std::make_shared<TextPool>();
    rows.m_count = 0;
}

ReadingRecord ReadingTable::at(std::size_t index) const
{
    return read(m_chunks, index);
}

ReadingRecord ReadingTable::read(const std::vector<std::shared_ptr<Chunk>> &chunks, std::size_t index)
{
    const Chunk &chunk = *chunks[index >> Chunk::shift];
    const std::size_t row = index & (Chunk::rows - 1);
    ReadingRecord record;
    const std::uint8_t nulls = chunk.nulls[row];
    if (!(nulls & noIsNull))
        record.No = chunk.no[row];
    if (!(nulls & timeIsNull))
        record.Time = chunk.time[row];
    if (!(nulls & nvalIsNull))
        record.Nval = chunk.nval[row];
    record.changeState = chunk.state[row];
    const auto texts = TextPool::unpack(chunk.texts[row]);
    record.DCAC = texts[0];
    record.Value = texts[1];
    record.Unit = texts[2];
    record.Auto = texts[3];
    return record;
}

void ReadingTable::clear()
{
    // A snapshot may still read the old chunks and texts: they go with it.
    m_chunks = {};
    m_texts = std::make_shared<TextPool>();
    m_count = 0;
    ++m_generation;
}

ReadingTableSnapshot ReadingTable::snapshot() const
{
    ReadingTableSnapshot s;
    s.m_chunks = m_chunks;
    s.m_texts = m_texts;
    s.m_count = m_count;
    return s;
}

std::size_t ReadingTable::bytesUsed() const
{
    return m_chunks.size() * sizeof(Chunk) + m_chunks.capacity() * sizeof(m_chunks[0]) + m_texts->bytesUsed();
}

ReadingRecord ReadingTableSnapshot::at(std::size_t index) const
{
    return ReadingTable::read(m_chunks, index);
}

} // namespace tolmar
