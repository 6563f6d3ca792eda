#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

namespace tolmar {

// The link's history log (HistoryListBox): one line per data-bearing input
// report, plus notes such as a frame that did not decode. Lines are kept as
// their raw bytes and rendered as text on demand. The bridge sends a report
// every millisecond and the meter's bytes trickle in at about one per report,
// so a connected session adds about 250 lines a second, each of a few bytes:
// a bridge report's line costs 10 (its length and kind, report ID, 8 data
// bytes).
//
// Two caps keep a session of weeks flat: maxLines lines, and maxBytes of heap
// for the lines and their index together (16 MiB); the oldest lines go first.
// A report is kept only up to the longest one a HID device can hand over, so
// a replayed line of megabytes cannot take the whole log.
class HistoryLog {
public:
    static constexpr std::size_t defaultMaxLines = 1'000'000;
    static constexpr std::size_t defaultMaxBytes = std::size_t{16} << 20;
    // An input report's length is a 16-bit count that includes the report
    // ID byte: at most 65,534 data bytes reach the data handler.
    static constexpr std::size_t longestReport = 0xFFFF - 1;

    // Lines are stored back to back in blocks of this size; a block goes
    // once every line in it has been dropped. maxBytes below two blocks is
    // taken as two.
    static constexpr std::size_t blockSize = 16 * 1024;
    // The start of each 64th line is noted; a line is found from the nearest.
    static constexpr std::uint64_t linesPerMark = 64;

    explicit HistoryLog(std::size_t maxLines = defaultMaxLines, std::size_t maxBytes = defaultMaxBytes);
    ~HistoryLog();
    HistoryLog(const HistoryLog &) = delete;
    HistoryLog &operator=(const HistoryLog &) = delete;

    // Data past longestReport bytes (a note's text past as many) is not kept.
    void appendReport(std::uint8_t reportId, const std::uint8_t *data, std::size_t size);
    void appendNote(std::string_view text);

    std::size_t size() const { return static_cast<std::size_t>(m_lineEnd - m_lineBegin); }
    bool empty() const { return m_lineEnd == m_lineBegin; }
    // Line i (0 = the oldest kept); std::out_of_range past the newest.
    std::string line(std::size_t index) const;
    std::string last() const { return empty() ? std::string() : line(size() - 1); }
    // The selected line: the newest, as each append selects it; -1 when empty.
    long selected() const { return static_cast<long>(size()) - 1; }
    // Lines dropped to keep the caps.
    std::uint64_t dropped() const { return m_lineBegin; }
    // Heap bytes held for the lines and their index; never above maxBytes.
    std::size_t bytesUsed() const;

private:
    void push(bool note, std::uint8_t reportId, const std::uint8_t *bytes, std::size_t count);
    void dropOldest();
    // bytesUsed() once the log's bytes reach `end` and its lines `lineEnd`.
    std::size_t bytesWith(std::uint64_t end, std::uint64_t lineEnd) const;
    void write(const std::uint8_t *bytes, std::size_t count);
    std::uint8_t byteAt(std::uint64_t offset) const;
    struct Entry {
        bool note;
        std::uint8_t reportId;
        std::uint64_t data;   // offset of the first data byte
        std::uint64_t length; // data bytes
    };
    Entry entryAt(std::uint64_t offset) const;

    std::size_t m_maxLines;
    std::size_t m_maxBytes;
    // Byte offsets and line numbers count from the log's creation.
    std::deque<std::unique_ptr<std::uint8_t[]>> m_blocks; // the first holds bytes from m_firstBlock * blockSize
    std::uint64_t m_firstBlock = 0;
    std::uint64_t m_begin = 0; // the oldest line kept
    std::uint64_t m_end = 0;   // past the newest
    std::uint64_t m_lineBegin = 0;
    std::uint64_t m_lineEnd = 0;
    // m_marks[k]: where line (m_firstMark + k) * linesPerMark starts.
    std::deque<std::uint64_t> m_marks;
    std::uint64_t m_firstMark = 0;
};

// "R " + report ID as two hex digits + two spaces, then each data byte as two
// uppercase hex digits and a space: the form the log and the replay use.
std::string reportText(std::uint8_t reportId, const std::uint8_t *data, std::size_t size);

} // namespace tolmar
