#include "app/MainForm.h"
#include "cli/Commands.h"
#include "cli/LiveSession.h"
#include "cli/RecordJson.h"
#include "cli/RecordingOptions.h"
#include "platform/NumberText.h"

#include <ostream>
#include <string>

namespace tolmar::cli {

const char *const recordHelp =
    "  record [--simulate] [--every-frame | --interval N] [--repeat] [--limit L]\n"
    "         [--count N] [--seconds S] [--decimal-separator C]\n"
    "      Records live readings without a window: connects as monitor does and\n"
    "      prints each record as it is appended to the reading table, until N\n"
    "      records, S seconds or Ctrl-C. A missing or lost cable or a silent\n"
    "      meter is told on standard error with exit status 1.\n";

int recordCommand(const Args &args, std::ostream &out, std::ostream &err)
{
    LiveSession session;
    session.command = "record";
    long count = 0;
    RecordingOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string error;
        if (!options.parse(args, i, error) && !session.parse(args, i, count, error))
            return usageError(err, "record: unknown or incomplete option " + args[i]);
        if (!error.empty())
            return usageError(err, "record: " + error);
    }

    long records = 0;
    return session.run(
        err,
        [&](MainForm &form, const Clock &) {
            options.apply(form.recording);
            form.recording.onRecordAppended = [&](std::size_t index) {
                // Stopping the reader may still hand over a report that completes a frame.
                if (count > 0 && records >= count)
                    return;
                out << recordJson(form.cds1.at(index)) << "\n";
                out.flush();
                ++records;
            };
        },
        [&] { return count > 0 && records >= count; });
}

} // namespace tolmar::cli
