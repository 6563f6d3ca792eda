#include "cli/Commands.h"
#include "app/MainForm.h"
#include "cli/Json.h"
#include "cli/LiveSession.h"
#include "cli/Options.h"
#include "cli/ReadingJson.h"
#include "platform/Clock.h"
#include "platform/NumberText.h"

#include <cstdio>
#include <ostream>

namespace tolmar::cli {

namespace {
const char *const monitorDescription =
    "      The live view without a window: connects to the \"USB to Serial\"\n"
    "      bridge as the program's \"USB Connection\" button does, runs the same\n"
    "      link timer, frame assembly and decode, and prints one JSON line per\n"
    "      decoded frame (the keys of decode plus \"Time\", the local time of day\n"
    "      with milliseconds) until N frames, S seconds or Ctrl-C, then\n"
    "      disconnects. --simulate uses the built-in simulated meter. Link\n"
    "      messages (no cable, a silent meter, the cable pulled) go to standard\n"
    "      error with exit status 1.\n";

// The command line of monitor: the live session's options.
struct MonitorLine {
    LiveSession session;
    long count = 0;
    OptionTable table{"monitor", "monitor: unknown or incomplete option "};

    MonitorLine()
    {
        session.command = "monitor";
        table.describe(monitorDescription);
        session.addSimulate(table);
        session.addLimits(table, count);
        session.addDecimalSeparator(table);
    }
};

std::string timeOfDay(const LocalDateTime &t)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
    return text;
}
} // namespace

std::string monitorHelp()
{
    return MonitorLine().table.help();
}

int monitorCommand(const Args &args, std::ostream &out, std::ostream &err)
{
    MonitorLine line;
    if (const int status = line.table.parse(args, err))
        return status;
    const long count = line.count;

    long frames = 0;
    return line.session.run(
        err,
        [&](MainForm &form, const Clock &clock) {
            form.setFrameObserver([&](const MeterReading &reading, const std::optional<DecodeError> &error,
                                      bool longFrame) {
                const std::string time = timeOfDay(clock.now());
                if (error)
                    out << "{\"error\": " << json::quote(error->what) << ", \"Time\": \"" << time << "\"}\n";
                else
                    out << readingJson(reading, longFrame, time) << "\n";
                out.flush();
                ++frames;
            });
        },
        [&] { return count > 0 && frames >= count; });
}

} // namespace tolmar::cli
