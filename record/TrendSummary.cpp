#include "record/TrendSummary.h"

#include "platform/BackgroundWork.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace tolmar {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<double> displayedNumber(std::string_view text)
{
    const auto number = splitDisplayedNumber(text);
    char plain[96];
    if (!number || number->whole.size() + number->fraction.size() + 3 > sizeof plain)
        return std::nullopt;
    // "-0.5" for "-,5": the form from_chars reads.
    std::size_t n = 0;
    if (number->negative)
        plain[n++] = '-';
    plain[n++] = '0';
    for (const char c : number->whole)
        plain[n++] = c;
    if (!number->fraction.empty()) {
        plain[n++] = '.';
        for (const char c : number->fraction)
            plain[n++] = c;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(plain, plain + n, value);
    if (error != std::errc() || end != plain + n)
        return std::nullopt;
    return value;
}

bool isFailText(std::string_view text)
{
    text = trimmed(text);
    return text.size() == 4 && (text[0] | 0x20) == 'f' && (text[1] | 0x20) == 'a' && (text[2] | 0x20) == 'i'
        && (text[3] | 0x20) == 'l';
}

void TrendExtent::add(float value)
{
    if (!any) {
        min = max = value;
        any = true;
        return;
    }
    min = std::min(min, value);
    max = std::max(max, value);
}

void TrendExtent::merge(const TrendExtent &other)
{
    if (other.any) {
        add(other.min);
        add(other.max);
    }
    failed = failed || other.failed;
    overload = overload || other.overload;
}

TrendExtent TrendSummary::rowExtent(const ReadingRecord &record)
{
    TrendExtent extent;
    if (const auto value = displayedNumber(record.Value))
        extent.add(static_cast<float>(*value));
    else
        extent.overload = isOverloadText(record.Value);
    extent.failed = isFailText(record.Auto);
    return extent;
}

std::optional<std::uint16_t> TrendSummary::keyOf(std::string_view function, std::string_view unit) const
{
    for (std::size_t i = 0; i < m_keys.size(); ++i)
        if (m_keys[i].function == function && m_keys[i].unit == unit)
            return static_cast<std::uint16_t>(i);
    return std::nullopt;
}

std::uint16_t TrendSummary::keyFor(std::string_view function, std::string_view unit)
{
    // Readings come in long runs of one function: the last key is the likely one.
    if (m_lastKey < m_keys.size() && m_keys[m_lastKey].function == function && m_keys[m_lastKey].unit == unit)
        return m_lastKey;
    if (const auto known = keyOf(function, unit))
        return m_lastKey = *known;
    // A table has a handful of functions; beyond what an id holds, the last series takes them.
    if (m_keys.size() > std::numeric_limits<std::uint16_t>::max())
        return m_lastKey = std::numeric_limits<std::uint16_t>::max();
    m_keys.push_back({std::string(function), std::string(unit)});
    return m_lastKey = static_cast<std::uint16_t>(m_keys.size() - 1);
}

void TrendSummary::append(const ReadingRecord &record)
{
    const std::uint16_t key = keyFor(record.DCAC, record.Unit);
    const TrendExtent row = rowExtent(record);
    const auto flags = static_cast<std::uint8_t>((row.any ? flagValue : 0) | (row.failed ? flagFailed : 0)
                                                 | (row.overload ? flagOverload : 0));
    for (int level = 0; level < levelCount; ++level) {
        Level &l = m_levels[level];
        const int shift = blockShift * (level + 1);
        if ((m_rows & ((std::size_t{1} << shift) - 1)) == 0)
            l.firstEntry.push_back(static_cast<std::uint32_t>(l.entries.size()));
        auto entry = l.entries.begin() + l.firstEntry.back();
        while (entry != l.entries.end() && entry->key != key)
            ++entry;
        if (entry == l.entries.end()) {
            l.entries.push_back({key, flags, row.min, row.max});
            continue;
        }
        if (row.any) {
            if (entry->flags & flagValue) {
                entry->min = std::min(entry->min, row.min);
                entry->max = std::max(entry->max, row.max);
            } else {
                entry->min = row.min;
                entry->max = row.max;
            }
        }
        entry->flags |= flags;
    }
    ++m_rows;
}

void TrendSummary::clear()
{
    *this = TrendSummary();
}

void TrendSummary::cover(const ReadingTable &table, std::uint16_t key, std::size_t first, std::size_t end, int level,
                         TrendExtent &extent) const
{
    if (first >= end)
        return;
    if (level < 0) {
        const TrendKey &k = m_keys[key];
        for (std::size_t row = first; row < end; ++row) {
            const ReadingRecord record = table.at(row);
            if (record.DCAC == k.function && record.Unit == k.unit)
                extent.merge(rowExtent(record));
        }
        return;
    }
    const std::size_t block = std::size_t{1} << (blockShift * (level + 1));
    const std::size_t wholeFirst = (first + block - 1) / block * block;
    const std::size_t wholeEnd = end / block * block;
    if (wholeFirst >= wholeEnd) {
        cover(table, key, first, end, level - 1, extent);
        return;
    }
    cover(table, key, first, wholeFirst, level - 1, extent);
    const Level &l = m_levels[level];
    for (std::size_t b = wholeFirst / block; b < wholeEnd / block; ++b) {
        const std::size_t from = l.firstEntry[b];
        const std::size_t to = b + 1 < l.firstEntry.size() ? l.firstEntry[b + 1] : l.entries.size();
        for (std::size_t e = from; e < to; ++e) {
            const Entry &entry = l.entries[e];
            if (entry.key != key)
                continue;
            TrendExtent part;
            if (entry.flags & flagValue) {
                part.add(entry.min);
                part.add(entry.max);
            }
            part.failed = entry.flags & flagFailed;
            part.overload = entry.flags & flagOverload;
            extent.merge(part);
        }
    }
    cover(table, key, wholeEnd, end, level - 1, extent);
}

TrendExtent TrendSummary::extent(const ReadingTable &table, std::uint16_t key, std::size_t first,
                                 std::size_t end) const
{
    TrendExtent result;
    end = std::min({end, m_rows, table.size()});
    if (key < m_keys.size())
        cover(table, key, first, end, levelCount - 1, result);
    return result;
}

bool TrendSummary::blockHas(int level, std::size_t block, std::uint16_t key) const
{
    const Level &l = m_levels[level];
    const std::size_t from = l.firstEntry[block];
    const std::size_t to = block + 1 < l.firstEntry.size() ? l.firstEntry[block + 1] : l.entries.size();
    for (std::size_t e = from; e < to; ++e)
        if (l.entries[e].key == key)
            return true;
    return false;
}

bool TrendSummary::rowIs(const ReadingTable &table, std::size_t row, std::uint16_t key) const
{
    const ReadingRecord record = table.at(row);
    return record.DCAC == m_keys[key].function && record.Unit == m_keys[key].unit;
}

std::optional<std::size_t> TrendSummary::find(const ReadingTable &table, std::uint16_t key, std::size_t first,
                                              std::size_t end, int level, bool last) const
{
    if (first >= end)
        return std::nullopt;
    if (level < 0) {
        for (std::size_t i = 0; i < end - first; ++i) {
            const std::size_t row = last ? end - 1 - i : first + i;
            if (rowIs(table, row, key))
                return row;
        }
        return std::nullopt;
    }
    const std::size_t block = std::size_t{1} << (blockShift * (level + 1));
    const std::size_t firstBlock = first / block, endBlock = (end + block - 1) / block;
    for (std::size_t i = 0; i < endBlock - firstBlock; ++i) {
        const std::size_t b = last ? endBlock - 1 - i : firstBlock + i;
        if (!blockHas(level, b, key))
            continue;
        if (const auto row = find(table, key, std::max(first, b * block), std::min(end, (b + 1) * block), level - 1, last))
            return row;
    }
    return std::nullopt;
}

std::optional<std::size_t> TrendSummary::firstRow(const ReadingTable &table, std::uint16_t key, std::size_t first,
                                                  std::size_t end) const
{
    if (key >= m_keys.size())
        return std::nullopt;
    return find(table, key, first, std::min({end, m_rows, table.size()}), levelCount - 1, false);
}

std::optional<std::size_t> TrendSummary::lastRow(const ReadingTable &table, std::uint16_t key, std::size_t first,
                                                 std::size_t end) const
{
    if (key >= m_keys.size())
        return std::nullopt;
    return find(table, key, first, std::min({end, m_rows, table.size()}), levelCount - 1, true);
}

std::size_t TrendSummary::bytesUsed() const
{
    std::size_t bytes = m_keys.capacity() * sizeof(TrendKey);
    for (const Level &l : m_levels)
        bytes += l.firstEntry.capacity() * sizeof(std::uint32_t) + l.entries.capacity() * sizeof(Entry);
    return bytes;
}

std::optional<TrendSummary> TrendSummary::build(const ReadingTableSnapshot &rows, WorkProgress *progress)
{
    TrendSummary summary;
    if (progress)
        progress->setTotal(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        summary.append(rows.at(i));
        if (progress && (i & 0xFFFF) == 0) {
            progress->setDone(i);
            if (progress->cancelled())
                return std::nullopt;
        }
    }
    if (progress)
        progress->setDone(rows.size());
    return summary;
}

} // namespace tolmar
