#include "app/MainForm.h"
#include "cli/Commands.h"
#include "cli/LiveSession.h"
#include "cli/RecordJson.h"
#include "cli/RecordingOptions.h"
#include "cli/TableOutput.h"
#include "platform/NumberText.h"
#include "platform/posix/PosixLocale.h"

#include <optional>
#include <ostream>
#include <string>

namespace tolmar::cli {

const char *const recordHelp =
    "  record [--simulate] [--every-frame | --interval N] [--repeat] [--limit L]\n"
    "         [--count N] [--seconds S] [--out TABLE] [--decimal-separator C]\n"
    "      Records live readings without a window: connects as monitor does and\n"
    "      prints each record as it is appended to the reading table, until N\n"
    "      records, S seconds, Ctrl-C or SIGTERM. A missing or lost cable or a\n"
    "      silent meter is told on standard error with exit status 1.\n"
    "      --out TABLE also writes the records to TABLE as the save button does:\n"
    "      exported text, a line per record as it is recorded; or, for a name\n"
    "      ending in \".xml\", a packet written when recording ends, however it\n"
    "      ends. A TABLE that cannot be written stops the command at once.\n";

int recordCommand(const Args &args, std::ostream &out, std::ostream &err)
{
    LiveSession session;
    session.command = "record";
    long count = 0;
    RecordingOptions options;
    std::optional<std::string> outPath;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string error;
        if (args[i] == "--out") {
            if (i + 1 == args.size() || args[i + 1].empty())
                return usageError(err, "record: --out takes a file name");
            outPath = args[++i];
            continue;
        }
        if (!options.parse(args, i, error) && !session.parse(args, i, count, error))
            return usageError(err, "record: unknown or incomplete option " + args[i]);
        if (!error.empty())
            return usageError(err, "record: " + error);
    }

    PosixLocale locale;
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
                if (table && !tableFailed && !table->recordAppended(record)) {
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
