#include "files/StatisticsText.h"

#include "files/CsvTable.h"
#include "platform/TextEncoding.h"

#include <charconv>

namespace tolmar {

namespace {

constexpr int valueDigits = 10;
constexpr int figureDigits = 6;

std::string optionalText(const std::optional<double> &value, int digits)
{
    return value ? statisticsNumberText(*value, digits) : std::string();
}

} // namespace

std::string statisticsNumberText(double value, int significantDigits)
{
    // Not printf: the window runs with the user's locale, and its comma
    // would break a tab-separated copy read as numbers with a dot.
    char text[48];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, significantDigits).ptr;
    return std::string(text, end);
}

std::vector<std::string> statisticsColumnTitles()
{
    return {"Function", "Unit", "Count", "Overloads", "Minimum", "Maximum", "Mean", "Std dev",
            "First",    "Last", "Pass",  "Fail",      "Yield %", "Cp",      "Cpk"};
}

std::vector<std::string> statisticsRowTexts(const StatisticsRow &row, const std::optional<StatisticsLimits> &limits)
{
    const Capability capability = row.capability(limits);
    const bool values = row.numbers > 0;
    std::string scratch;
    return {std::string(asUtf8(row.function, scratch)),
            unicodeUnitText(row.unit),
            std::to_string(row.count),
            std::to_string(row.overloads),
            values ? statisticsNumberText(row.minimum, valueDigits) : std::string(),
            values ? statisticsNumberText(row.maximum, valueDigits) : std::string(),
            values ? statisticsNumberText(row.mean, valueDigits) : std::string(),
            optionalText(row.standardDeviation(), figureDigits),
            momentText(row.first),
            momentText(row.last),
            std::to_string(row.pass),
            std::to_string(row.fail),
            optionalText(row.yieldPercent(), figureDigits),
            optionalText(capability.Cp, figureDigits),
            optionalText(capability.Cpk, figureDigits)};
}

std::string statisticsTabText(const std::vector<StatisticsRow> &rows, const std::optional<StatisticsLimits> &limits)
{
    const auto line = [](const std::vector<std::string> &fields) {
        std::string text;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i)
                text += '\t';
            // A tab or line end of a file's text would split the field.
            for (const char c : fields[i])
                text += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
        }
        return text + '\n';
    };
    std::string text = line(statisticsColumnTitles());
    for (const StatisticsRow &row : rows)
        text += line(statisticsRowTexts(row, limits));
    return text;
}

} // namespace tolmar
