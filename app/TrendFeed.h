#pragma once

#include "record/TrendSummary.h"

#include <cstdint>
#include <functional>

namespace tolmar {

class BackgroundWork;
class ReadingTable;

// Keeps the trend's summary up with the reading table: each appended record
// goes in at once; a table replaced or emptied (a load, Close Data) is
// summarised anew on a worker with the file work's progress bar, and the
// records appended meanwhile follow when it is done.
class TrendFeed {
public:
    TrendFeed(const ReadingTable &table, BackgroundWork &work) : m_table(table), m_work(work) {}
    TrendFeed(const TrendFeed &) = delete;
    TrendFeed &operator=(const TrendFeed &) = delete;

    const TrendSummary &summary() const { return m_summary; }
    // True while a replaced table is summarised: summary() holds none of it yet.
    bool rebuilding() const { return m_rebuilding; }
    // After any change of the table.
    void sync();
    // Told when the summary took more rows or was made anew.
    std::function<void()> onChanged;

private:
    void rebuild();

    const ReadingTable &m_table;
    BackgroundWork &m_work;
    TrendSummary m_summary;
    std::uint64_t m_generation = 0;
    bool m_rebuilding = false;
    bool m_cancelled = false; // the user stopped the summary of this generation
};

} // namespace tolmar
