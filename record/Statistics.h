#pragma once

#include "record/ReadingTable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolmar {

class WorkProgress;

// The high and low limits of the judge, as numbers.
struct StatisticsLimits {
    double high = 0;
    double low = 0;
};

// When a record was taken: its date when it has one, and its time of day.
struct StatisticsMoment {
    std::optional<RecordDate> date;
    std::optional<std::int32_t> time; // milliseconds since midnight
    bool operator==(const StatisticsMoment &) const = default;
};

// "2026-12-09T14:03:05.123+01:00" for a record with a date (as the
// comma-separated file writes it), "14:03:05.123" without; empty when the
// record has no time.
std::string momentText(const StatisticsMoment &moment);

// The process capability of a row against the limits: Cp = (high - low) / 6s,
// Cpk = min(high - mean, mean - low) / 3s, s the row's standard deviation.
struct Capability {
    std::optional<double> Cp;
    std::optional<double> Cpk;
};

// One function and unit of the table (the DC/AC and Unit texts as the
// table holds them).
struct StatisticsRow {
    std::string function;
    std::string unit;
    std::uint64_t count = 0;     // every record of this function and unit
    std::uint64_t overloads = 0; // values that show an overload
    std::uint64_t numbers = 0;   // values that are numbers: what min, max, mean and s are of
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
    double sumOfSquares = 0; // of the differences from the mean (Welford's M2)
    StatisticsMoment first; // of the first and the last record with a time
    StatisticsMoment last;
    std::uint64_t pass = 0; // records the judge passed ("pass")
    std::uint64_t fail = 0; // records the judge failed ("Fail")

    // The sample standard deviation (n - 1); none below two numbers.
    std::optional<double> standardDeviation() const;
    // pass / (pass + fail) in percent; none before anything was judged.
    std::optional<double> yieldPercent() const;
    // None without limits, with limits out of order, or without a spread
    // (fewer than two numbers, or all equal).
    Capability capability(const std::optional<StatisticsLimits> &limits) const;
};

// Statistics of the reading table, one row per function and unit in the
// order they first appear. A record updates its row in constant time and
// is not kept: the statistics of ten million records cost a row each per
// function and unit. Mean and spread by Welford's method, so a reading of
// 1e8 with noise in its last digits keeps its spread.
//
// Values are read as the judge reads them: the displayed text with the
// user's decimal separator, no unit scaling (1.500 V and 1500 mV are
// different numbers). An overload or a text that is no number counts, but
// has no value.
class Statistics {
public:
    explicit Statistics(std::string decimalSeparator = ".");

    // The separator the next values are read with (the locale's, which a
    // record's text was made with).
    void setDecimalSeparator(std::string_view separator);
    const std::string &decimalSeparator() const { return m_separator; }

    void add(const ReadingRecord &record, std::optional<RecordDate> date = std::nullopt);
    void clear();

    const std::vector<StatisticsRow> &rows() const { return m_rows; }
    bool empty() const { return m_rows.empty(); }
    // Records added since the last clear.
    std::uint64_t records() const { return m_records; }

    // The statistics of every record of a snapshot, built beside the user
    // interface (any thread). It runs to its end: the statistics of part of
    // a table would be wrong, and ten million records take under a second.
    static Statistics recompute(const ReadingTableSnapshot &table, std::string decimalSeparator,
                                WorkProgress *progress = nullptr);

    // Adds the snapshot's rows [first, end): what a recompute of an older
    // snapshot missed.
    void addRows(const ReadingTableSnapshot &table, std::size_t first, std::size_t end);

private:
    StatisticsRow &rowFor(std::string_view function, std::string_view unit);
    // A record whose value is already read: overload, or its number.
    void addRead(StatisticsRow &row, const ReadingRecord &record, const std::optional<RecordDate> &date,
                 bool overload, std::optional<double> value);

    std::string m_separator;
    std::vector<StatisticsRow> m_rows;
    std::size_t m_lastRow = 0; // a meter's records come in runs of one function
    std::uint64_t m_records = 0;
};

} // namespace tolmar
