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
    bool simulate = false;
    long count = 0;
    double seconds = 0;
    std::optional<std::string> separator;
    RecordingOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        std::string error;
        if (options.parse(args, i, error)) {
            if (!error.empty())
                return usageError(err, "record: " + error);
        } else if (arg == "--simulate") {
            simulate = true;
        } else if (arg == "--count" && hasValue) {
            const auto n = parseInteger(args[++i]);
            if (!n || *n <= 0)
                return usageError(err, "record: --count takes a whole number above 0");
            count = *n;
        } else if (arg == "--seconds" && hasValue) {
            const auto s = parseFloat(args[++i], ".");
            if (!s || *s <= 0 || *s > 1e9)
                return usageError(err, "record: --seconds takes a number above 0");
            seconds = *s;
        } else if (arg == "--decimal-separator" && hasValue && !args[i + 1].empty()) {
            separator = args[++i];
        } else {
            return usageError(err, "record: unknown or incomplete option " + arg);
        }
    }

    LiveSession session{"record", simulate, seconds, separator};
    long records = 0;
    return session.run(
        err,
        [&](MainForm &form, const Clock &) {
            options.apply(form.recording);
            form.recording.onRecordAppended = [&](std::size_t index) {
                out << recordJson(form.cds1.at(index)) << "\n";
                out.flush();
                ++records;
            };
        },
        [&] { return count > 0 && records >= count; });
}

} // namespace tolmar::cli
