#include "link/HistoryLog.h"

#include "link/BridgeReports.h"
#include "platform/NumberText.h"

#include <vector>

namespace tolmar {

namespace {
constexpr std::uint8_t reportEntry = 0;
constexpr std::uint8_t noteEntry = 1;
constexpr std::size_t headerSize = 6;
} // namespace

std::string reportText(std::uint8_t reportId, const std::uint8_t *data, std::size_t size)
{
    std::string text = "R ";
    appendHexByte(text, reportId);
    return text + "  " + hexBytesLine(data, size);
}

void HistoryLog::appendReport(std::uint8_t reportId, const std::uint8_t *data, std::size_t size)
{
    push(reportEntry, reportId, data, size);
}

void HistoryLog::appendNote(std::string_view text)
{
    push(noteEntry, 0, reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
}

void HistoryLog::push(std::uint8_t kind, std::uint8_t reportId, const std::uint8_t *bytes, std::size_t size)
{
    if (m_maxLines == 0)
        return;
    while (m_starts.size() >= m_maxLines)
        dropOldest();
    m_starts.push_back(m_base + m_bytes.size());
    const auto length = static_cast<std::uint32_t>(size);
    m_bytes.push_back(kind);
    m_bytes.push_back(reportId);
    for (int shift = 0; shift < 32; shift += 8)
        m_bytes.push_back(static_cast<std::uint8_t>(length >> shift));
    m_bytes.insert(m_bytes.end(), bytes, bytes + length);
}

void HistoryLog::dropOldest()
{
    const std::uint64_t next = m_starts.size() > 1 ? m_starts[1] : m_base + m_bytes.size();
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(next - m_base));
    m_base = next;
    m_starts.pop_front();
    ++m_dropped;
}

std::string HistoryLog::line(std::size_t index) const
{
    auto at = m_bytes.begin() + static_cast<std::ptrdiff_t>(m_starts.at(index) - m_base);
    const std::uint8_t kind = at[0];
    const std::uint8_t reportId = at[1];
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
        length |= static_cast<std::uint32_t>(at[2 + i]) << (8 * i);
    const std::vector<std::uint8_t> bytes(at + headerSize, at + headerSize + length);
    if (kind == noteEntry)
        return std::string(bytes.begin(), bytes.end());
    return reportText(reportId, bytes.data(), bytes.size());
}

} // namespace tolmar
