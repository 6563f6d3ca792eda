#include "cli/RecordingOptions.h"

#include "cli/Options.h"
#include "record/Recording.h"

#include <algorithm>

namespace tolmar::cli {

const char *const recordingOptionsHelp =
    "      Recording starts as the window's does: \"Sampling Interval\" ticked with\n"
    "      1 second, \"Repeat\" unticked, limit 10000. --every-frame records every\n"
    "      decoded frame, --interval N samples every N seconds (digits only; an\n"
    "      empty N records nothing), --repeat skips a reading equal to the last\n"
    "      one recorded, --limit L picks the Record menu's 1000, 5000, 10000,\n"
    "      50000, 100000 or limitless. Each appended record prints as one JSON\n"
    "      line with the keys No, Time, DC/AC, Value, Unit, Auto and Nval.\n";

void RecordingOptions::declare(OptionTable &table)
{
    const std::string command = table.command() + ": ";
    table.flag("--every-frame", [this] { everyFrame = true; });
    const std::string intervalError = command + "--interval takes whole seconds (digits only)";
    table.value({.name = "--interval",
                 .valueName = "N",
                 .take = [this, intervalError](const std::string &text) {
                     // What the interval edit lets the user type: digits, or nothing.
                     if (text.find_first_not_of("0123456789") != std::string::npos)
                         throw UsageError{intervalError};
                     interval = text;
                 },
                 .missing = intervalError});
    table.exclusive("--every-frame", "--interval");
    table.flag("--repeat", [this] { repeat = true; });
    const std::string limitError = command + "--limit takes 1000, 5000, 10000, 50000, 100000 or limitless";
    table.value({.name = "--limit",
                 .valueName = "L",
                 .take = [this, limitError](const std::string &text) {
                     const auto &texts = Recording::recordLimitTexts;
                     const auto item = std::find(texts.begin(), texts.end(), text);
                     if (item == texts.end())
                         throw UsageError{limitError};
                     limitItem = static_cast<std::size_t>(item - texts.begin());
                 },
                 .missing = limitError});
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
