#include "cli/RecordingOptions.h"

#include "record/Recording.h"

namespace tolmar::cli {

const char *const recordingOptionsHelp =
    "      Recording starts as the window's does: \"Sampling Interval\" ticked with\n"
    "      1 second, \"Repeat\" unticked, limit 10000. --every-frame records every\n"
    "      decoded frame, --interval N samples every N seconds (digits only; an\n"
    "      empty N records nothing), --repeat skips a reading equal to the last\n"
    "      one recorded, --limit L picks the Record menu's 1000, 5000, 10000,\n"
    "      50000, 100000 or limitless. Each appended record prints as one JSON\n"
    "      line with the keys No, Time, DC/AC, Value, Unit, Auto and Nval.\n";

bool RecordingOptions::parse(const Args &args, std::size_t &i, std::string &error)
{
    const std::string &arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--every-frame") {
        everyFrame = true;
    } else if (arg == "--repeat") {
        repeat = true;
    } else if (arg == "--interval") {
        // What the interval edit lets the user type: digits, or nothing.
        if (!hasValue || args[i + 1].find_first_not_of("0123456789") != std::string::npos) {
            error = "--interval takes whole seconds (digits only)";
            return true;
        }
        interval = args[++i];
    } else if (arg == "--limit") {
        std::optional<std::size_t> item;
        for (std::size_t k = 0; hasValue && k < Recording::recordLimitTexts.size(); ++k)
            if (args[i + 1] == Recording::recordLimitTexts[k])
                item = k;
        limitItem = item;
        if (!item) {
            error = "--limit takes 1000, 5000, 10000, 50000, 100000 or limitless";
            return true;
        }
        ++i;
    } else {
        return false;
    }
    if (everyFrame && interval)
        error = "--every-frame and --interval exclude each other";
    return true;
}

void RecordingOptions::apply(Recording &recording) const
{
    if (everyFrame)
        recording.RecordSIClick(false);
    // The edit's change handler runs only when its text changes.
    if (interval && *interval != recording.state().RecordSITime)
        recording.RecordSITimeChange(*interval);
    if (repeat)
        recording.RepeatSetClick(true);
    if (limitItem)
        recording.recordLimitClick(*limitItem);
}

} // namespace tolmar::cli
