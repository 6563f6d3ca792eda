#include "record/Statistics.h"

#include "meter/MeterReading.h"
#include "platform/BackgroundWork.h"
#include "platform/Clock.h"
#include "record/Judge.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tolmar {

namespace {

constexpr std::string_view passText = "pass"; // as Judge writes them into a record
constexpr std::string_view failText = "Fail";

// What a value text is: an overload, a number, or neither.
struct ReadValue {
    bool overload = false;
    std::optional<double> number;
};

ReadValue readValue(std::string_view text, std::string_view separator)
{
    if (isOverloadText(text))
        return {true, std::nullopt};
    return {false, judgedNumber(text, separator)};
}

} // namespace

std::string momentText(const StatisticsMoment &moment)
{
    if (!moment.time)
        return {};
    const auto t = static_cast<unsigned>(std::max(*moment.time, 0));
    char text[64];
    const int time = std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", t / 3'600'000, t / 60'000 % 60,
                                   t / 1000 % 60, t % 1000);
    if (!moment.date)
        return std::string(text, static_cast<std::size_t>(time));
    int year = 0, month = 0, day = 0;
    civilFromDays(moment.date->day, year, month, day);
    const int offset = moment.date->utcOffsetMinutes;
    const int minutes = offset < 0 ? -offset : offset;
    char dated[96];
    const int n = std::snprintf(dated, sizeof dated, "%04d-%02d-%02dT%s%c%02d:%02d", year, month, day, text,
                                offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return std::string(dated, static_cast<std::size_t>(n));
}

std::optional<double> StatisticsRow::standardDeviation() const
{
    if (numbers < 2)
        return std::nullopt;
    return std::sqrt(sumOfSquares / static_cast<double>(numbers - 1));
}

std::optional<double> StatisticsRow::yieldPercent() const
{
    if (pass + fail == 0)
        return std::nullopt;
    return 100.0 * static_cast<double>(pass) / static_cast<double>(pass + fail);
}

Capability StatisticsRow::capability(const std::optional<StatisticsLimits> &limits) const
{
    const auto s = standardDeviation();
    // Limits out of order fail every reading; an index against them means nothing.
    if (!limits || !(limits->high >= limits->low) || !s || !(*s > 0))
        return {};
    return {(limits->high - limits->low) / (6 * *s), std::min(limits->high - mean, mean - limits->low) / (3 * *s)};
}

Statistics::Statistics(std::string decimalSeparator) : m_separator(std::move(decimalSeparator)) {}

void Statistics::setDecimalSeparator(std::string_view separator)
{
    if (separator != m_separator)
        m_separator = separator;
}

void Statistics::clear()
{
    m_rows.clear();
    m_lastRow = 0;
    m_records = 0;
}

StatisticsRow &Statistics::rowFor(std::string_view function, std::string_view unit)
{
    if (m_lastRow < m_rows.size()) {
        StatisticsRow &last = m_rows[m_lastRow];
        if (last.function == function && last.unit == unit)
            return last;
    }
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].function == function && m_rows[i].unit == unit) {
            m_lastRow = i;
            return m_rows[i];
        }
    }
    StatisticsRow row;
    row.function = function;
    row.unit = unit;
    m_rows.push_back(std::move(row));
    m_lastRow = m_rows.size() - 1;
    return m_rows.back();
}

void Statistics::addRead(StatisticsRow &row, const ReadingRecord &record, const std::optional<RecordDate> &date,
                         bool overload, std::optional<double> value)
{
    ++m_records;
    ++row.count;
    // A record without a time (a file's) leaves the span as it is.
    if (record.Time) {
        const StatisticsMoment moment{date, record.Time};
        if (!row.first.time)
            row.first = moment;
        row.last = moment;
    }
    if (overload) {
        ++row.overloads;
    } else if (value) {
        const double v = *value;
        if (row.numbers++ == 0) {
            row.minimum = row.maximum = v;
        } else {
            row.minimum = std::min(row.minimum, v);
            row.maximum = std::max(row.maximum, v);
        }
        // Welford: the mean moves by a share of the difference, and the sum
        // of squares grows by the product of the differences before and
        // after, so no large sums of squares cancel.
        const double delta = v - row.mean;
        row.mean += delta / static_cast<double>(row.numbers);
        row.sumOfSquares += delta * (v - row.mean);
    }
    if (record.Auto == passText)
        ++row.pass;
    else if (record.Auto == failText)
        ++row.fail;
}

void Statistics::add(const ReadingRecord &record, std::optional<RecordDate> date)
{
    const ReadValue value = readValue(record.Value, m_separator);
    addRead(rowFor(record.DCAC, record.Unit), record, date, value.overload, value.number);
}

void Statistics::addRows(const ReadingTableSnapshot &table, std::size_t first, std::size_t end)
{
    end = std::min(end, table.size());
    if (first >= end)
        return;
    // A table keeps each distinct value text once, and a snapshot's texts
    // never move: the text's address tells a value read before. A meter's
    // readings repeat, so most values are read once.
    struct Cached {
        const char *data = nullptr;
        std::size_t size = 0;
        ReadValue value;
    };
    std::vector<Cached> cache(1024);
    DateRun run = table.dateRunOf(first);
    for (std::size_t i = first; i < end; ++i) {
        if (i >= run.end)
            run = table.nextDateRun(run);
        const ReadingRecord record = table.at(i);
        const std::string_view text = record.Value;
        Cached &slot = cache[(reinterpret_cast<std::uintptr_t>(text.data()) >> 3) % cache.size()];
        if (slot.data != text.data() || slot.size != text.size() || !slot.data)
            slot = {text.data(), text.size(), readValue(text, m_separator)};
        addRead(rowFor(record.DCAC, record.Unit), record, run.date, slot.value.overload, slot.value.number);
    }
}

Statistics Statistics::recompute(const ReadingTableSnapshot &table, std::string decimalSeparator,
                                 WorkProgress *progress)
{
    Statistics statistics(std::move(decimalSeparator));
    const std::size_t size = table.size();
    constexpr std::size_t step = 1 << 16;
    if (progress)
        progress->setTotal(size);
    for (std::size_t first = 0; first < size; first += step) {
        statistics.addRows(table, first, std::min(size, first + step));
        if (progress)
            progress->setDone(std::min(size, first + step));
    }
    return statistics;
}

} // namespace tolmar
