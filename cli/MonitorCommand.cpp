#include "cli/Commands.h"
#include "app/MainForm.h"
#include "cli/Json.h"
#include "cli/LiveSession.h"
#include "cli/ReadingJson.h"
#include "platform/Clock.h"
#include "platform/NumberText.h"

#include <cstdio>
#include <ostream>

namespace tolmar::cli {

const char *const monitorHelp =
    "  monitor [--simulate] [--count N] [--seconds S] [--decimal-separator C]\n"
    "      The live view without a window: connects to the \"USB to Serial\"\n"
    "      bridge as the program's \"USB Connection\" button does, runs the same\n"
    "      link timer, frame assembly and decode, and prints one JSON line per\n"
    "      decoded frame (the keys of decode plus \"Time\", the local time of day\n"
    "      with milliseconds) until N frames, S seconds or Ctrl-C, then\n"
    "      disconnects. --simulate uses the built-in simulated meter. Link\n"
    "      messages (no cable, a silent meter, the cable pulled) go to standard\n"
    "      error with exit status 1.\n";

namespace {
std::string timeOfDay(const LocalDateTime &t)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
    return text;
}
} // namespace

int monitorCommand(const Args &args, std::ostream &out, std::ostream &err)
{
    bool simulate = false;
    long count = 0;
    double seconds = 0;
    std::optional<std::string> separator;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--simulate") {
            simulate = true;
        } else if (arg == "--count" && hasValue) {
            const auto n = parseInteger(args[++i]);
            if (!n || *n <= 0)
                return usageError(err, "monitor: --count takes a whole number above 0");
            count = *n;
        } else if (arg == "--seconds" && hasValue) {
            const auto s = parseFloat(args[++i], ".");
            if (!s || *s <= 0 || *s > 1e9)
                return usageError(err, "monitor: --seconds takes a number above 0");
            seconds = *s;
        } else if (arg == "--decimal-separator" && hasValue && !args[i + 1].empty()) {
            separator = args[++i];
        } else {
            return usageError(err, "monitor: unknown or incomplete option " + arg);
        }
    }

    LiveSession session{"monitor", simulate, seconds, separator};
    long frames = 0;
    return session.run(
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
