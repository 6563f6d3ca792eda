#pragma once

#include "record/ReadingTable.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tolmar {

class Locale;

// The printed report QuickRep1: the reading table on A4 portrait pages, one
// detail line per record in table order, under the page header and the
// column header and above the page footer of every page.
//
// Lengths are in hundredths of a millimetre from the paper's top left corner.
// Every band has a fixed height, so the records of a page follow from its
// number alone: a page is laid out (and painted) without the pages before it.
namespace report {

inline constexpr int pageWidth = 21000;
inline constexpr int pageHeight = 29700;
inline constexpr int margin = 1000; // top, bottom, left and right
inline constexpr int bandWidth = pageWidth - 2 * margin;

inline constexpr int pageHeaderHeight = 1058;   // PageHeaderBand1
inline constexpr int columnHeaderHeight = 1058; // ColumnHeaderBand1
inline constexpr int detailHeight = 661;        // DetailBand1, once per record
inline constexpr int pageFooterHeight = 1058;   // PageFooterBand1

inline constexpr int pageHeaderTop = margin;
inline constexpr int columnHeaderTop = pageHeaderTop + pageHeaderHeight;
inline constexpr int firstDetailTop = columnHeaderTop + columnHeaderHeight;
// The footer sits on the bottom margin, however few records the page holds.
inline constexpr int pageFooterTop = pageHeight - margin - pageFooterHeight;
// 37: the detail lines that fit between the column header and the footer.
inline constexpr std::size_t recordsPerPage = (pageFooterTop - firstDetailTop) / detailHeight;

inline constexpr const char *titleText = "The Data Print Title"; // QRLabel1
inline constexpr const char *footerText = "The Data Print Foot"; // QRLabel8

// The base font is the LCD symbol font at 10 point; some texts print in Arial.
enum class ReportFont { Lcd, Arial };

// One text of a page: its left edge and the top of its line, the font, and
// the text. Arial texts are UTF-8; LCD texts are in the LCD font's encoding
// ("*" the ohm sign) and go through lcdSymbolText() when painted. A centred
// text is centred across the band instead of starting at `left`.
struct ReportText {
    int left = 0;
    int top = 0;
    ReportFont font = ReportFont::Lcd;
    std::string text;
    bool centred = false;
    bool operator==(const ReportText &) const = default;
};

// 0 for an empty table: the report has no pages.
std::size_t pageCount(std::size_t records);
// The first record of a page (0-based) and how many records it holds.
struct PageRecords {
    std::size_t first = 0;
    std::size_t count = 0;
};
PageRecords pageRecords(std::size_t page, std::size_t records);

// The texts of one page, 0-based, in the order they print: title, column
// titles, the records' fields, footer. Null fields print nothing.
void pageTexts(const ReadingTableSnapshot &table, std::size_t page, const Locale &locale,
               std::vector<ReportText> &texts);

// The LCD font's bytes of a unit as the characters its glyphs show: "*" the
// ohm sign, "+" the micro sign, "@" the letter L, ")" the diode symbol, "&"
// the continuity symbol. Other bytes stay as they are (a text that is not
// UTF-8 is read as Windows-1252).
std::string lcdSymbolText(std::string_view bytes);

} // namespace report

using report::ReportText;

// A report over a snapshot of the table: what the preview shows and what is
// printed. The snapshot keeps its records whatever the table does meanwhile.
class ReportDocument {
public:
    ReportDocument(ReadingTableSnapshot table, const Locale &locale) : m_table(std::move(table)), m_locale(&locale) {}

    std::size_t pageCount() const { return report::pageCount(m_table.size()); }
    std::size_t recordCount() const { return m_table.size(); }
    void pageTexts(std::size_t page, std::vector<ReportText> &texts) const
    {
        report::pageTexts(m_table, page, *m_locale, texts);
    }
    const Locale &locale() const { return *m_locale; }

private:
    ReadingTableSnapshot m_table;
    const Locale *m_locale;
};

// Shows the print preview "Print Preview" of a report and returns when the
// user has closed it; the window's events go on meanwhile.
class ReportPreview {
public:
    virtual ~ReportPreview() = default;
    virtual void show(const ReportDocument &document) = 0;
};

// The button BtPrint "Print".
class ReportPrinting {
public:
    // Without a preview (a program without a window) the button does nothing.
    ReportPrinting(const ReadingTable &table, const Locale &locale, ReportPreview *preview)
        : m_table(table), m_locale(locale), m_preview(preview)
    {
    }

    // Lays QuickRep1 out over the whole table as it is now (recording goes on
    // while the preview is open, the report keeps its records) and waits for
    // the preview to close; then the main window is repainted.
    void BtPrintClick()
    {
        if (!m_preview)
            return;
        m_preview->show(ReportDocument(m_table.snapshot(), m_locale));
        if (onPreviewClosed)
            onPreviewClosed();
    }

    std::function<void()> onPreviewClosed;

private:
    const ReadingTable &m_table;
    const Locale &m_locale;
    ReportPreview *m_preview;
};

} // namespace tolmar
