#include "files/qt/ReportPreviewDialog.h"

#include "platform/BackgroundWork.h"
#include "platform/qt/QtBackgroundWork.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cmath>

namespace tolmar {

namespace {

constexpr qreal sheetWidthMm = report::pageWidth / 100.0;
constexpr qreal sheetHeightMm = report::pageHeight / 100.0;
constexpr int sheetGap = 12;   // grey around the sheet, in screen pixels
constexpr int shadowOffset = 3;

int spinValue(std::size_t value)
{
    return static_cast<int>(std::min<std::size_t>(value, INT_MAX));
}

} // namespace

// The scroll area's widget: the grey desk with the sheet of the page in view.
class ReportPreviewDialog::PageView final : public QWidget {
public:
    explicit PageView(ReportPreviewDialog &dialog) : QWidget(nullptr), m_dialog(dialog)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        m_dialog.paintPage(painter);
    }

private:
    ReportPreviewDialog &m_dialog;
};

ReportPreviewDialog::ReportPreviewDialog(ReportDocument document, QWidget *parent)
    : QDialog(parent), m_document(std::move(document))
{
    setWindowTitle(windowTitleText);
    setObjectName("PrintPreview");
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    m_printer.setPageSize(QPageSize(QPageSize::A4));
    m_printer.setPageOrientation(QPageLayout::Portrait);
    m_printer.setCopyCount(1);
    m_printer.setDocName("Tolmar report");

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    layout->addWidget(toolBar);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName("pageArea");
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new PageView(*this);
    m_view->setObjectName("page");
    m_scroll->setWidget(m_view);
    m_scroll->setWidgetResizable(false);
    m_scroll->installEventFilter(this);
    layout->addWidget(m_scroll, 1);

    m_work = std::make_unique<QtBackgroundWork>(this);

    // A page of A4 at a comfortable height, most of the screen's, and the
    // whole toolbar in view.
    QSize size(std::max(820, toolBar->sizeHint().width() + 8), 900);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        size = QSize(std::min(size.width(), available.width() * 9 / 10),
                     std::min(size.height(), available.height() * 9 / 10));
    }
    resize(size);
    goToPage(0);
}

ReportPreviewDialog::~ReportPreviewDialog() = default;

QWidget *ReportPreviewDialog::pageView() const
{
    return m_view;
}

void ReportPreviewDialog::buildToolBar()
{
    toolBar = new QToolBar(this);
    toolBar->setObjectName("previewToolBar");
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const auto action = [this](const char *name, const QString &text, QStyle::StandardPixmap icon,
                               const QString &tip) {
        QAction *a = toolBar->addAction(style()->standardIcon(icon), text);
        a->setObjectName(name);
        a->setToolTip(tip);
        return a;
    };
    fitPageAction = action("fitPage", tr("Fit page"), QStyle::SP_FileDialogContentsView, tr("Zoom to fit the page"));
    actualSizeAction = action("actualSize", tr("100 %"), QStyle::SP_FileDialogDetailedView, tr("Zoom to 100 %"));
    fitWidthAction = action("fitWidth", tr("Fit width"), QStyle::SP_TitleBarMaxButton, tr("Zoom to the page width"));
    for (QAction *zoom : {fitPageAction, actualSizeAction, fitWidthAction})
        zoom->setCheckable(true);
    toolBar->addSeparator();
    firstPageAction = action("firstPage", QString(), QStyle::SP_MediaSkipBackward, tr("First page"));
    previousPageAction = action("previousPage", QString(), QStyle::SP_MediaSeekBackward, tr("Previous page"));
    pageNumber = new QSpinBox(toolBar);
    pageNumber->setObjectName("pageNumber");
    pageNumber->setToolTip(tr("Page"));
    pageNumber->setKeyboardTracking(false);
    pageNumber->setAlignment(Qt::AlignRight);
    toolBar->addWidget(pageNumber);
    pageTotal = new QLabel(toolBar);
    pageTotal->setObjectName("pageTotal");
    pageTotal->setContentsMargins(4, 0, 4, 0);
    toolBar->addWidget(pageTotal);
    nextPageAction = action("nextPage", QString(), QStyle::SP_MediaSeekForward, tr("Next page"));
    lastPageAction = action("lastPage", QString(), QStyle::SP_MediaSkipForward, tr("Last page"));
    toolBar->addSeparator();
    printerSetupAction = action("printerSetup", tr("Setup"), QStyle::SP_FileDialogListView, tr("Printer setup"));
    printAction = action("print", tr("Print"), QStyle::SP_DialogSaveButton, tr("Print the report"));
    printAction->setIcon(QIcon::fromTheme("document-print", printAction->icon()));
    printerSetupAction->setIcon(QIcon::fromTheme("document-properties", printerSetupAction->icon()));
    toolBar->addSeparator();
    closeAction = action("close", tr("Close"), QStyle::SP_DialogCloseButton, tr("Close the preview"));

    // The keys page whatever has the focus: the scroll area would take Page
    // Up and Page Down for itself.
    firstPageAction->setShortcut(QKeySequence(Qt::Key_Home));
    previousPageAction->setShortcut(QKeySequence(Qt::Key_PageUp));
    nextPageAction->setShortcut(QKeySequence(Qt::Key_PageDown));
    lastPageAction->setShortcut(QKeySequence(Qt::Key_End));
    for (QAction *paging : {firstPageAction, previousPageAction, nextPageAction, lastPageAction})
        paging->setShortcutContext(Qt::WindowShortcut);

    connect(fitPageAction, &QAction::triggered, this, [this] { setZoom(Zoom::FitPage); });
    connect(actualSizeAction, &QAction::triggered, this, [this] { setZoom(Zoom::ActualSize); });
    connect(fitWidthAction, &QAction::triggered, this, [this] { setZoom(Zoom::FitWidth); });
    connect(firstPageAction, &QAction::triggered, this, [this] { firstPage(); });
    connect(previousPageAction, &QAction::triggered, this, [this] { previousPage(); });
    connect(nextPageAction, &QAction::triggered, this, [this] { nextPage(); });
    connect(lastPageAction, &QAction::triggered, this, [this] { lastPage(); });
    connect(pageNumber, &QSpinBox::valueChanged, this, [this](int value) {
        if (value >= 1)
            goToPage(static_cast<std::size_t>(value - 1));
    });
    connect(printerSetupAction, &QAction::triggered, this, [this] { printerSetup(); });
    connect(printAction, &QAction::triggered, this, [this] { print(); });
    connect(closeAction, &QAction::triggered, this, [this] { close(); });
}

void ReportPreviewDialog::goToPage(std::size_t page)
{
    const std::size_t pages = pageCount();
    m_page = pages == 0 ? 0 : std::min(page, pages - 1);
    m_document.pageTexts(m_page, m_texts);
    refreshControls();
    // A new page is read from its top.
    m_scroll->verticalScrollBar()->setValue(0);
    m_view->update();
}

void ReportPreviewDialog::setZoom(Zoom zoom)
{
    m_zoom = zoom;
    layOutView();
    refreshControls();
}

void ReportPreviewDialog::layOutView()
{
    // The room the view has without scroll bars, and with the vertical one
    // that a page taller than the view needs.
    const QSize room = m_scroll->maximumViewportSize();
    const int scrollBar = m_scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll);
    const qreal gaps = 2.0 * sheetGap + shadowOffset;
    switch (m_zoom) {
    case Zoom::FitPage:
        m_pixelsPerMillimetre = std::min((room.width() - gaps) / sheetWidthMm, (room.height() - gaps) / sheetHeightMm);
        break;
    case Zoom::FitWidth:
        m_pixelsPerMillimetre = (room.width() - scrollBar - gaps) / sheetWidthMm;
        break;
    case Zoom::ActualSize:
        m_pixelsPerMillimetre = logicalDpiX() / 25.4;
        break;
    }
    m_pixelsPerMillimetre = std::max<qreal>(m_pixelsPerMillimetre, 0.2);
    const QSize sheet = sheetSize();
    const QSize desk(sheet.width() + 2 * sheetGap + shadowOffset, sheet.height() + 2 * sheetGap + shadowOffset);
    // The desk fills the view where the sheet is smaller; the sheet sits in its middle.
    QSize view = desk;
    if (desk.height() <= room.height() && desk.width() <= room.width())
        view = room;
    else if (desk.height() > room.height())
        view = desk.expandedTo(QSize(room.width() - scrollBar, 0));
    else
        view = desk.expandedTo(QSize(0, room.height() - scrollBar));
    m_view->resize(view);
    m_view->update();
}

QSize ReportPreviewDialog::sheetSize() const
{
    return QSize(static_cast<int>(std::lround(sheetWidthMm * m_pixelsPerMillimetre)),
                 static_cast<int>(std::lround(sheetHeightMm * m_pixelsPerMillimetre)));
}

QRect ReportPreviewDialog::sheetRect() const
{
    const QSize sheet = sheetSize();
    const int left = std::max(sheetGap, (m_view->width() - sheet.width()) / 2);
    const int top = std::max(sheetGap, (m_view->height() - sheet.height()) / 2);
    return QRect(QPoint(left, top), sheet);
}

void ReportPreviewDialog::paintPage(QPainter &painter)
{
    painter.fillRect(m_view->rect(), palette().color(QPalette::Dark));
    if (pageCount() == 0)
        return; // an empty table: no pages
    const QRect sheet = sheetRect();
    painter.fillRect(sheet.translated(shadowOffset, shadowOffset), QColor(0, 0, 0, 90));
    painter.fillRect(sheet, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    m_painter.paint(painter, QRectF(sheet), m_texts);
}

void ReportPreviewDialog::refreshControls()
{
    const std::size_t pages = pageCount();
    const bool any = pages > 0;
    {
        const QSignalBlocker block(pageNumber);
        pageNumber->setRange(any ? 1 : 0, spinValue(pages));
        pageNumber->setValue(any ? spinValue(m_page + 1) : 0);
    }
    pageNumber->setEnabled(pages > 1);
    pageTotal->setText(tr("of %1").arg(pages));
    firstPageAction->setEnabled(any && m_page > 0);
    previousPageAction->setEnabled(any && m_page > 0);
    nextPageAction->setEnabled(any && m_page + 1 < pages);
    lastPageAction->setEnabled(any && m_page + 1 < pages);
    printAction->setEnabled(any && !m_printing);
    printerSetupAction->setEnabled(!m_printing);
    fitPageAction->setChecked(m_zoom == Zoom::FitPage);
    actualSizeAction->setChecked(m_zoom == Zoom::ActualSize);
    fitWidthAction->setChecked(m_zoom == Zoom::FitWidth);
}

void ReportPreviewDialog::printerSetup()
{
    QPrintDialog dialog(&m_printer, this);
    dialog.setWindowTitle(tr("Printer setup"));
    dialog.setMinMax(1, spinValue(std::max<std::size_t>(pageCount(), 1)));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, true);
    // OK keeps the printer, the copies and the range for Print.
    dialog.exec();
}

void ReportPreviewDialog::print()
{
    if (m_printing || pageCount() == 0)
        return;
    QPrintDialog dialog(&m_printer, this);
    dialog.setMinMax(1, spinValue(pageCount()));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printChosenPages();
}

void ReportPreviewDialog::printChosenPages()
{
    if (m_printing || pageCount() == 0)
        return;
    ReportPrintRange range{0, pageCount() - 1};
    switch (m_printer.printRange()) {
    case QPrinter::PageRange:
        if (m_printer.fromPage() > 0) {
            range.first = static_cast<std::size_t>(m_printer.fromPage() - 1);
            range.last = static_cast<std::size_t>(std::max(m_printer.toPage(), m_printer.fromPage()) - 1);
        }
        break;
    case QPrinter::CurrentPage:
        range.first = range.last = m_page;
        break;
    default:
        break;
    }
    // A printer that makes its copies itself gets each page once.
    range.copies = m_printer.supportsMultipleCopies() ? 1 : std::max(m_printer.copyCount(), 1);
    range.collate = m_printer.collateCopies();
    // The sheet is placed from the paper's corner; the report keeps its own margins.
    m_printer.setFullPage(true);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
    m_printer.setPageOrientation(QPageLayout::Portrait);

    struct Job {
        Job(ReportDocument d, ReportPrintRange r) : document(std::move(d)), range(r) {}
        ReportDocument document;
        ReportPrintRange range;
        std::shared_ptr<WorkProgress> progress = std::make_shared<WorkProgress>();
        bool ok = false;
        std::string error;
    };
    auto job = std::make_shared<Job>(m_document, range);
    m_printing = true;
    refreshControls();
    QPrinter *printer = &m_printer;
    m_work->start(
        "Printing", job->progress,
        [job, printer] { job->ok = printReport(job->document, *printer, job->range, job->progress.get(), job->error); },
        [this, job] {
            m_printing = false;
            refreshControls();
            const bool cancelled = job->progress->cancelled();
            if (!job->ok && !cancelled)
                QMessageBox::warning(this, windowTitleText, QString::fromStdString(job->error));
            emit printEnded(job->ok, QString::fromStdString(job->error));
        });
}

void ReportPreviewDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    layOutView();
}

void ReportPreviewDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    layOutView();
}

bool ReportPreviewDialog::eventFilter(QObject *watched, QEvent *event)
{
    // The scroll area claims Home and End to scroll to its ends; here they
    // go to the first and the last page.
    if (watched == m_scroll && event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QAction *paging : {firstPageAction, previousPageAction, nextPageAction, lastPageAction})
            if (paging->shortcut() == pressed) {
                event->ignore();
                return true;
            }
    }
    return QDialog::eventFilter(watched, event);
}

void ReportPreviewDialog::closeEvent(QCloseEvent *event)
{
    // A print still running stops at its next page; the pages sent stay sent.
    m_work->shutDown();
    m_printing = false;
    QDialog::closeEvent(event);
}

void ReportPreviewDialog::reject()
{
    m_work->shutDown();
    m_printing = false;
    QDialog::reject();
}

void QtReportPreview::show(const ReportDocument &document)
{
    ReportPreviewDialog dialog(document, m_window);
    dialog.exec();
}

} // namespace tolmar
