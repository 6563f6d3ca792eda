#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolmar {

// The fields of the reading table, in their order.
enum class FieldType { Int32, Time, String };
struct ReadingField {
    const char *name;
    FieldType type;
    int width; // characters, for strings
};
inline constexpr std::array<ReadingField, 7> readingFields{{
    {"No", FieldType::Int32, 0},
    {"Time", FieldType::Time, 0},
    {"DC/AC", FieldType::String, 20},
    {"Value", FieldType::String, 20},
    {"Unit", FieldType::String, 20},
    {"Auto", FieldType::String, 20},
    {"Nval", FieldType::Int32, 0},
}};
inline constexpr std::size_t stringFieldWidth = 20;

// A record's change state, as the data set's change log keeps it: every
// record this program appends is an insertion; a loaded record keeps the
// state its file gave it.
inline constexpr std::uint8_t rowStateInserted = 4;

// One record. The texts of DC/AC, Value, Unit and Auto are empty when the
// field is null: the data set stores an empty text as null. Time counts
// milliseconds since midnight.
struct ReadingRecord {
    std::optional<std::int32_t> No;
    std::optional<std::int32_t> Time;
    std::string_view DCAC;
    std::string_view Value;
    std::string_view Unit;
    std::string_view Auto;
    std::optional<std::int32_t> Nval;
    std::uint8_t changeState = rowStateInserted;
};

// The local calendar day a record was recorded on, and the UTC offset then;
// with the record's Time (the time of day) it tells the moment, also in the
// hour that repeats when summer time ends.
struct RecordDate {
    std::int32_t day = 0;              // days since 1970-01-01
    std::int16_t utcOffsetMinutes = 0; // local time minus UTC
    bool operator==(const RecordDate &) const = default;
};

// Rows [first, end) of a table that share one date, or all have none.
struct DateRun {
    std::size_t first = 0;
    std::size_t end = 0;
    std::optional<RecordDate> date;
    std::size_t next = 0; // where the next run is found in the table's list
};

// A text cut to the field width: 20 characters of UTF-8, or 20 bytes of a
// text that is not UTF-8 (the meter's own bytes).
std::string_view cutToFieldWidth(std::string_view text);

class ReadingTableSnapshot;

// The reading table cds1: an append-only store of records, built for a
// "limitless" recording of ten million of them.
//
// A record costs 22 bytes whatever the data: its numbers in columns, and two
// 32-bit ids, one of its Value text and one of its mode (the DC/AC, Unit and
// Auto texts together). Each distinct value and each distinct mode is kept
// once, in blocks that never move, and found again through a flat
// open-addressing index (twelve slots to a cache line). A meter's readings
// repeat and cost little more than the 22 bytes; records that all differ (a
// file from elsewhere) cost about 10 bytes more each, plus their texts.
//
// Dates cost next to nothing: a run (its first row, the day and the offset)
// is noted only when a record's date differs from the one before, so a
// recording has one for each day and each change of summer time. Records
// loaded from a packet or a tab-separated file have no date.
//
// Records live in fixed chunks that are never moved or changed once written,
// so a snapshot (a row count plus shared ownership of the chunks and texts)
// can be read on another thread while recording goes on, and outlives a
// clear.
class ReadingTable {
public:
    ReadingTable();
    ~ReadingTable();
    ReadingTable(ReadingTable &&) noexcept;
    ReadingTable &operator=(ReadingTable &&) noexcept;
    ReadingTable(const ReadingTable &) = delete;
    ReadingTable &operator=(const ReadingTable &) = delete;

    std::size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    // Texts are cut to the field width. Without a date, or with the date of
    // the record's recording.
    void append(const ReadingRecord &record, std::optional<RecordDate> date = std::nullopt);
    // The date of the record at index, nullopt when it has none.
    std::optional<RecordDate> dateOf(std::size_t index) const { return dateRunOf(index).date; }
    // The rows around index that share its date: a writer takes the date
    // once for all of them.
    DateRun dateRunOf(std::size_t index) const;
    // The record at index (0 <= index < size()); its texts stay valid as long
    // as the table is not cleared or replaced.
    ReadingRecord at(std::size_t index) const;
    // Moves all records of `rows` to the end of this table, `rows` is left
    // empty. Texts are not copied: this table keeps the other's text stores.
    void append(ReadingTable &&rows);
    void clear();
    ReadingTableSnapshot snapshot() const;

    // Heap bytes held for records and texts.
    std::size_t bytesUsed() const;
    // Counts the times the table was emptied or replaced: records at an
    // index are the same records while it stays the same.
    std::uint64_t generation() const { return m_generation; }

private:
    friend class ReadingTableSnapshot;
    struct Chunk;
    class TextStore;
    struct RunBlock;
    using RunBlocks = std::vector<std::shared_ptr<RunBlock>>;
    static DateRun findRun(const RunBlocks &blocks, std::size_t runCount, std::size_t rowCount, std::size_t index);
    static DateRun runAt(const RunBlocks &blocks, std::size_t runCount, std::size_t rowCount, std::size_t run);
    // Records from `first` on have `date` (until a later run).
    void noteDate(std::size_t first, std::optional<RecordDate> date);
    // Where a reader finds texts by id: the start of each block of a store.
    struct TextBlocks {
        const char *const *values;
        const char *const *modes;
    };
    static ReadingRecord read(const std::vector<std::shared_ptr<Chunk>> &chunks, TextBlocks texts,
                              std::size_t index);
    void appendCut(const ReadingRecord &record);
    TextBlocks textBlocks() const;

    std::vector<std::shared_ptr<Chunk>> m_chunks;
    std::shared_ptr<TextStore> m_values;
    std::shared_ptr<TextStore> m_modes;
    std::size_t m_count = 0;
    std::uint64_t m_generation = 0;
    // Written once each, never moved: a snapshot reads the ones it counts.
    RunBlocks m_runBlocks;
    std::size_t m_runCount = 0;
};

// The records of a table as they were when the snapshot was taken, readable
// from any thread; appends and clears of the table do not reach it.
class ReadingTableSnapshot {
public:
    ReadingTableSnapshot() = default;
    std::size_t size() const { return m_count; }
    ReadingRecord at(std::size_t index) const;
    std::optional<RecordDate> dateOf(std::size_t index) const { return dateRunOf(index).date; }
    DateRun dateRunOf(std::size_t index) const;
    // The run after `run` (run.end < size()): a writer goes from run to run
    // without a search.
    DateRun nextDateRun(const DateRun &run) const;

private:
    friend class ReadingTable;
    ReadingTable::RunBlocks m_runBlocks;
    std::size_t m_runCount = 0;
    std::vector<std::shared_ptr<ReadingTable::Chunk>> m_chunks;
    std::shared_ptr<const ReadingTable::TextStore> m_values;
    std::shared_ptr<const ReadingTable::TextStore> m_modes;
    // The stores' block lists as they were: the table's own lists grow
    // (and move) as it appends.
    std::vector<const char *> m_valueBlocks;
    std::vector<const char *> m_modeBlocks;
    std::size_t m_count = 0;
};

} // namespace tolmar
