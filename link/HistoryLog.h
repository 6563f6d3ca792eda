#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace tolmar {

// The link's history log (HistoryListBox): one line per data-bearing input
// report, plus notes such as a frame that did not decode. Reports are kept as
// their raw bytes (about 15 bytes for a bridge report) and rendered as text on
// demand; the oldest lines go once the log holds maxLines.
class HistoryLog {
public:
    static constexpr std::size_t defaultMaxLines = 1'000'000;

    explicit HistoryLog(std::size_t maxLines = defaultMaxLines) : m_maxLines(maxLines) {}

    void appendReport(std::uint8_t reportId, const std::uint8_t *data, std::size_t size);
    void appendNote(std::string_view text);

    std::size_t size() const { return m_starts.size(); }
    bool empty() const { return m_starts.empty(); }
    // Line i (0 = the oldest kept).
    std::string line(std::size_t index) const;
    std::string last() const { return empty() ? std::string() : line(size() - 1); }
    // The selected line: the newest, as each append selects it; -1 when empty.
    long selected() const { return static_cast<long>(size()) - 1; }
    // Lines dropped to keep the cap.
    std::uint64_t dropped() const { return m_dropped; }

private:
    void push(std::uint8_t kind, std::uint8_t reportId, const std::uint8_t *bytes, std::size_t size);
    void dropOldest();

    std::size_t m_maxLines;
    // Entries back to back: kind, report ID, length (4 bytes), bytes.
    std::deque<std::uint8_t> m_bytes;
    std::deque<std::uint64_t> m_starts; // absolute offset of each entry
    std::uint64_t m_base = 0;           // absolute offset of m_bytes.front()
    std::uint64_t m_dropped = 0;
};

// "R " + report ID as two hex digits + two spaces, then each data byte as two
// uppercase hex digits and a space: the form the log and the replay use.
std::string reportText(std::uint8_t reportId, const std::uint8_t *data, std::size_t size);

} // namespace tolmar
