#include "files/Report.h"

#include "platform/Locale.h"
#include "platform/TextEncoding.h"

#include <algorithm>
#include <optional>

namespace tolmar::report {

namespace {

constexpr std::int32_t millisecondsPerDay = 24 * 60 * 60 * 1000;

// Positions within the bands (left edge, top), in hundredths of a millimetre.
constexpr int titleTop = 212;
constexpr int columnTitleTop = 423;
constexpr int detailTextTop = 212;
constexpr int footerLeft = 847;
constexpr int footerTop = 423;

struct Column {
    const char *title;
    int titleLeft;
    ReportFont titleFont;
    int fieldLeft;
    ReportFont fieldFont;
};
// No, Time, DC/AC, Value, Unit, Auto. "Function" and the first four fields
// print in Arial; the other column titles, Unit and Auto in the LCD font.
constexpr Column columns[6] = {
    {"No.", 847, ReportFont::Lcd, 847, ReportFont::Arial},
    {"Time", 3387, ReportFont::Lcd, 3387, ReportFont::Arial},
    {"Function", 6429, ReportFont::Arial, 6562, ReportFont::Arial},
    {"Value", 9948, ReportFont::Lcd, 9948, ReportFont::Arial},
    {"Unit", 13018, ReportFont::Lcd, 13123, ReportFont::Lcd},
    {"Judge", 16298, ReportFont::Lcd, 16298, ReportFont::Lcd},
};

std::string timeText(const std::optional<std::int32_t> &time, const Locale &locale)
{
    // A time that is no time of day (a damaged file) prints nothing, as the grid shows nothing.
    if (!time || *time < 0 || *time >= millisecondsPerDay)
        return {};
    const int seconds = *time / 1000;
    return locale.formatLongTime({seconds / 3600, seconds / 60 % 60, seconds % 60});
}

std::string storedText(std::string_view bytes)
{
    std::string scratch;
    return std::string(asUtf8(bytes, scratch));
}

} // namespace

std::size_t pageCount(std::size_t records)
{
    return (records + recordsPerPage - 1) / recordsPerPage;
}

PageRecords pageRecords(std::size_t page, std::size_t records)
{
    if (page >= pageCount(records))
        return {records, 0};
    const std::size_t first = page * recordsPerPage;
    return {first, std::min(recordsPerPage, records - first)};
}

void pageTexts(const ReadingTableSnapshot &table, std::size_t page, const Locale &locale,
               std::vector<ReportText> &texts)
{
    texts.clear();
    const PageRecords records = pageRecords(page, table.size());
    if (records.count == 0)
        return;
    texts.push_back({margin, pageHeaderTop + titleTop, ReportFont::Lcd, titleText, true});
    for (const Column &column : columns)
        texts.push_back({margin + column.titleLeft, columnHeaderTop + columnTitleTop, column.titleFont, column.title});

    for (std::size_t i = 0; i < records.count; ++i) {
        const ReadingRecord record = table.at(records.first + i);
        const int top = firstDetailTop + static_cast<int>(i) * detailHeight + detailTextTop;
        const std::string fields[6] = {
            record.No ? std::to_string(*record.No) : std::string(),
            timeText(record.Time, locale),
            storedText(record.DCAC),
            storedText(record.Value),
            std::string(record.Unit),
            std::string(record.Auto),
        };
        for (std::size_t c = 0; c < 6; ++c)
            if (!fields[c].empty())
                texts.push_back({margin + columns[c].fieldLeft, top, columns[c].fieldFont, fields[c]});
    }
    texts.push_back({margin + footerLeft, pageFooterTop + footerTop, ReportFont::Lcd, footerText});
}

std::string lcdSymbolText(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size() + 8);
    std::string scratch;
    for (char c : asUtf8(bytes, scratch)) {
        switch (c) {
        case '*': text += "\u03A9"; break;      // ohm
        case '+': text += "\u00B5"; break;      // micro
        case '@': text += 'L'; break;           // the segment letter L
        case ')': text += "\u25B6|"; break;     // diode: a triangle against its bar
        case '&': text += "\u266A"; break;      // continuity: the beeper's note
        default: text += c; break;
        }
    }
    return text;
}

} // namespace tolmar::report
