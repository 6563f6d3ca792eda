#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "files/ByteStreams.h"
#include "files/Report.h"
#include "files/qt/ReportPainter.h"
#include "platform/SystemLocale.h"
#include "record/ReadingTable.h"

#include <QGuiApplication>
#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>

namespace tolmar::cli {

namespace {
const char *const reportDescription =
    "      Loads the table file IN as convert does and writes the printed\n"
    "      report of its records to OUT as a PDF: A4 pages with the title, the\n"
    "      column titles and the footer on each, as \"Print\" lays them out.\n"
    "      OUT takes its place only when complete. A table without records has\n"
    "      no pages: that, a file that does not load and an OUT that cannot be\n"
    "      written are told on standard error with exit status 1. Needs no\n"
    "      display.\n";

const char *const prefix = "tolmar-cli: report: ";

// The PDF writer's bytes into a file that takes its place when complete,
// through a large buffer: the writer hands over many small pieces.
class SinkDevice final : public QIODevice {
public:
    explicit SinkDevice(ByteSink &sink) : m_buffer(sink) { open(QIODevice::WriteOnly); }
    bool flushAll() { return m_buffer.flush() && !m_buffer.failed(); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (m_buffer.failed())
            return -1;
        m_buffer.append(std::string_view(data, static_cast<std::size_t>(size)));
        return size;
    }

private:
    OutputBuffer m_buffer;
};

// Qt's own notes (a runtime directory it would like, a platform plugin it
// chose) are not the command's business; its errors are.
void qtMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s%s\n", prefix, qPrintable(message));
}

// Fonts and painting need a Qt application; without a display the
// offscreen platform serves.
std::unique_ptr<QGuiApplication> guiApplication()
{
    if (QCoreApplication::instance())
        return nullptr;
    qInstallMessageHandler(qtMessages);
#ifndef Q_OS_WIN // Windows paints without a display server
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    static int argc = 1;
    static char name[] = "tolmar-cli";
    static char *argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace

std::string reportHelp()
{
    return inAndOutHelp("report", reportDescription);
}

int reportCommand(const Args &args, std::ostream &, std::ostream &err)
{
    std::string in, out;
    if (const int status = inAndOut(args, "report", in, out, err))
        return status;
    const std::unique_ptr<Locale> systemLocale = makeSystemLocale();
    Locale &locale = *systemLocale;
    ReadingTable table;
    if (!loadTableFile(in, locale, table, err, prefix))
        return 1;
    const ReportDocument document(table.snapshot(), locale);
    if (document.pageCount() == 0) {
        err << prefix << in << " holds no records: the report has no pages\n";
        return 1;
    }

    const std::unique_ptr<QGuiApplication> application = guiApplication();
    AtomicFile file(out);
    if (!file.ok()) {
        err << prefix << "Cannot create file \"" << out << "\". " << file.error() << "\n";
        return 1;
    }
    SinkDevice device(file);
    std::string error;
    bool printed = false;
    {
        QPdfWriter pdf(&device);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        pdf.setCreator("Tolmar");
        pdf.setTitle(report::titleText);
        const InterruptGuard interrupt;
        printed = printReport(document, pdf, {0, document.pageCount() - 1}, nullptr, error,
                              [] { return InterruptGuard::interrupted(); });
    }
    if (!printed) {
        err << prefix << error << "\n";
        return 1;
    }
    if (!device.flushAll() || !file.commit()) {
        err << prefix << "Cannot create file \"" << out << "\". " << file.error() << "\n";
        return 1;
    }
    return 0;
}

} // namespace tolmar::cli
