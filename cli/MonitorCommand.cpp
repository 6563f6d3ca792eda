#include "cli/Commands.h"
#include "cli/HeadlessForm.h"
#include "cli/Json.h"
#include "cli/ReadingJson.h"
#include "platform/Clock.h"
#include "platform/NumberText.h"
#include "platform/Prompts.h"
#include "platform/linux/LinuxHidPlatform.h"
#include "platform/posix/EventLoop.h"
#include "platform/sim/SimulatedHidPlatform.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
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
std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int)
{
    interrupted = true;
}

// The link's message boxes, written to the error stream.
class StreamPrompts final : public Prompts {
public:
    explicit StreamPrompts(std::ostream &err) : m_err(err) {}
    PromptAnswer show(PromptIcon, const std::string &text, PromptButtons buttons) override
    {
        m_err << "tolmar-cli: monitor: " << text << "\n";
        ++shown;
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
    int shown = 0;

private:
    std::ostream &m_err;
};

std::string timeOfDay(const LocalDateTime &t)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
    return text;
}

// SIGINT and SIGTERM end the monitor cleanly while it runs.
class InterruptGuard {
public:
    InterruptGuard()
    {
        interrupted = false;
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~InterruptGuard()
    {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }

private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};
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

    EventLoop loop;
    SystemClock clock;
    StreamPrompts prompts(err);
    std::unique_ptr<HidPlatform> hid;
    if (simulate)
        hid = std::make_unique<SimulatedHidPlatform>(sim::Options{}, SimulatedHidPlatform::steadyClock());
    else
        hid = std::make_unique<LinuxHidPlatform>();
    HeadlessForm headless(separator, {loop, clock, prompts, *hid, loop});
    MainForm &form = headless.form();
    UsbLink &link = form.link();
    const auto selectedBridge = [&link]() -> TJvHidDevice * {
        return link.DevListIndex < 0 ? nullptr : link.DevListBox[static_cast<std::size_t>(link.DevListIndex)].device;
    };

    long frames = 0;
    int status = 0;
    form.setFrameObserver([&](const MeterReading &reading, const std::optional<DecodeError> &error, bool longFrame) {
        const std::string time = timeOfDay(clock.now());
        if (error)
            out << "{\"error\": " << json::quote(error->what) << ", \"Time\": \"" << time << "\"}\n";
        else
            out << readingJson(reading, longFrame, time) << "\n";
        out.flush();
        ++frames;
    });

    // Devices coming and going: a lost bridge ends the monitor; any other
    // change stops reading (in the window the user then clicks twice), so
    // the monitor connects again by itself.
    bool bridgeGone = false;
    loop.watch(link.HidCtl.NotificationFd(), [&] {
        link.HidCtl.HandleDeviceNotifications();
        TJvHidDevice *bridge = selectedBridge();
        if (!bridge) {
            bridgeGone = true;
        } else if (!bridge->HasReader() && prompts.shown == 0) {
            if (link.USBConDown)
                form.USBConClick(false);
            form.USBConClick(true);
        }
    });

    InterruptGuard guard;
    form.USBConClick(true);
    if (prompts.shown > 0)
        return 1; // no cable: the message is out
    if (!link.USBConDown) {
        err << "tolmar-cli: monitor: the bridge opens for queries only: no permission to read and write it "
               "(install the udev rule, see the README)\n";
        return 1;
    }

    const auto deadline = seconds > 0
        ? std::chrono::steady_clock::now() + std::chrono::microseconds(static_cast<long long>(seconds * 1e6))
        : std::chrono::steady_clock::time_point::max();
    loop.run(
        [&] {
            return interrupted || (count > 0 && frames >= count) || prompts.shown > 0 || bridgeGone
                || !link.USBConDown;
        },
        deadline);

    if (prompts.shown > 0) {
        status = 1; // the silent meter's message is out
    } else if (bridgeGone || !link.USBConDown) {
        err << "tolmar-cli: monitor: the bridge was removed\n";
        status = 1;
    }
    if (link.USBConDown)
        form.USBConClick(false); // disconnect as the button does
    return status;
}

} // namespace tolmar::cli
