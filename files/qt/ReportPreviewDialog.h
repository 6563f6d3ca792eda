#pragma once

#include "files/Report.h"
#include "files/qt/ReportPainter.h"

#include <QDialog>
#include <QPrinter>

#include <memory>
#include <vector>

class QAction;
class QLabel;
class QScrollArea;
class QSpinBox;
class QToolBar;

namespace tolmar {

class QtBackgroundWork;

// The print preview "Print Preview" of the report: one page at a time at the
// chosen zoom, the toolbar to zoom (fit page, 100 %, fit width), to page
// (first, previous, the page number, next, last), to set the printer up, to
// print and to close. Only the page in view is laid out and painted, so it
// opens at once for a table of any size. Printing runs page by page beside
// the window, with a progress bar and Cancel.
class ReportPreviewDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr const char *windowTitleText = "Print Preview";
    enum class Zoom { FitPage, ActualSize, FitWidth };

    explicit ReportPreviewDialog(ReportDocument document, QWidget *parent = nullptr);
    ~ReportPreviewDialog() override;

    std::size_t pageCount() const { return m_document.pageCount(); }
    // The page in view, 0-based (0 also when there is none).
    std::size_t currentPage() const { return m_page; }
    void goToPage(std::size_t page);
    void firstPage() { goToPage(0); }
    void previousPage() { goToPage(m_page > 0 ? m_page - 1 : 0); }
    void nextPage() { goToPage(m_page + 1); }
    void lastPage() { goToPage(pageCount() > 0 ? pageCount() - 1 : 0); }

    Zoom zoom() const { return m_zoom; }
    void setZoom(Zoom zoom);
    // Screen pixels per millimetre of paper at the current zoom.
    qreal pixelsPerMillimetre() const { return m_pixelsPerMillimetre; }
    // The page in view as painted on screen, in the scroll area's widget.
    QRect sheetRect() const;
    QWidget *pageView() const;

    // The printer the pages go to; the printer setup and print dialogs set it up.
    QPrinter &printer() { return m_printer; }
    // Opens the printer setup (the desktop's print dialog, kept for printing).
    void printerSetup();
    // Opens the print dialog and prints the chosen pages.
    void print();
    // Prints the printer's chosen pages (its page range, or all), as after the dialog.
    void printChosenPages();
    // True while pages are being printed.
    bool printing() const { return m_printing; }

    QToolBar *toolBar = nullptr;
    QAction *fitPageAction = nullptr;
    QAction *actualSizeAction = nullptr;
    QAction *fitWidthAction = nullptr;
    QAction *firstPageAction = nullptr;
    QAction *previousPageAction = nullptr;
    QAction *nextPageAction = nullptr;
    QAction *lastPageAction = nullptr;
    QAction *printerSetupAction = nullptr;
    QAction *printAction = nullptr;
    QAction *closeAction = nullptr;
    QSpinBox *pageNumber = nullptr; // 1-based, as the user counts
    QLabel *pageTotal = nullptr;    // "of N"

signals:
    // The pages of a print went to the printer (ok), or it failed or was
    // cancelled (error says which).
    void printEnded(bool ok, const QString &error);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void reject() override;

private:
    class PageView;
    void buildToolBar();
    void layOutView();
    QSize sheetSize() const;
    void refreshControls();
    void paintPage(QPainter &painter);

    ReportDocument m_document;
    ReportPainter m_painter;
    std::vector<ReportText> m_texts; // the page in view
    std::size_t m_page = 0;
    Zoom m_zoom = Zoom::FitPage;
    qreal m_pixelsPerMillimetre = 1;
    QScrollArea *m_scroll = nullptr;
    PageView *m_view = nullptr;
    QPrinter m_printer{QPrinter::HighResolution};
    bool m_printing = false;
    // After the printer: closing the preview stops a print before the
    // printer goes.
    std::unique_ptr<QtBackgroundWork> m_work;
};

// The preview as the program shows it: modal, over the main window.
class QtReportPreview final : public ReportPreview {
public:
    explicit QtReportPreview(QWidget *window = nullptr) : m_window(window) {}
    void setWindow(QWidget *window) { m_window = window; }
    void show(const ReportDocument &document) override;

private:
    QWidget *m_window;
};

} // namespace tolmar
