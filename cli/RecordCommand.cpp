#include "app/MainForm.h"
#include "cli/Commands.h"
#include "cli/LiveSession.h"
#include "cli/Options.h"
#include "cli/RecordJson.h"
#include "cli/RecordingOptions.h"
#include "cli/TableOutput.h"
#include "platform/NumberText.h"
#include "platform/SystemLocale.h"

#include <optional>
#include <ostream>
#include <string>

namespace tolmar::cli {

namespace {
const char *const recordDescription =
    "      Records live readings without a window: connects as monitor does and\n"
    "      prints each record as it is appended to the reading table, until N\n"
    "      records, S seconds, Ctrl-C or SIGTERM. A missing or lost cable or a\n"
    "      silent meter is told on standard error with exit status 1.\n"
    "      --out TABLE also writes the records to TABLE as the save button does:\n"
    "      exported text, or comma-separated values with each record's date and\n"
    "      time for a name ending in \".csv\", a line per record as it is\n"
    "      recorded; or, for a name ending in \".xml\", a packet written when\n"
    "      recording ends, however it ends. A TABLE that cannot be written stops\n"
    "      the command at once.\n";

// The command line of record: the live session's options and the recording's.
struct RecordLine {
    LiveSession session;
    long count = 0;
    RecordingOptions options;
    std::optional<std::string> outPath;
    OptionTable table{"record", "record: unknown or incomplete option "};

    RecordLine()
    {
        session.command = "record";
        table.describe(recordDescription);
        session.addSimulate(table);
        options.declare(table);
        session.addLimits(table, count);
        addOutOption(table, outPath);
        session.addDecimalSeparator(table);
    }
};
} // namespace

std::string recordHelp()
{
    return RecordLine().table.help();
}

int recordCommand(const Args &args, std::ostream &out, std::ostream &err)
{
    RecordLine line;
    if (const int status = line.table.parse(args, err))
        return status;
    const LiveSession &session = line.session;
    const long count = line.count;
    const RecordingOptions &options = line.options;
    const std::optional<std::string> &outPath = line.outPath;

    const std::unique_ptr<Locale> systemLocale = makeSystemLocale();
    Locale &locale = *systemLocale;
    std::optional<TableOutput> table;
    if (outPath) {
        table.emplace(*outPath, locale, "record");
        if (!table->open()) {
            err << table->error() << "\n";
            return 1;
        }
    }

    long records = 0;
    bool tableFailed = false;
    // The table as it stood at the N-th record: one more may come in while
    // the reader stops, and the packet holds what was printed.
    std::optional<ReadingTableSnapshot> counted;
    return session.run(
        err,
        [&](MainForm &form, const Clock &) {
            options.apply(form.recording);
            form.recording.onRecordAppended = [&](std::size_t index) {
                // Stopping the reader may still hand over a report that completes a frame.
                if (count > 0 && records >= count)
                    return;
                const ReadingRecord record = form.cds1.at(index);
                out << recordJson(record) << "\n";
                out.flush();
                ++records;
                if (count > 0 && records == count && table && table->isPacket())
                    counted = form.cds1.snapshot();
                if (table && !tableFailed && !table->recordAppended(record, form.cds1.dateOf(index))) {
                    err << table->error() << "\n";
                    tableFailed = true; // ends the session: the records would be lost
                }
            };
        },
        [&] { return (count > 0 && records >= count) || tableFailed; },
        [&](MainForm &form) {
            if (!table)
                return 0;
            if (!tableFailed && !table->finish(counted ? *counted : form.cds1.snapshot())) {
                err << table->error() << "\n";
                tableFailed = true;
            }
            return tableFailed ? 1 : 0;
        });
}

} // namespace tolmar::cli
