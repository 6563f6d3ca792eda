#pragma once

#include "files/Report.h"

#include <QFont>
#include <QRectF>

#include <functional>
#include <string>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace tolmar {

class WorkProgress;

// Paints pages of the report QuickRep1: the page's texts in the LCD symbol
// font or Arial at 10 point, black on the white sheet. The same painter
// draws the preview, the printer's pages and the PDF, so all three agree.
class ReportPainter {
public:
    ReportPainter();

    // Paints one page's texts with the sheet (210 x 297 mm) at `sheet`, in
    // the painter's coordinates. The painter's state is restored afterwards.
    void paint(QPainter &painter, const QRectF &sheet, const std::vector<ReportText> &texts) const;

    // The fonts, in hundredths of a millimetre.
    const QFont &font(report::ReportFont font) const
    {
        return font == report::ReportFont::Arial ? m_arial : m_lcd;
    }

private:
    QFont m_lcd;
    QFont m_arial;
};

// Which pages to print (0-based, `last` included) and how often.
struct ReportPrintRange {
    std::size_t first = 0;
    std::size_t last = 0;
    int copies = 1;
    bool collate = true; // each copy whole, rather than each page n times
};

// Prints the pages of `range` onto a device already set up for A4 portrait
// (the painter begins and ends here), one device page per report page, the
// sheet from the paper's corner. Progress counts pages; a cancel (of the
// progress, or `stop` saying so) stops before the next page and aborts a
// printer's job. False when the device could not be painted or the work was
// cancelled; `error` then says which.
bool printReport(const ReportDocument &document, QPagedPaintDevice &device, const ReportPrintRange &range,
                 WorkProgress *progress, std::string &error, const std::function<bool()> &stop = {});

} // namespace tolmar
