// The print preview offscreen: its pages, paging, zoom, painting, printing to
// a PDF through the printer, and BtPrint in the real main window.
#include "app/qt/Brevon.h"
#include "app/qt/RecordingPanel.h"
#include "files/qt/ReportPreviewDialog.h"
#include "gui/OffscreenWindow.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace tolmar {
namespace {

ReadingTable tableOf(std::size_t count)
{
    ReadingTable table;
    ReadingRecord r;
    r.DCAC = "DC";
    r.Value = "1.000";
    r.Unit = "k*";
    r.Auto = "Pass";
    for (std::size_t i = 0; i < count; ++i) {
        r.No = static_cast<std::int32_t>(i);
        r.Time = static_cast<std::int32_t>(i % 86400) * 1000;
        table.append(r);
    }
    return table;
}

struct Preview {
    explicit Preview(std::size_t records, QSize size = QSize(700, 800))
        : table(tableOf(records)), dialog(ReportDocument(table.snapshot(), locale))
    {
        dialog.resize(size);
        dialog.show();
        QApplication::processEvents();
    }
    FixedLocale locale;
    ReadingTable table;
    ReportPreviewDialog dialog;

    QScrollArea *area() const { return dialog.findChild<QScrollArea *>("pageArea"); }
    QImage page() const { return dialog.pageView()->grab().toImage(); }
};

// Dark pixels (text) inside a rectangle of the painted page.
int inkIn(const QImage &image, const QRect &rect)
{
    int ink = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                ++ink;
    return ink;
}

TEST(ReportPreview, TitleAndPageCount)
{
    struct Case {
        std::size_t records;
        std::size_t pages;
        const char *total;
    };
    const Case cases[] = {{0, 0, "of 0"}, {1, 1, "of 1"}, {37, 1, "of 1"}, {38, 2, "of 2"}, {1000, 28, "of 28"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.records);
        Preview p(c.records);
        EXPECT_EQ(p.dialog.windowTitle(), "Print Preview");
        EXPECT_EQ(p.dialog.pageCount(), c.pages);
        EXPECT_EQ(p.dialog.pageTotal->text(), c.total);
        EXPECT_EQ(p.dialog.currentPage(), 0u);
        EXPECT_EQ(p.dialog.printAction->isEnabled(), c.pages > 0);
    }
}

TEST(ReportPreview, PagesAndTheirButtons)
{
    Preview p(1000); // 28 pages
    ReportPreviewDialog &d = p.dialog;
    const auto enabled = [&] {
        return std::string{d.firstPageAction->isEnabled() ? 'F' : '-', d.previousPageAction->isEnabled() ? 'P' : '-',
                           d.nextPageAction->isEnabled() ? 'N' : '-', d.lastPageAction->isEnabled() ? 'L' : '-'};
    };
    struct Step {
        QAction *action;
        std::size_t page;
        const char *buttons;
    };
    EXPECT_EQ(enabled(), "--NL");
    const Step steps[] = {
        {d.nextPageAction, 1, "FPNL"},     {d.nextPageAction, 2, "FPNL"}, {d.lastPageAction, 27, "FP--"},
        {d.previousPageAction, 26, "FPNL"}, {d.firstPageAction, 0, "--NL"},
    };
    for (const Step &s : steps) {
        s.action->trigger();
        EXPECT_EQ(d.currentPage(), s.page);
        EXPECT_EQ(d.pageNumber->value(), static_cast<int>(s.page) + 1);
        EXPECT_EQ(enabled(), s.buttons) << "page " << s.page;
    }
    // The page number box goes to the page typed; past the end is the last.
    d.pageNumber->setValue(14);
    EXPECT_EQ(d.currentPage(), 13u);
    d.goToPage(500);
    EXPECT_EQ(d.currentPage(), 27u);
    d.previousPage();
    d.previousPage();
    EXPECT_EQ(d.currentPage(), 25u);
}

TEST(ReportPreview, KeysPageWhateverHasTheFocus)
{
    Preview p(1000);
    p.dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&p.dialog));
    for (QWidget *focus : {static_cast<QWidget *>(p.area()), static_cast<QWidget *>(p.dialog.pageNumber)}) {
        focus->setFocus();
        p.dialog.firstPage();
        QTest::keyClick(focus, Qt::Key_PageDown);
        EXPECT_EQ(p.dialog.currentPage(), 1u);
        QTest::keyClick(focus, Qt::Key_PageUp);
        EXPECT_EQ(p.dialog.currentPage(), 0u);
    }
    // Home and End on the page; in the page number box they edit the number.
    p.area()->setFocus();
    QTest::keyClick(p.area(), Qt::Key_End);
    EXPECT_EQ(p.dialog.currentPage(), 27u);
    QTest::keyClick(p.area(), Qt::Key_Home);
    EXPECT_EQ(p.dialog.currentPage(), 0u);
}

TEST(ReportPreview, ZoomModes)
{
    Preview p(100, QSize(700, 800));
    ReportPreviewDialog &d = p.dialog;
    QScrollArea *area = p.area();
    ASSERT_NE(area, nullptr);

    // Fit page: the whole sheet in view, no scroll bar.
    d.fitPageAction->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(d.fitPageAction->isChecked());
    const QRect fitPage = d.sheetRect();
    EXPECT_LE(fitPage.bottom(), area->viewport()->height());
    EXPECT_LE(fitPage.right(), area->viewport()->width());
    EXPECT_FALSE(area->verticalScrollBar()->isVisible());
    EXPECT_NEAR(static_cast<double>(fitPage.height()) / fitPage.width(), 297.0 / 210.0, 0.01);

    // Fit width: as wide as the view, the page scrolls down.
    d.fitWidthAction->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(d.fitWidthAction->isChecked());
    EXPECT_FALSE(d.fitPageAction->isChecked());
    const QRect fitWidth = d.sheetRect();
    EXPECT_GT(fitWidth.width(), fitPage.width());
    EXPECT_GE(fitWidth.width(), area->viewport()->width() - 40);
    EXPECT_LE(fitWidth.right(), area->viewport()->width());
    EXPECT_TRUE(area->verticalScrollBar()->isVisible());

    // 100 %: a millimetre of paper is a millimetre of screen.
    d.actualSizeAction->trigger();
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(d.pixelsPerMillimetre(), d.logicalDpiX() / 25.4);
    EXPECT_NEAR(d.sheetRect().width(), 210 * d.logicalDpiX() / 25.4, 1);

    // A resized preview fits its page again.
    d.fitPageAction->trigger();
    d.resize(500, 600);
    QApplication::processEvents();
    EXPECT_LT(d.sheetRect().height(), fitPage.height());
    EXPECT_LE(d.sheetRect().bottom(), area->viewport()->height());
}

TEST(ReportPreview, PaintsThePageInView)
{
    Preview p(38, QSize(700, 900)); // a full page and a page of one record
    const QRect sheet = p.dialog.sheetRect();
    const QImage first = p.page();
    EXPECT_EQ(first.pixelColor(sheet.center().x(), sheet.top() + 2), QColor(Qt::white));
    // The title band, the detail lines and the footer hold text on both pages.
    const auto band = [&](double topMm, double heightMm) {
        const double ppm = p.dialog.pixelsPerMillimetre();
        return QRect(sheet.left(), sheet.top() + static_cast<int>(topMm * ppm), sheet.width(),
                     static_cast<int>(heightMm * ppm));
    };
    const QRect title = band(10, 10.58), details = band(31.16, 37 * 6.61), lastLine = band(31.16 + 36 * 6.61, 6.61),
                footer = band(276.42, 10.58);
    EXPECT_GT(inkIn(first, title), 0);
    EXPECT_GT(inkIn(first, lastLine), 0);
    EXPECT_GT(inkIn(first, footer), 0);

    p.dialog.nextPage();
    QApplication::processEvents();
    const QImage second = p.page();
    EXPECT_GT(inkIn(second, title), 0);
    EXPECT_GT(inkIn(second, footer), 0);
    // One record: its line and nothing below it.
    EXPECT_GT(inkIn(second, band(31.16, 6.61)), 0);
    EXPECT_EQ(inkIn(second, band(31.16 + 6.61, 36 * 6.61)), 0);
    EXPECT_LT(inkIn(second, details), inkIn(first, details) / 10);
}

TEST(ReportPreview, AnEmptyTableShowsNoSheet)
{
    Preview p(0);
    const QImage image = p.page();
    const QPoint middle = image.rect().center();
    EXPECT_NE(image.pixelColor(middle), QColor(Qt::white));
    EXPECT_FALSE(p.dialog.printAction->isEnabled());
    EXPECT_FALSE(p.dialog.nextPageAction->isEnabled());
}

TEST(ReportPreview, OpensOnTenMillionRecords)
{
    Preview p(10'000'001);
    EXPECT_EQ(p.dialog.pageCount(), 270'271u);
    EXPECT_EQ(p.dialog.pageTotal->text(), "of 270271");
    p.dialog.lastPage();
    QApplication::processEvents();
    EXPECT_EQ(p.dialog.pageNumber->value(), 270'271);
    const QRect sheet = p.dialog.sheetRect();
    // Page 270,271 holds the last 11 records, 9,999,990 to 10,000,000.
    const double ppm = p.dialog.pixelsPerMillimetre();
    const QImage last = p.page();
    const auto line = [&](int n) {
        return QRect(sheet.left(), sheet.top() + static_cast<int>((31.16 + n * 6.61) * ppm), sheet.width(),
                     static_cast<int>(6.61 * ppm));
    };
    EXPECT_GT(inkIn(last, line(10)), 0);
    EXPECT_EQ(inkIn(last, line(11)), 0);
}

std::string pdfInfo(const QString &file)
{
    const std::string command = "pdfinfo '" + file.toStdString() + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE *)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    char buffer[512];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get()))
        out += buffer;
    return out;
}

TEST(ReportPreview, PrintsTheChosenPagesToThePrinter)
{
    QTemporaryDir dir;
    Preview p(1000);
    QPrinter &printer = p.dialog.printer();
    EXPECT_EQ(printer.copyCount(), 1);
    const QString file = dir.filePath("report.pdf");
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 4);
    QSignalSpy ended(&p.dialog, &ReportPreviewDialog::printEnded);
    p.dialog.printChosenPages();
    EXPECT_TRUE(p.dialog.printing());
    EXPECT_FALSE(p.dialog.printAction->isEnabled());
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_TRUE(ended.front().at(0).toBool()) << ended.front().at(1).toString().toStdString();
    EXPECT_FALSE(p.dialog.printing());
    EXPECT_TRUE(p.dialog.printAction->isEnabled());
    const std::string info = pdfInfo(file);
    EXPECT_NE(info.find("Pages:           3\n"), std::string::npos) << info;
    EXPECT_NE(info.find("595 x 842 pts (A4)"), std::string::npos) << info;

    // The page in view alone.
    printer.setPrintRange(QPrinter::CurrentPage);
    p.dialog.lastPage();
    p.dialog.printChosenPages();
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_NE(pdfInfo(file).find("Pages:           1\n"), std::string::npos);
}

TEST(ReportPreview, ClosingStopsAPrint)
{
    QTemporaryDir dir;
    Preview p(1'000'000); // 27,028 pages: far from done when the preview closes
    QPrinter &printer = p.dialog.printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("report.pdf"));
    p.dialog.printChosenPages();
    ASSERT_TRUE(p.dialog.printing());
    p.dialog.close();
    EXPECT_FALSE(p.dialog.printing());
    EXPECT_FALSE(p.dialog.isVisible());
}

// BtPrint in the main window opens the preview over the table as it is, and
// waits for it while the window goes on.
TEST(ReportPreview, BtPrintOpensThePreviewOfTheTable)
{
    QtReportPreview preview;
    test::OffscreenWindow w(nullptr, &preview);
    preview.setWindow(&w.window);
    w.window.show();
    ReadingTable records = tableOf(40);
    w.core().cds1.append(std::move(records));

    std::size_t pagesShown = 0;
    QString title;
    bool recordedWhileOpen = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<ReportPreviewDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        pagesShown = dialog->pageCount();
        // Recording goes on; the report keeps the records it was opened with.
        ReadingRecord r;
        r.No = 40;
        for (int i = 0; i < 40; ++i)
            w.core().cds1.append(r);
        recordedWhileOpen = dialog->pageCount() == 2;
        dialog->closeAction->trigger();
    });
    w.window.Panel5->BtPrint->click();
    EXPECT_EQ(title, "Print Preview");
    EXPECT_EQ(pagesShown, 2u);
    EXPECT_TRUE(recordedWhileOpen);
    EXPECT_EQ(w.core().cds1.size(), 80u);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
} // namespace tolmar
