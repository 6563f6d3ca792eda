#include "files/qt/ReportPainter.h"

#include "meter/qt/LcdGlyphs.h"
#include "platform/BackgroundWork.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

namespace tolmar {

namespace {

// 10 point is 3.53 mm: the fonts' pixel size in hundredths of a millimetre.
constexpr int tenPoint = 353;

QFont reportFont(const QStringList &families)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(tenPoint);
    // Unhinted outlines scale linearly: the page looks the same at every
    // zoom of the preview and on paper.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}

} // namespace

ReportPainter::ReportPainter()
{
    // The segment letters of the LCD; the symbols it lacks (the ohm and micro
    // signs) and a missing font come from the text fonts.
    LcdGlyphs::segmentFontAvailable();
    m_lcd = reportFont({"DSEG14 Classic", "Liberation Sans", "DejaVu Sans"});
    // Liberation Sans has Arial's metrics.
    m_arial = reportFont({"Arial", "Liberation Sans", "DejaVu Sans"});
}

namespace {

// The segment font's blank is as narrow as its point, so words would run
// together: a blank between LCD letters takes the width of a digit cell.
qreal blankAdvance(const QFontMetricsF &metrics)
{
    return metrics.horizontalAdvance(QLatin1Char('8'));
}

qreal lcdWidth(const QString &text, const QFontMetricsF &metrics)
{
    qreal width = 0;
    for (const QString &word : text.split(QLatin1Char(' ')))
        width += metrics.horizontalAdvance(word) + blankAdvance(metrics);
    return width - blankAdvance(metrics);
}

void drawLcd(QPainter &painter, QPointF at, const QString &text, const QFontMetricsF &metrics)
{
    for (const QString &word : text.split(QLatin1Char(' '))) {
        if (!word.isEmpty())
            painter.drawText(at, word);
        at.rx() += metrics.horizontalAdvance(word) + blankAdvance(metrics);
    }
}

} // namespace

void ReportPainter::paint(QPainter &painter, const QRectF &sheet, const std::vector<ReportText> &texts) const
{
    painter.save();
    painter.translate(sheet.topLeft());
    painter.scale(sheet.width() / report::pageWidth, sheet.height() / report::pageHeight);
    painter.setPen(Qt::black);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (const ReportText &text : texts) {
        const bool lcd = text.font == report::ReportFont::Lcd;
        const QFont &f = font(text.font);
        painter.setFont(f);
        const QString s = QString::fromStdString(lcd ? report::lcdSymbolText(text.text) : text.text);
        const QFontMetricsF metrics(f);
        qreal left = text.left;
        if (text.centred)
            left += (report::bandWidth - (lcd ? lcdWidth(s, metrics) : metrics.horizontalAdvance(s))) / 2;
        // A text's top is the top of its line; it is drawn on the baseline below.
        const QPointF baseline(left, text.top + metrics.ascent());
        if (lcd)
            drawLcd(painter, baseline, s, metrics);
        else
            painter.drawText(baseline, s);
    }
    painter.restore();
}

bool printReport(const ReportDocument &document, QPagedPaintDevice &device, const ReportPrintRange &range,
                 WorkProgress *progress, std::string &error, const std::function<bool()> &stop)
{
    const std::size_t pages = document.pageCount();
    if (pages == 0 || range.first > range.last || range.first >= pages) {
        error = "The report has no pages to print.";
        return false;
    }
    const std::size_t last = std::min(range.last, pages - 1);
    const int copies = std::max(range.copies, 1);
    const std::size_t perCopy = last - range.first + 1;
    if (progress)
        progress->setTotal(perCopy * static_cast<std::size_t>(copies));

    const QPageLayout layout = device.pageLayout();
    const int dpi = device.logicalDpiX();
    const QRect full = layout.fullRectPixels(dpi);
    const QRectF sheet = QRectF(full).translated(-QPointF(layout.paintRectPixels(dpi).topLeft()));

    QPainter painter;
    if (!painter.begin(&device)) {
        error = "The printer could not be opened.";
        return false;
    }
    const ReportPainter report;
    std::vector<ReportText> texts;
    std::uint64_t done = 0;
    bool first = true;
    // Collated: 1 2 3, 1 2 3; else 1 1, 2 2, 3 3.
    const int outer = range.collate ? copies : 1;
    const int inner = range.collate ? 1 : copies;
    for (int copy = 0; copy < outer; ++copy) {
        for (std::size_t page = range.first; page <= last; ++page) {
            document.pageTexts(page, texts);
            for (int repeat = 0; repeat < inner; ++repeat) {
                if ((progress && progress->cancelled()) || (stop && stop())) {
                    // Pages already sent stay sent; the rest of the job is dropped.
                    if (auto *printer = dynamic_cast<QPrinter *>(&device))
                        printer->abort();
                    painter.end();
                    error = "Printing cancelled";
                    return false;
                }
                if (!first && !device.newPage()) {
                    painter.end();
                    error = "The printer did not take the next page.";
                    return false;
                }
                first = false;
                report.paint(painter, sheet, texts);
                if (progress)
                    progress->setDone(++done);
            }
        }
    }
    if (!painter.end()) {
        error = "The printer did not take the pages.";
        return false;
    }
    return true;
}

} // namespace tolmar
