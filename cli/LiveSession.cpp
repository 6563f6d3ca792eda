#include "cli/LiveSession.h"

#include "cli/HeadlessForm.h"
#include "cli/Interrupt.h"
#include "cli/Options.h"
#include "cli/StreamPrompts.h"
#include "platform/Clock.h"
#include "platform/NumberText.h"
#include "platform/SystemHid.h"
#include "platform/Timers.h"
#include "platform/EventLoop.h"
#include "platform/sim/SimulatedHidPlatform.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace tolmar::cli {

void LiveSession::addSimulate(OptionTable &table)
{
    addSimulateOption(table, simulate, cables);
    table.value({.name = "--device",
                 .valueName = "ID",
                 .take = [this](const std::string &text) { device = text; },
                 .missing = table.command() + ": --device takes a cable's port or index (tolmar-cli devices)",
                 .notEmpty = true,
                 .help = "the cable to use: its port or its index in devices"});
}

void LiveSession::addLimits(OptionTable &table, long &count)
{
    const std::string command = table.command();
    table.value({.name = "--count", .valueName = "N", .take = [command, &count](const std::string &text) {
                     const auto n = parseInteger(text);
                     if (!n || *n <= 0)
                         throw UsageError{command + ": --count takes a whole number above 0"};
                     count = *n;
                 }});
    table.value({.name = "--seconds", .valueName = "S", .take = [this, command](const std::string &text) {
                     const auto s = parseFloat(text, ".");
                     if (!s || *s <= 0 || *s > 1e9)
                         throw UsageError{command + ": --seconds takes a number above 0"};
                     seconds = *s;
                 }});
}

void LiveSession::addDecimalSeparator(OptionTable &table)
{
    cli::addDecimalSeparator(table, decimalSeparator);
}

int LiveSession::run(std::ostream &err, const std::function<void(MainForm &, const Clock &)> &setUp,
                     const std::function<bool()> &done, const std::function<int(MainForm &)> &finish) const
{
    EventLoop loop;
    SystemClock clock;
    StreamPrompts prompts(err, command);
    std::unique_ptr<HidPlatform> hid;
    if (simulate)
        hid = std::make_unique<SimulatedHidPlatform>(SimulatedHidPlatform::sharedCables(cables), SimulatedHidPlatform::steadyClock());
    else
        hid = makeSystemHidPlatform();
    HeadlessForm headless(decimalSeparator, {loop, clock, prompts, *hid, loop});
    MainForm &form = headless.form();
    UsbLink &link = form.link();
    const auto selectedBridge = [&link]() -> TJvHidDevice * {
        return link.DevListIndex < 0 ? nullptr : link.DevListBox[static_cast<std::size_t>(link.DevListIndex)].device;
    };
    if (!device.empty())
        link.chooseDevice(device);
    setUp(form, clock);

    // Devices coming and going: a lost bridge ends the session; any other
    // change stops reading (in the window the user then clicks twice), so
    // the session connects again by itself.
    bool bridgeGone = false;
    std::string connectedInstance; // the cable this session reads: another one never stands in for it
    const auto selectedInstance = [&link] {
        return link.DevListIndex < 0 ? std::string() : link.DevListBox[static_cast<std::size_t>(link.DevListIndex)].instance;
    };
    const auto devicesChanged = [&] {
        TJvHidDevice *bridge = selectedBridge();
        if (!bridge || selectedInstance() != connectedInstance) {
            bridgeGone = true;
        } else if (!bridge->HasReader() && prompts.shown == 0) {
            if (link.USBConDown)
                form.USBConClick(false);
            form.USBConClick(true);
        }
    };
    // A platform without a descriptor to watch (Windows) is asked every
    // second instead; it answers from what it saw since the last question.
    Timer devicePoll(loop, 1000, false);
    if (const int fd = link.HidCtl.NotificationFd(); fd >= 0) {
        loop.watch(fd, [&] {
            link.HidCtl.HandleDeviceNotifications();
            devicesChanged();
        });
    } else {
        devicePoll.setOnTimer([&] {
            if (link.HidCtl.HandleDeviceNotifications())
                devicesChanged();
        });
        devicePoll.setEnabled(true);
    }

    InterruptGuard guard;
    form.USBConClick(true);
    if (prompts.shown > 0)
        return 1; // no cable: the message is out
    connectedInstance = selectedInstance();
    if (!link.USBConDown) {
        err << "tolmar-cli: " << command
            << ": the bridge opens for queries only: no permission to read and write it "
               "(install the udev rule, see the README)\n";
        return 1;
    }

    const auto deadline = seconds > 0
        ? std::chrono::steady_clock::now() + std::chrono::microseconds(static_cast<long long>(seconds * 1e6))
        : std::chrono::steady_clock::time_point::max();
    loop.run(
        [&] {
            return InterruptGuard::interrupted() || done() || prompts.shown > 0 || bridgeGone || !link.USBConDown;
        },
        deadline);

    int status = 0;
    if (prompts.shown > 0) {
        status = 1; // the silent meter's message is out
    } else if (bridgeGone || !link.USBConDown) {
        err << "tolmar-cli: " << command << ": the bridge was removed\n";
        status = 1;
    }
    if (link.USBConDown)
        form.USBConClick(false); // disconnect as the button does
    // Still under the guard: a second Ctrl-C does not cut a file short.
    if (finish)
        status = std::max(status, finish(form));
    return status;
}

} // namespace tolmar::cli
