#pragma once

#include "record/Statistics.h"

#include <optional>
#include <string>
#include <vector>

namespace tolmar {

// The statistics as a person reads them, in the window, on the clipboard and
// from `tolmar-cli stats --format text`: the function as UTF-8, the unit in
// Unicode (kΩ, µA), numbers with a dot (values to 10 significant digits,
// the spread, yield and capability indices to 6), times as momentText(),
// and an empty text where a row has no such figure.
std::vector<std::string> statisticsColumnTitles();
std::vector<std::string> statisticsRowTexts(const StatisticsRow &row, const std::optional<StatisticsLimits> &limits);
// The header line and one line per row, fields separated by tabs, each line
// ended by a line feed.
std::string statisticsTabText(const std::vector<StatisticsRow> &rows, const std::optional<StatisticsLimits> &limits);
// A number as statisticsRowTexts() writes it.
std::string statisticsNumberText(double value, int significantDigits);

} // namespace tolmar
