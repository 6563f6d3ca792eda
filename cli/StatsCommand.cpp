#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "files/StatisticsText.h"
#include "platform/SystemLocale.h"
#include "record/Judge.h"
#include "record/ReadingTable.h"
#include "record/Statistics.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ostream>
#include <tuple>

namespace tolmar::cli {

namespace {
const char *const prefix = "tolmar-cli: stats: ";

// The judge panel's limits at start.
constexpr StatisticsLimits startLimits{4000, -4000};

// The command line of stats: its table and what it holds.
struct StatsLine {
    bool text = false;
    std::optional<std::string> separator;
    std::optional<std::string> high;
    std::optional<std::string> low;
    Args files;
    OptionTable table{"stats", "stats: unknown option "};

    StatsLine();
};

StatsLine::StatsLine()
{
    table.describe(
        "      Loads the table file FILE as \"Open old data files\" does (a packet for\n"
        "      a name ending in \".xml\", comma-separated values for \".csv\" in any\n"
        "      case, else tab-separated text) and prints the statistics of each\n"
        "      function and unit in the order they first appear: the count, the\n"
        "      overloads, the minimum, maximum, mean and standard deviation of the\n"
        "      values that are numbers, the first and last time, the records the\n"
        "      judge passed and failed, the yield in percent and Cp and Cpk against\n"
        "      the limits. Values and limits are the displayed numbers, no unit\n"
        "      scaling. JSON lines with the keys DC/AC Unit Count Overloads Minimum\n"
        "      Maximum Mean StdDev First Last Pass Fail Yield Cp Cpk (null where a\n"
        "      row has no such figure), or an aligned table with a header. A file\n"
        "      that does not load is told on standard error with exit status 1.\n");
    table.value({.name = "--format",
                 .valueName = "json|text",
                 .take =
                     [this](const std::string &format) {
                         if (format != "json" && format != "text")
                             throw UsageError{"stats: --format takes json or text"};
                         text = format == "text";
                     },
                 .missing = "stats: --format takes json or text",
                 .help = "JSON lines (the default), or a table"});
    table.value({.name = "--high",
                 .valueName = "X",
                 .take = [this](const std::string &value) { high = value; },
                 .missing = "stats: --high takes a number",
                 .notEmpty = true,
                 .help = "the high limit (default 4000)"});
    table.value({.name = "--low",
                 .valueName = "X",
                 .take = [this](const std::string &value) { low = value; },
                 .missing = "stats: --low takes a number",
                 .notEmpty = true,
                 .help = "the low limit (default -4000)"});
    addDecimalSeparator(table, separator, "stats: --decimal-separator needs a character",
                        "read values and limits with C instead of the locale's decimal separator");
    table.arguments("FILE", files);
}

// A figure as a JSON number; null for none, or for a sum too large to be one.
std::string jsonNumber(const std::optional<double> &value)
{
    if (!value || !std::isfinite(*value))
        return "null";
    char text[40];
    return std::string(text, std::to_chars(text, text + sizeof text, *value).ptr);
}

std::string rowJson(const StatisticsRow &row, const std::optional<StatisticsLimits> &limits)
{
    json::ObjectWriter o;
    const auto text = [&o](const char *key, std::string_view value) {
        if (value.empty())
            o.raw(key, "null");
        else
            o.text(key, value);
    };
    const bool values = row.numbers > 0;
    const Capability capability = row.capability(limits);
    text("DC/AC", row.function);
    text("Unit", row.unit);
    o.number("Count", static_cast<long long>(row.count));
    o.number("Overloads", static_cast<long long>(row.overloads));
    o.raw("Minimum", jsonNumber(values ? std::optional(row.minimum) : std::nullopt));
    o.raw("Maximum", jsonNumber(values ? std::optional(row.maximum) : std::nullopt));
    o.raw("Mean", jsonNumber(values ? std::optional(row.mean) : std::nullopt));
    o.raw("StdDev", jsonNumber(row.standardDeviation()));
    text("First", momentText(row.first));
    text("Last", momentText(row.last));
    o.number("Pass", static_cast<long long>(row.pass));
    o.number("Fail", static_cast<long long>(row.fail));
    o.raw("Yield", jsonNumber(row.yieldPercent()));
    o.raw("Cp", jsonNumber(capability.Cp));
    o.raw("Cpk", jsonNumber(capability.Cpk));
    return o.str();
}

// Characters, not bytes: a unit's Ω takes two bytes and one column.
std::size_t columns(const std::string &text)
{
    std::size_t n = 0;
    for (const char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

void printTable(std::ostream &out, const std::vector<StatisticsRow> &rows,
                const std::optional<StatisticsLimits> &limits)
{
    std::vector<std::vector<std::string>> lines{statisticsColumnTitles()};
    for (const StatisticsRow &row : rows)
        lines.push_back(statisticsRowTexts(row, limits));
    std::vector<std::size_t> widths(lines.front().size(), 0);
    for (const auto &line : lines)
        for (std::size_t i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], columns(line[i]));
    for (const auto &line : lines) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (i)
                text += "  ";
            // Names to the left, figures to the right.
            const std::string pad(widths[i] - columns(line[i]), ' ');
            text += i < 2 ? line[i] + pad : pad + line[i];
        }
        text.erase(text.find_last_not_of(' ') + 1); // figures a row has none of, at its end
        out << text << "\n";
    }
}
} // namespace

std::string statsHelp()
{
    return StatsLine().table.help();
}

int statsCommand(const Args &args, std::ostream &out, std::ostream &err)
{
    StatsLine line;
    if (const int status = line.table.parse(args, err))
        return status;
    if (line.files.size() != 1 || line.files[0].empty())
        return usageError(err, "stats takes one FILE");
    const std::unique_ptr<Locale> systemLocale = makeSystemLocale();
    Locale &locale = *systemLocale;
    const std::string separator = line.separator ? *line.separator : locale.decimalSeparator();
    StatisticsLimits limits = startLimits;
    for (auto [given, limit, name] : {std::tuple{&line.high, &limits.high, "--high"},
                                      std::tuple{&line.low, &limits.low, "--low"}}) {
        if (!*given)
            continue;
        const auto number = judgedNumber(**given, separator);
        if (!number)
            return usageError(err, std::string("stats: ") + name + " takes a number, not \"" + **given + "\"");
        *limit = *number;
    }

    ReadingTable table;
    if (!loadTableFile(line.files[0], locale, table, err, prefix))
        return 1;
    const Statistics statistics = Statistics::recompute(table.snapshot(), separator);
    if (line.text) {
        printTable(out, statistics.rows(), limits);
    } else {
        for (const StatisticsRow &row : statistics.rows())
            out << rowJson(row, limits) << "\n";
    }
    return 0;
}

} // namespace tolmar::cli
