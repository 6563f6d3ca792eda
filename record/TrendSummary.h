#pragma once

#include "meter/MeterReading.h"
#include "record/ReadingTable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolmar {

class WorkProgress;

// A series of the trend: the records of one function and unit.
struct TrendKey {
    std::string function; // the table's DC/AC text
    std::string unit;
    bool operator==(const TrendKey &) const = default;
};

// The displayed number of a record's Value, read as the CSV file writes it
// (splitDisplayedNumber). Nullopt for anything else.
std::optional<double> displayedNumber(std::string_view text);
// The judge of a record that failed its limits ("Fail", in any case).
bool isFailText(std::string_view text);

// What a stretch of rows holds of one series.
struct TrendExtent {
    bool any = false;      // a record of the series with a number
    float min = 0, max = 0;
    bool failed = false;   // a record judged "Fail"
    bool overload = false; // a record that overflowed
    void add(float value);
    void merge(const TrendExtent &other);
};

// The trend's summary of the reading table: for each block of 32 rows, and
// of 32 such blocks, and so on over four levels, the minimum and maximum of
// each series in it, kept up as records are appended. The minimum and
// maximum of any stretch of rows then come from a few hundred entries
// whatever its length: the ends from the table itself, the middle from the
// largest blocks that fit. A meter stays in one function for long
// stretches, so a block has one entry: 16 bytes for 32 rows with its index.
class TrendSummary {
public:
    static constexpr int blockShift = 5; // 32 rows, then 32 blocks, ...
    static constexpr int levelCount = 4;

    // Rows in table order, from row size() on.
    void append(const ReadingRecord &record);
    void clear();
    std::size_t size() const { return m_rows; }
    // The series in the order they first appeared.
    const std::vector<TrendKey> &keys() const { return m_keys; }
    std::optional<std::uint16_t> keyOf(std::string_view function, std::string_view unit) const;
    // Rows [first, end) of `table` (the table summarised; end at most size()).
    TrendExtent extent(const ReadingTable &table, std::uint16_t key, std::size_t first, std::size_t end) const;
    // The first and the last row of a series in rows [first, end), found through the blocks.
    std::optional<std::size_t> firstRow(const ReadingTable &table, std::uint16_t key, std::size_t first = 0,
                                        std::size_t end = static_cast<std::size_t>(-1)) const;
    std::optional<std::size_t> lastRow(const ReadingTable &table, std::uint16_t key, std::size_t first = 0,
                                       std::size_t end = static_cast<std::size_t>(-1)) const;
    std::size_t bytesUsed() const;

    // The summary of a whole snapshot, for a worker; progress counts rows and may cancel (nullopt).
    static std::optional<TrendSummary> build(const ReadingTableSnapshot &rows, WorkProgress *progress);

private:
    struct Entry {
        std::uint16_t key = 0;
        std::uint8_t flags = 0; // flagValue, flagFailed, flagOverload
        float min = 0, max = 0;
    };
    struct Level {
        std::vector<std::uint32_t> firstEntry; // per block: where its entries start
        std::vector<Entry> entries;
    };
    static constexpr std::uint8_t flagValue = 1, flagFailed = 2, flagOverload = 4;

    std::uint16_t keyFor(std::string_view function, std::string_view unit);
    void cover(const ReadingTable &table, std::uint16_t key, std::size_t first, std::size_t end, int level,
               TrendExtent &extent) const;
    static TrendExtent rowExtent(const ReadingRecord &record);
    bool blockHas(int level, std::size_t block, std::uint16_t key) const;
    bool rowIs(const ReadingTable &table, std::size_t row, std::uint16_t key) const;
    // The first (or last) row of the series in rows [first, end) at `level` and below.
    std::optional<std::size_t> find(const ReadingTable &table, std::uint16_t key, std::size_t first, std::size_t end,
                                    int level, bool last) const;

    std::vector<TrendKey> m_keys;
    std::uint16_t m_lastKey = 0;
    Level m_levels[levelCount];
    std::size_t m_rows = 0;
};

} // namespace tolmar
