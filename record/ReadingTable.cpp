#include "record/ReadingTable.h"

#include "platform/TextEncoding.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace tolmar {

namespace {

// The length of the character at text[at]: 1 for ASCII, 2 to 4 for a UTF-8
// sequence, 0 when the bytes there are not UTF-8.
std::size_t utf8CharacterAt(std::string_view text, std::size_t at)
{
    return static_cast<unsigned char>(text[at]) < 0x80 ? 1 : utf8SequenceAt(text, at);
}

// Null flags of a record.
constexpr std::uint8_t noIsNull = 1;
constexpr std::uint8_t timeIsNull = 2;
constexpr std::uint8_t nvalIsNull = 4;

} // namespace

std::string_view cutToFieldWidth(std::string_view text)
{
    if (text.size() <= stringFieldWidth)
        return text;
    std::size_t at = 0;
    for (std::size_t characters = 0; characters < stringFieldWidth; ++characters) {
        if (at == text.size())
            return text;
        const std::size_t length = utf8CharacterAt(text, at);
        if (length == 0)
            return text.substr(0, stringFieldWidth); // not UTF-8: bytes
        at += length;
    }
    // The rest must be UTF-8 as well, or the text is cut as bytes.
    for (std::size_t i = at; i < text.size();) {
        const std::size_t length = utf8CharacterAt(text, i);
        if (length == 0)
            return text.substr(0, stringFieldWidth);
        i += length;
    }
    return text.substr(0, at);
}

// Each distinct key (a text, or the packed texts of a mode) once, as a length
// byte and its bytes, in blocks that never move; an id is where the key
// stands: block << 16 | offset. Id 0 is the empty key, never stored.
//
// Only the thread that appends interns keys and grows the index; readers go
// from an id to its key through a list of the blocks' starts that holds the
// blocks of every id they have.
class ReadingTable::TextStore {
public:
    static constexpr std::size_t blockShift = 16;
    static constexpr std::size_t maxBlockBytes = std::size_t{1} << blockShift;
    static constexpr std::size_t maxBlocks = std::size_t{1} << (32 - blockShift);

    static std::string_view key(const char *const *blocks, std::uint32_t id)
    {
        if (id == 0)
            return {};
        const char *entry = blocks[id >> blockShift] + (id & (maxBlockBytes - 1));
        return {entry + 1, static_cast<unsigned char>(entry[0])};
    }

    const std::vector<const char *> &blocks() const { return m_starts; }

    // The hash of a key about to be interned, its group fetched meanwhile:
    // a table of many keys has the group far from the cache.
    std::uint64_t prepare(std::string_view key) const
    {
        const std::uint64_t hash = hashKey(key);
        if (m_groupCount != 0)
            __builtin_prefetch(&m_groups[hash & (m_groupCount - 1)]);
        return hash;
    }

    std::uint32_t intern(std::string_view key) { return intern(key, hashKey(key)); }

    // `hash`: hashKey(key).
    std::uint32_t intern(std::string_view key, std::uint64_t hash)
    {
        if (key.empty())
            return 0;
        // Consecutive records mostly repeat their mode, often their value.
        if (m_last != 0 && keyOf(m_last) == key)
            return m_last;
        if ((m_indexed + 1) * 8 > m_groupCount * Group::slots * 7)
            grow();
        const auto tag = static_cast<std::uint8_t>(hash >> 56);
        for (std::size_t g = hash & (m_groupCount - 1);; g = (g + 1) & (m_groupCount - 1)) {
            Group &group = m_groups[g];
            for (std::size_t i = 0; i < group.used; ++i)
                if (group.tags[i] == tag && keyOf(group.ids[i]) == key)
                    return m_last = group.ids[i];
            if (group.used < Group::slots) {
                const std::uint32_t id = store(key);
                group.tags[group.used] = tag;
                group.ids[group.used] = id;
                ++group.used;
                ++m_indexed;
                return m_last = id;
            }
        }
    }

    bool canAdopt(const TextStore &other) const { return m_starts.size() + other.m_starts.size() <= maxBlocks; }

    // Takes `other`'s blocks in after this store's own, as they are (see
    // canAdopt); an id of `other` is an id here once `shift` is added. Its
    // keys are indexed at the next growth: until then a key of both may be
    // stored twice, which costs memory only.
    void adopt(std::shared_ptr<TextStore> other, std::uint32_t &shift)
    {
        shift = static_cast<std::uint32_t>(m_starts.size() << blockShift);
        if (other->m_keys == 0)
            return;
        m_starts.insert(m_starts.end(), other->m_starts.begin(), other->m_starts.end());
        m_used.insert(m_used.end(), other->m_used.begin(), other->m_used.end());
        m_keys += other->m_keys;
        m_room = 0; // new keys go to a block of this store's own
        // Its index is of no more use: snapshots only read.
        other->m_groupMemory.reset();
        other->m_groups = nullptr;
        other->m_groupCount = other->m_indexed = 0;
        m_adopted.push_back(std::move(other));
    }

    std::size_t bytesUsed() const
    {
        std::size_t bytes = m_ownBytes + (m_groupCount + 1) * sizeof(Group) + m_starts.capacity() * sizeof(m_starts[0])
            + m_used.capacity() * sizeof(m_used[0]) + m_blocks.capacity() * sizeof(m_blocks[0]);
        for (const auto &store : m_adopted)
            bytes += store->bytesUsed();
        return bytes;
    }

private:
    // Blocks start small, so a table with a few texts stays small.
    static std::size_t blockBytes(std::size_t ownBlock)
    {
        return std::min(maxBlockBytes, std::size_t{1024} << std::min<std::size_t>(ownBlock, blockShift));
    }

    // A multiply-and-fold hash over 8-byte words; the index takes its low
    // bits, the tag its top ones.
    static std::uint64_t hashKey(std::string_view key)
    {
        constexpr std::uint64_t k = 0x9E3779B97F4A7C15ull;
        std::uint64_t h = key.size() * k;
        const char *p = key.data();
        std::size_t n = key.size();
        for (; n >= 8; p += 8, n -= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            h = (h ^ word) * k;
            h ^= h >> 32;
        }
        if (n > 0) {
            std::uint64_t word = 0;
            std::memcpy(&word, p, n);
            h = (h ^ word) * k;
            h ^= h >> 32;
        }
        h ^= h >> 29;
        h *= 0xBF58476D1CE4E5B9ull;
        return h ^ (h >> 32);
    }

    std::string_view keyOf(std::uint32_t id) const { return key(m_starts.data(), id); }

    std::uint32_t store(std::string_view key)
    {
        if (m_room < 1 + key.size()) {
            if (m_starts.size() == maxBlocks)
                throw std::length_error("the reading table holds too many different texts");
            const std::size_t bytes = blockBytes(m_blocks.size());
            m_blocks.push_back(std::make_unique<char[]>(bytes)); // zeroed
            m_starts.push_back(m_blocks.back().get());
            m_used.push_back(m_starts.size() == 1 ? 1 : 0); // offset 0 of block 0 would be id 0
            m_room = bytes - m_used.back();
            m_ownBytes += bytes;
        }
        const std::size_t block = m_starts.size() - 1;
        char *entry = m_blocks.back().get() + m_used.back();
        entry[0] = static_cast<char>(key.size());
        if (!key.empty())
            std::memcpy(entry + 1, key.data(), key.size());
        const auto id = static_cast<std::uint32_t>(block << blockShift | m_used.back());
        m_used.back() += static_cast<std::uint32_t>(1 + key.size());
        m_room -= 1 + key.size();
        ++m_keys;
        return id;
    }

    // At least twice the groups, enough for every key stored, filled from
    // the blocks in the order keys came; each run of keys has its groups
    // fetched ahead, as they lie anywhere.
    void grow()
    {
        std::size_t groupCount = m_groupCount == 0 ? 1 : m_groupCount * 2;
        while ((m_keys + 1) * 8 > groupCount * Group::slots * 7)
            groupCount *= 2;
        m_groupMemory = std::make_unique<char[]>((groupCount + 1) * sizeof(Group)); // zeroed: every group empty
        const auto address = reinterpret_cast<std::uintptr_t>(m_groupMemory.get());
        m_groups = reinterpret_cast<Group *>((address + sizeof(Group) - 1) & ~(std::uintptr_t{sizeof(Group)} - 1));
        m_groupCount = groupCount;
        m_indexed = 0;
        constexpr std::size_t run = 16;
        std::uint64_t hashes[run];
        std::uint32_t ids[run];
        std::size_t held = 0;
        const auto place = [&] {
            for (std::size_t k = 0; k < held; ++k) {
                std::size_t g = hashes[k] & (groupCount - 1);
                while (m_groups[g].used == Group::slots)
                    g = (g + 1) & (groupCount - 1);
                Group &group = m_groups[g];
                group.tags[group.used] = static_cast<std::uint8_t>(hashes[k] >> 56);
                group.ids[group.used] = ids[k];
                ++group.used;
            }
            m_indexed += held;
            held = 0;
        };
        for (std::size_t b = 0; b < m_starts.size(); ++b) {
            const char *const start = m_starts[b];
            for (std::size_t at = 0; at < m_used[b];) {
                const std::size_t length = static_cast<unsigned char>(start[at]);
                if (length == 0) { // the byte before the first key of a store
                    ++at;
                    continue;
                }
                hashes[held] = hashKey({start + at + 1, length});
                ids[held] = static_cast<std::uint32_t>(b << blockShift | at);
                __builtin_prefetch(&m_groups[hashes[held] & (groupCount - 1)], 1);
                if (++held == run)
                    place();
                at += 1 + length;
            }
        }
        place();
    }

    // Twelve slots of the index in one cache line: a key is looked up, and a
    // new one placed, with one line read. Slots fill from the first, and keys
    // are never removed, so `used` tells where the free slots start. A tag
    // is the top byte of the key's hash: other keys are passed over without
    // reading them.
    struct Group {
        static constexpr std::size_t slots = 12;
        std::uint8_t tags[slots];
        std::uint8_t used;
        std::uint8_t unused[3];
        std::uint32_t ids[slots];
    };
    static_assert(sizeof(Group) == 64);

    std::vector<std::unique_ptr<char[]>> m_blocks; // this store's own
    std::vector<const char *> m_starts;            // every block's start, adopted ones included, by id
    std::vector<std::uint32_t> m_used;             // bytes used of each block, by id
    std::vector<std::shared_ptr<const TextStore>> m_adopted;
    std::size_t m_room = 0;     // bytes left in the last block, when it is this store's own
    std::size_t m_ownBytes = 0; // of m_blocks
    std::size_t m_keys = 0;     // stored
    std::unique_ptr<char[]> m_groupMemory;
    Group *m_groups = nullptr;    // m_groupMemory at a cache line
    std::size_t m_groupCount = 0; // a power of two
    std::size_t m_indexed = 0;    // keys in the index
    std::uint32_t m_last = 0;
};

namespace {

// A mode's key: the three texts' lengths, then the texts (each at most 80
// bytes: 20 characters of UTF-8). All three empty is the empty key.
std::string_view modeKey(std::string_view dcac, std::string_view unit, std::string_view automatic,
                         std::array<char, 3 + 3 * 80> &buffer)
{
    if (dcac.empty() && unit.empty() && automatic.empty())
        return {};
    char *p = buffer.data();
    for (const std::string_view text : {dcac, unit, automatic})
        *p++ = static_cast<char>(text.size());
    for (const std::string_view text : {dcac, unit, automatic}) {
        if (text.empty())
            continue; // an empty view may have no data pointer at all
        std::memcpy(p, text.data(), text.size());
        p += text.size();
    }
    return {buffer.data(), static_cast<std::size_t>(p - buffer.data())};
}

} // namespace

struct ReadingTable::Chunk {
    static constexpr std::size_t shift = 16;
    static constexpr std::size_t rows = std::size_t{1} << shift; // 65,536 records, 1.4 MiB
    std::int32_t no[rows];
    std::int32_t time[rows];
    std::int32_t nval[rows];
    std::uint32_t value[rows]; // ids in the value store
    std::uint32_t mode[rows];  // ids in the mode store
    std::uint8_t nulls[rows];
    std::uint8_t state[rows];
};

// A run: from row `first` on, records have this date (or none).
struct ReadingTable::RunBlock {
    static constexpr std::size_t shift = 10;
    static constexpr std::size_t runs = std::size_t{1} << shift; // 16 KiB
    struct Run {
        std::uint64_t first;
        std::int32_t day;
        std::int16_t utcOffsetMinutes;
        bool dated;
    };
    Run run[runs];
};

ReadingTable::ReadingTable() : m_values(std::make_shared<TextStore>()), m_modes(std::make_shared<TextStore>()) {}
ReadingTable::~ReadingTable() = default;
// A moved-from table is an empty one, ready for appends.
ReadingTable::ReadingTable(ReadingTable &&other) noexcept
    : m_chunks(std::move(other.m_chunks)), m_values(std::move(other.m_values)), m_modes(std::move(other.m_modes)),
      m_count(other.m_count), m_runBlocks(std::move(other.m_runBlocks)), m_runCount(other.m_runCount)
{
    other.m_runBlocks.clear();
    other.m_runCount = 0;
    other.m_chunks.clear();
    other.m_values = std::make_shared<TextStore>();
    other.m_modes = std::make_shared<TextStore>();
    other.m_count = 0;
}

ReadingTable &ReadingTable::operator=(ReadingTable &&other) noexcept
{
    if (this != &other) {
        m_chunks = std::move(other.m_chunks);
        m_values = std::move(other.m_values);
        m_modes = std::move(other.m_modes);
        m_count = other.m_count;
        m_runBlocks = std::move(other.m_runBlocks);
        m_runCount = other.m_runCount;
        ++m_generation;
        other.m_runBlocks.clear();
        other.m_runCount = 0;
        other.m_chunks.clear();
        other.m_values = std::make_shared<TextStore>();
        other.m_modes = std::make_shared<TextStore>();
        other.m_count = 0;
    }
    return *this;
}

void ReadingTable::append(const ReadingRecord &record, std::optional<RecordDate> date)
{
    ReadingRecord cut = record;
    cut.DCAC = cutToFieldWidth(record.DCAC);
    cut.Value = cutToFieldWidth(record.Value);
    cut.Unit = cutToFieldWidth(record.Unit);
    cut.Auto = cutToFieldWidth(record.Auto);
    appendCut(cut);
    noteDate(m_count - 1, date);
}

void ReadingTable::noteDate(std::size_t first, std::optional<RecordDate> date)
{
    // No run at all: no record has a date.
    std::optional<RecordDate> last;
    if (m_runCount > 0) {
        const RunBlock::Run &run = m_runBlocks.back()->run[(m_runCount - 1) & (RunBlock::runs - 1)];
        if (run.dated)
            last = RecordDate{run.day, run.utcOffsetMinutes};
    }
    if (last == date)
        return;
    const std::size_t slot = m_runCount & (RunBlock::runs - 1);
    if (slot == 0)
        m_runBlocks.push_back(std::shared_ptr<RunBlock>(new RunBlock));
    m_runBlocks.back()->run[slot] = {first, date ? date->day : 0, date ? date->utcOffsetMinutes : std::int16_t{0},
                                     date.has_value()};
    ++m_runCount;
}

DateRun ReadingTable::findRun(const RunBlocks &blocks, std::size_t runCount, std::size_t rowCount, std::size_t index)
{
    // The last run that starts at or before index; a later run of the same
    // first row overrides an earlier one.
    std::size_t low = 0, high = runCount;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (blocks[mid >> RunBlock::shift]->run[mid & (RunBlock::runs - 1)].first <= index)
            low = mid + 1;
        else
            high = mid;
    }
    if (low == 0) // before the first run: no date
        return {0, runCount > 0 ? static_cast<std::size_t>(blocks[0]->run[0].first) : rowCount, std::nullopt, 0};
    return runAt(blocks, runCount, rowCount, low - 1);
}

// The run at position `at` of the list (the last of those with its first row).
DateRun ReadingTable::runAt(const RunBlocks &blocks, std::size_t runCount, std::size_t rowCount, std::size_t at)
{
    const auto run = [&](std::size_t i) -> const RunBlock::Run & {
        return blocks[i >> RunBlock::shift]->run[i & (RunBlock::runs - 1)];
    };
    while (at + 1 < runCount && run(at + 1).first == run(at).first)
        ++at;
    const RunBlock::Run &r = run(at);
    DateRun found;
    found.first = static_cast<std::size_t>(r.first);
    found.end = at + 1 < runCount ? static_cast<std::size_t>(run(at + 1).first) : rowCount;
    found.end = std::min(found.end, rowCount);
    if (r.dated)
        found.date = RecordDate{r.day, r.utcOffsetMinutes};
    found.next = at + 1;
    return found;
}

DateRun ReadingTableSnapshot::nextDateRun(const DateRun &run) const
{
    return ReadingTable::runAt(m_runBlocks, m_runCount, m_count, run.next);
}

DateRun ReadingTable::dateRunOf(std::size_t index) const
{
    return findRun(m_runBlocks, m_runCount, m_count, index);
}

DateRun ReadingTableSnapshot::dateRunOf(std::size_t index) const
{
    return ReadingTable::findRun(m_runBlocks, m_runCount, m_count, index);
}

void ReadingTable::appendCut(const ReadingRecord &record)
{
    // The texts first: a store that throws leaves the records as they were.
    // The value's place in its index is fetched while the mode is found.
    const std::uint64_t valueHash = m_values->prepare(record.Value);
    std::array<char, 3 + 3 * 80> buffer;
    const std::uint32_t mode = m_modes->intern(modeKey(record.DCAC, record.Unit, record.Auto, buffer));
    const std::uint32_t value = m_values->intern(record.Value, valueHash);
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
    chunk.value[row] = value;
    chunk.mode[row] = mode;
    ++m_count;
}

void ReadingTable::append(ReadingTable &&rows)
{
    if (&rows == this || rows.m_count == 0)
        return;
    // The other's runs, moved past this table's records. Its rows before its
    // first run have no date.
    if (m_count > 0) {
        const std::size_t offset = m_count;
        std::size_t r = 0;
        const auto run = [&](std::size_t i) -> const RunBlock::Run & {
            return rows.m_runBlocks[i >> RunBlock::shift]->run[i & (RunBlock::runs - 1)];
        };
        // Runs of the other table that start at the same row: the last one holds.
        const auto dateAt = [&](std::size_t &i) {
            while (i + 1 < rows.m_runCount && run(i + 1).first == run(i).first)
                ++i;
            const RunBlock::Run &at = run(i);
            return at.dated ? std::optional<RecordDate>(RecordDate{at.day, at.utcOffsetMinutes}) : std::nullopt;
        };
        if (rows.m_runCount == 0 || run(0).first != 0)
            noteDate(offset, std::nullopt);
        for (; r < rows.m_runCount; ++r) {
            const std::size_t first = static_cast<std::size_t>(run(r).first);
            if (first >= rows.m_count)
                break; // a run of a record that was never appended
            noteDate(offset + first, dateAt(r));
        }
        rows.m_runBlocks.clear();
        rows.m_runCount = 0;
    } else {
        m_runBlocks = std::move(rows.m_runBlocks);
        m_runCount = rows.m_runCount;
        rows.m_runBlocks.clear();
        rows.m_runCount = 0;
    }
    if (m_count == 0) {
        // The records and the stores their ids point into change hands.
        m_chunks = std::move(rows.m_chunks);
        m_values = std::move(rows.m_values);
        m_modes = std::move(rows.m_modes);
        m_count = rows.m_count;
    } else if (m_values->canAdopt(*rows.m_values) && m_modes->canAdopt(*rows.m_modes)) {
        // This table's stores take the other's blocks in; the records are
        // copied column by column, a run at a time, their ids moved past this
        // table's blocks. Each source chunk is let go as soon as it is
        // copied, so memory does not double.
        std::uint32_t valueShift = 0, modeShift = 0;
        m_values->adopt(std::move(rows.m_values), valueShift);
        m_modes->adopt(std::move(rows.m_modes), modeShift);
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
            copy(to.nulls, source->nulls);
            copy(to.state, source->state);
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint32_t value = source->value[sourceRow + i];
                const std::uint32_t mode = source->mode[sourceRow + i];
                to.value[row + i] = value == 0 ? 0 : value + valueShift;
                to.mode[row + i] = mode == 0 ? 0 : mode + modeShift;
            }
            m_count += n;
            from += n;
            if ((from & (Chunk::rows - 1)) == 0 || from == rows.m_count)
                source.reset();
        }
    } else {
        // Past four gigabytes of texts in a store: each record appended anew.
        const TextBlocks source = rows.textBlocks();
        for (std::size_t from = 0; from < rows.m_count; ++from) {
            appendCut(read(rows.m_chunks, source, from));
            if (((from + 1) & (Chunk::rows - 1)) == 0)
                rows.m_chunks[from >> Chunk::shift].reset();
        }
    }
    rows.m_chunks.clear();
    rows.m_values = std::make_shared<TextStore>();
    rows.m_modes = std::make_shared<TextStore>();
    rows.m_count = 0;
}

ReadingTable::TextBlocks ReadingTable::textBlocks() const
{
    return {m_values->blocks().data(), m_modes->blocks().data()};
}

ReadingRecord ReadingTable::at(std::size_t index) const
{
    return read(m_chunks, textBlocks(), index);
}

ReadingRecord ReadingTable::read(const std::vector<std::shared_ptr<Chunk>> &chunks, TextBlocks texts,
                                 std::size_t index)
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
    record.Value = TextStore::key(texts.values, chunk.value[row]);
    const std::string_view mode = TextStore::key(texts.modes, chunk.mode[row]);
    if (!mode.empty()) {
        const auto length = [&](std::size_t i) { return static_cast<unsigned char>(mode[i]); };
        const char *text = mode.data() + 3;
        record.DCAC = std::string_view(text, length(0));
        text += length(0);
        record.Unit = std::string_view(text, length(1));
        text += length(1);
        record.Auto = std::string_view(text, length(2));
    }
    return record;
}

void ReadingTable::clear()
{
    // A snapshot may still read the old chunks and texts: they go with it.
    m_chunks = {};
    m_values = std::make_shared<TextStore>();
    m_modes = std::make_shared<TextStore>();
    m_count = 0;
    m_runBlocks = {};
    m_runCount = 0;
    ++m_generation;
}

ReadingTableSnapshot ReadingTable::snapshot() const
{
    ReadingTableSnapshot s;
    s.m_chunks = m_chunks;
    s.m_values = m_values;
    s.m_modes = m_modes;
    s.m_valueBlocks = m_values->blocks();
    s.m_modeBlocks = m_modes->blocks();
    s.m_count = m_count;
    s.m_runBlocks = m_runBlocks;
    s.m_runCount = m_runCount;
    return s;
}

std::size_t ReadingTable::bytesUsed() const
{
    return m_chunks.size() * sizeof(Chunk) + m_chunks.capacity() * sizeof(m_chunks[0]) + m_values->bytesUsed()
        + m_modes->bytesUsed() + m_runBlocks.size() * sizeof(RunBlock)
        + m_runBlocks.capacity() * sizeof(m_runBlocks[0]);
}

ReadingRecord ReadingTableSnapshot::at(std::size_t index) const
{
    return ReadingTable::read(m_chunks, {m_valueBlocks.data(), m_modeBlocks.data()}, index);
}

} // namespace tolmar
