#include "link/HistoryLog.h"

#include "link/BridgeReports.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace tolmar {

namespace {
// A line: its data length times two plus 1 for a note, as a base-128 number
// of one to three bytes (least significant first, high bit: more follow);
// the report ID for a report; then the data.
constexpr std::size_t longestHeader = 3 + 1;

// Per block the deque of blocks holds a pointer; per mark, its offset.
constexpr std::size_t blockCost = HistoryLog::blockSize + sizeof(void *);
constexpr std::size_t markCost = sizeof(std::uint64_t);

// Multiples of linesPerMark in [from, to).
std::uint64_t marksBetween(std::uint64_t from, std::uint64_t to)
{
    const auto up = [](std::uint64_t n) { return (n + HistoryLog::linesPerMark - 1) / HistoryLog::linesPerMark; };
    return to > from ? up(to) - up(from) : 0;
}
} // namespace

std::string reportText(std::uint8_t reportId, const std::uint8_t *data, std::size_t size)
{
    std::string text = "R ";
    appendHexByte(text, reportId);
    return text + "  " + hexBytesLine(data, size);
}

HistoryLog::HistoryLog(std::size_t maxLines, std::size_t maxBytes)
    : m_maxLines(maxLines), m_maxBytes(std::max(maxBytes, 2 * blockCost + markCost))
{
}

HistoryLog::~HistoryLog() = default;

void HistoryLog::appendReport(std::uint8_t reportId, const std::uint8_t *data, std::size_t size)
{
    push(false, reportId, data, size);
}

void HistoryLog::appendNote(std::string_view text)
{
    push(true, 0, reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
}

std::size_t HistoryLog::bytesUsed() const
{
    return m_blocks.size() * blockCost + m_marks.size() * markCost;
}

std::size_t HistoryLog::bytesWith(std::uint64_t end, std::uint64_t lineEnd) const
{
    const std::uint64_t blocks = end > m_begin ? (end - 1) / blockSize - m_begin / blockSize + 1 : 0;
    return static_cast<std::size_t>(blocks * blockCost + marksBetween(m_lineBegin, lineEnd) * markCost);
}

void HistoryLog::push(bool note, std::uint8_t reportId, const std::uint8_t *bytes, std::size_t count)
{
    if (m_maxLines == 0)
        return;
    // A line alone always fits: in an empty log it starts anywhere in a
    // block, and with one block to spare it ends inside the cap.
    const std::size_t fits = ((m_maxBytes - markCost) / blockCost - 1) * blockSize - longestHeader;
    count = std::min({count, longestReport, fits});

    std::uint8_t header[longestHeader];
    std::size_t headerSize = 0;
    for (std::uint64_t value = std::uint64_t{count} * 2 + (note ? 1 : 0);; value >>= 7) {
        header[headerSize++] = static_cast<std::uint8_t>((value & 0x7F) | (value > 0x7F ? 0x80 : 0));
        if (value <= 0x7F)
            break;
    }
    if (!note)
        header[headerSize++] = reportId;

    const std::uint64_t end = m_end + headerSize + count;
    while (!empty() && (size() >= m_maxLines || bytesWith(end, m_lineEnd + 1) > m_maxBytes))
        dropOldest();

    if (m_lineEnd % linesPerMark == 0) {
        if (m_marks.empty())
            m_firstMark = m_lineEnd / linesPerMark;
        m_marks.push_back(m_end);
    }
    write(header, headerSize);
    write(bytes, count);
    ++m_lineEnd;
}

void HistoryLog::write(const std::uint8_t *bytes, std::size_t count)
{
    while (count > 0) {
        if (m_blocks.empty())
            m_firstBlock = m_end / blockSize;
        const std::uint64_t block = m_end / blockSize - m_firstBlock;
        if (block == m_blocks.size())
            m_blocks.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(blockSize));
        const std::size_t at = m_end % blockSize;
        const std::size_t n = std::min(count, blockSize - at);
        std::memcpy(m_blocks[block].get() + at, bytes, n);
        bytes += n;
        count -= n;
        m_end += n;
    }
}

std::uint8_t HistoryLog::byteAt(std::uint64_t offset) const
{
    return m_blocks[offset / blockSize - m_firstBlock][offset % blockSize];
}

HistoryLog::Entry HistoryLog::entryAt(std::uint64_t offset) const
{
    std::uint64_t value = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t byte = byteAt(offset++);
        value |= std::uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80))
            break;
    }
    Entry entry{(value & 1) != 0, 0, offset, value >> 1};
    if (!entry.note)
        entry.reportId = byteAt(entry.data++);
    return entry;
}

void HistoryLog::dropOldest()
{
    const Entry oldest = entryAt(m_begin);
    m_begin = oldest.data + oldest.length;
    ++m_lineBegin;
    while (!m_blocks.empty() && (m_firstBlock + 1) * blockSize <= m_begin) {
        m_blocks.pop_front();
        ++m_firstBlock;
    }
    while (!m_marks.empty() && m_firstMark * linesPerMark < m_lineBegin) {
        m_marks.pop_front();
        ++m_firstMark;
    }
}

std::string HistoryLog::line(std::size_t index) const
{
    if (index >= size())
        throw std::out_of_range("HistoryLog::line");
    const std::uint64_t wanted = m_lineBegin + index;
    // From the mark at or before the line, or from the oldest line when
    // that mark went with the lines before it.
    std::uint64_t lineNo = m_lineBegin;
    std::uint64_t offset = m_begin;
    const std::uint64_t mark = wanted / linesPerMark;
    if (!m_marks.empty() && mark >= m_firstMark) {
        lineNo = mark * linesPerMark;
        offset = m_marks[static_cast<std::size_t>(mark - m_firstMark)];
    }
    Entry entry = entryAt(offset);
    for (; lineNo < wanted; ++lineNo)
        entry = entryAt(entry.data + entry.length);

    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(entry.length));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = byteAt(entry.data + i);
    if (entry.note)
        return std::string(bytes.begin(), bytes.end());
    return reportText(entry.reportId, bytes.data(), bytes.size());
}

} // namespace tolmar
