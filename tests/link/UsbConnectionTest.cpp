// The main window's core connected to the simulated meter on virtual time:
// the road of a reading from the toggle to the LCD, and the link's failures.
#include "app/MainForm.h"
#include "link/ScriptedHidPlatform.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/NoHidPlatform.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/UiDispatcher.h"
#include "platform/sim/SimulatedHidPlatform.h"
#include "platform/sim/SimulatedRun.h"
#include "platform/virtual/VirtualTime.h"

#include <gtest/gtest.h>

#include <functional>

#include <algorithm>
#include <optional>

namespace tolmar {
namespace {

const char *const noCable = "USB interface cable is not securely connected, please check and re-try.";
const char *const silentMeter = "USB interface cable is securely connected, please check if the meter is ready.";

struct NullView : MainFormView {
    void stateChanged() override {}
    void terminateApplication() override {}
};

// The core over any HID platform, its reports handed over by a manual pump.
struct Core {
    explicit Core(HidPlatform &hid) : hid(hid)
    {
        form.emplace(MainFormPlatform{time, time, locale, prompts, shell, architecture, hid, ui}, view);
        form->FormCreate();
    }
    ~Core() { form.reset(); }

    UsbLink &link() { return form->link(); }
    long logLines(const std::string &text) const
    {
        long n = 0;
        for (std::size_t i = 0; i < form->HistoryListBox().size(); ++i)
            n += form->HistoryListBox().line(i) == text;
        return n;
    }
    bool logHas(const std::string &prefix) const
    {
        for (std::size_t i = 0; i < form->HistoryListBox().size(); ++i)
            if (form->HistoryListBox().line(i).rfind(prefix, 0) == 0)
                return true;
        return false;
    }

    HidPlatform &hid;
    VirtualTime time;
    FixedLocale locale;
    ScriptedPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture{true};
    ManualUiDispatcher ui;
    NullView view;
    std::optional<MainForm> form;
};

// The core over the simulated meter, run in lock-step.
struct Live {
    explicit Live(sim::Options options = {}) : sim(options), core(sim) { run.emplace(core.time, sim, core.ui); }
    ~Live() { run.reset(); }

    void advance(std::int64_t ms) { run->advance(ms); }
    MainForm &form() { return *core.form; }

    SimulatedHidPlatform sim;
    Core core;
    std::optional<SimulatedRun> run;
};

const std::string requestLine = "02 5A 00 00 00 00 00 00 ";
const std::string configurationLine = "80 25 00 00 03 00 00 00 00 ";

TEST(UsbConnection, ReadingsReachTheReadingAndTheLcdWithOneRequestPerFrame)
{
    Live live;
    EXPECT_EQ(live.core.link().DevListBox.size(), 1u);
    EXPECT_EQ(live.core.link().DevListIndex, 0) << "the bridge is selected before the window shows";
    long frames = 0;
    std::vector<std::string> values;
    live.form().setFrameObserver([&](const MeterReading &reading, const std::optional<DecodeError> &error, bool) {
        ASSERT_FALSE(error) << error->what;
        ++frames;
        values.push_back(reading.ValueText);
    });

    live.form().USBConClick(true);
    EXPECT_EQ(live.core.link().USBConCaption, "USB Disconnect");
    EXPECT_TRUE(live.core.prompts.shown.empty());
    EXPECT_EQ(live.core.logLines(configurationLine), 1);
    EXPECT_EQ(live.core.logLines(requestLine), 1);

    live.advance(5000);
    ASSERT_GE(frames, 10);
    // One request at connect, then one after each complete frame.
    EXPECT_EQ(live.core.logLines(requestLine), frames + 1);
    // What the meter meant is what the LCD shows.
    const auto sent = live.sim.sentFrames();
    ASSERT_FALSE(sent.empty());
    const MeterReading &reading = live.form().reading();
    EXPECT_EQ(reading.ValueText, values.back());
    const LcdState &lcd = live.form().state().lcd;
    EXPECT_EQ(lcd[LcdState::LcdD0].caption, reading.Digit0);
    EXPECT_EQ(lcd[LcdState::LcdDc].caption, reading.DigitC);
    EXPECT_EQ(live.form().judge.state().T1VALUE, reading.ValueText);
    EXPECT_TRUE(live.form().state().statusPanels[1].rfind("Receive Data length:", 0) == 0);
}

TEST(UsbConnection, DisconnectStopsTheReadings)
{
    Live live;
    long frames = 0;
    live.form().setFrameObserver([&](const MeterReading &, const std::optional<DecodeError> &, bool) { ++frames; });
    live.form().USBConClick(true);
    live.advance(2000);
    live.form().USBConClick(false);
    EXPECT_EQ(live.core.link().USBConCaption, "USB Connection");
    EXPECT_EQ(live.core.logLines(configurationLine), 2) << "every click configures the bridge";
    const long before = frames;
    live.advance(2000);
    EXPECT_EQ(frames, before);
    EXPECT_FALSE(live.core.link().SelectedDevice->HasReader());
}

TEST(UsbConnection, ASilentMeterIsAskedAgainThenDropped)
{
    Live live;
    live.form().USBConClick(true);
    live.advance(1000);
    live.sim.setMeterSilent(true);
    const long requests = live.core.logLines(requestLine);
    // About 600 reports without meter bytes (one a millisecond) and the next
    // 300 ms step of the link timer: the request goes out again.
    live.advance(1200);
    EXPECT_GE(live.core.logLines(requestLine), requests + 1);
    EXPECT_TRUE(live.core.prompts.shown.empty());
    EXPECT_TRUE(live.core.link().USBConDown);
    // At 3000 the link drops with its message, once.
    live.advance(2500);
    ASSERT_EQ(live.core.prompts.shown.size(), 1u);
    EXPECT_EQ(live.core.prompts.shown[0].text, silentMeter);
    EXPECT_FALSE(live.core.link().USBConDown);
    EXPECT_EQ(live.core.link().USBConCaption, "USB Connection");
    EXPECT_FALSE(live.core.link().SelectedDevice->HasReader());
    live.advance(5000);
    EXPECT_EQ(live.core.prompts.shown.size(), 1u);
}

TEST(UsbConnection, TheRecordingTimersStopWhenTheToggleGoesUpButNotOnARemoval)
{
    const struct {
        const char *how;
        std::function<void(Live &)> act;
        bool stopped;
    } cases[] = {
        {"a click", [](Live &live) { live.form().USBConClick(false); }, true},
        {"a silent meter", [](Live &live) { live.sim.setMeterSilent(true); live.advance(3500); }, true},
        {"a click with no cable",
         [](Live &live) {
             live.sim.unplug();
             live.core.link().HidCtl.HandleDeviceNotifications();
             live.form().Timer1.setEnabled(true);
             live.form().USBConClick(true);
         },
         true},
        // The original lets the toggle up and keeps recording the last reading.
        {"a removal", [](Live &live) { live.sim.unplug(); live.core.link().HidCtl.HandleDeviceNotifications(); },
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        Live live;
        live.form().USBConClick(true);
        live.advance(1000);
        live.form().Timer1.setEnabled(true);
        c.act(live);
        EXPECT_FALSE(live.core.link().USBConDown);
        EXPECT_EQ(live.form().Timer1.enabled(), !c.stopped);
    }
}

TEST(UsbConnection, TheLinkLampGoesDarkThreeTicksAfterTheLastFrame)
{
    Live live;
    live.form().USBConClick(true);
    live.advance(1000);
    live.sim.setMeterSilent(true);
    live.advance(400);
    EXPECT_FALSE(live.form().state().lcd.CONok);
    EXPECT_TRUE(live.form().state().lcd.CONokN);
}

TEST(UsbConnection, UnplugWhileConnectedLogsTheRemovalAndReleasesTheToggle)
{
    Live live;
    live.form().USBConClick(true);
    live.advance(500);
    live.sim.unplug();
    live.core.link().HidCtl.HandleDeviceNotifications();
    live.advance(100);
    EXPECT_TRUE(live.core.logHas("Removal of USB to Serial"));
    EXPECT_FALSE(live.core.link().USBConDown);
    EXPECT_EQ(live.core.link().USBConCaption, "USB Disconnect") << "the caption stays";
    EXPECT_TRUE(live.core.link().DevListBox.empty());

    // Plugged in again: arrival with the IDs, selected again; a click connects.
    live.sim.replug();
    live.core.link().HidCtl.HandleDeviceNotifications();
    EXPECT_TRUE(live.core.logHas("Arrival of Device VID=1A86 PID=E008"));
    EXPECT_EQ(live.core.link().DevListIndex, 0);
    long frames = 0;
    live.form().setFrameObserver([&](const MeterReading &, const std::optional<DecodeError> &, bool) { ++frames; });
    live.form().USBConClick(true);
    live.advance(2000);
    EXPECT_GT(frames, 0);
}

TEST(UsbConnection, ReadErrorsAreLogged)
{
    Live live;
    live.sim.failReadStarts(2);
    live.form().USBConClick(true);
    live.advance(1000);
    EXPECT_TRUE(live.core.logHas("READ ERROR: "));
    EXPECT_TRUE(live.core.link().USBConDown) << "a read error does not change the link";
}

TEST(UsbConnection, AQueryOnlyBridgeReleasesTheToggleWithoutAMessage)
{
    sim::Options options;
    options.readWriteAccess = false;
    Live live(options);
    live.form().USBConClick(true);
    EXPECT_FALSE(live.core.link().USBConDown);
    EXPECT_EQ(live.core.link().USBConCaption, "USB Connection");
    EXPECT_TRUE(live.core.prompts.shown.empty());
}

TEST(UsbConnection, NoBridgeGivesOneMessagePerClick)
{
    NoHidPlatform none;
    Core core(none);
    for (int click = 1; click <= 2; ++click) {
        core.form->USBConClick(true);
        EXPECT_EQ(core.prompts.shown.size(), static_cast<std::size_t>(click));
        EXPECT_EQ(core.prompts.shown.back().text, noCable);
        EXPECT_EQ(core.prompts.shown.back().icon, PromptIcon::Information);
        EXPECT_FALSE(core.link().USBConDown);
        EXPECT_EQ(core.link().USBConCaption, "USB Connection");
    }
    core.form->START1Click(); // Ctrl+A: the same
    EXPECT_EQ(core.prompts.shown.size(), 3u);
}

TEST(UsbConnection, TheBridgeIsTheLastUsbToSerialWithoutSerialNumber)
{
    test::ScriptedHidPlatform hid;
    auto a = test::fakeDevice("a");
    auto b = test::fakeDevice("b");
    auto c = test::fakeDevice("c");
    c.serial = u"0001";
    auto d = test::fakeDevice("d");
    d.product = u"";
    d.attributes.VendorID = 0x1A2B;
    d.attributes.ProductID = 0x003C;
    for (auto *device : {&a, &b, &c, &d})
        hid.plug(*device);
    Core core(hid);
    const auto &list = core.link().DevListBox;
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].text, "USB to Serial");
    EXPECT_EQ(list[2].text, "USB to Serial (Serial=0001)");
    EXPECT_EQ(list[3].text, "Device VID=1A2B PID=003C");
    EXPECT_EQ(core.link().DevListIndex, 1) << "the second of two bridges; the one with a serial number is passed over";
}

TEST(UsbConnection, ADeviceChangeWhileConnectedStallsUntilTwoClicks)
{
    test::ScriptedHidPlatform hid;
    hid.plug(test::fakeDevice("bridge"));
    Core core(hid);
    core.form->USBConClick(true);
    TJvHidDevice *bridge = core.link().SelectedDevice;
    ASSERT_TRUE(bridge && bridge->HasReader());

    auto mouse = test::fakeDevice("mouse");
    mouse.product = u"Mouse";
    hid.plug(mouse);
    core.link().HidCtl.HandleDeviceNotifications();
    EXPECT_TRUE(core.link().USBConDown);
    EXPECT_EQ(core.link().USBConCaption, "USB Disconnect");
    TJvHidDevice *fresh = core.link().DevListBox.at(static_cast<std::size_t>(core.link().DevListIndex)).device;
    ASSERT_TRUE(fresh);
    EXPECT_FALSE(fresh->HasReader()) << "stalled: reading stopped, toggle still down";

    core.form->USBConClick(false);
    EXPECT_FALSE(fresh->HasReader());
    core.form->USBConClick(true);
    EXPECT_TRUE(fresh->HasReader());
    // The configuration report went out on each of the three clicks, byte for byte.
    const auto features = hid.features();
    ASSERT_EQ(features.size(), 3u);
    EXPECT_EQ(features[0].bytes, (std::vector<std::uint8_t>{0x00, 0x80, 0x25, 0, 0, 0x03, 0, 0, 0, 0}));
    const auto writes = hid.writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].bytes, (std::vector<std::uint8_t>{0x00, 0x02, 0x5A, 0, 0, 0, 0, 0, 0}));
    core.form->USBConClick(false);
}

TEST(UsbConnection, AWindowClosedWhileConnectedStopsReadingFirst)
{
    test::ScriptedHidPlatform hid;
    hid.plug(test::fakeDevice("bridge"));
    {
        Core core(hid);
        core.form->USBConClick(true);
        ASSERT_TRUE(hid.waitForReadStarts(1));
        hid.pushReport("/sys/devices/fake/bridge", {0x00, 0x01, 0x5A, 0, 0, 0, 0, 0, 0});
    } // closed while connected, a report on its way
    EXPECT_EQ(hid.openHandles(), 0) << "no reader left behind";
}

TEST(UsbConnection, ABurstCutOffByADisconnectIsNotClosedByTheNextConnect)
{
    test::ScriptedHidPlatform hid;
    hid.plug(test::fakeDevice("bridge"));
    Core core(hid);
    long frames = 0;
    core.form->setFrameObserver([&](const MeterReading &, const std::optional<DecodeError> &, bool) { ++frames; });
    const std::string sample = "5A0003050559800101010006001000000B000400002030302E363620562000322E3031336B487A002E";
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < sample.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(sample.substr(i, 2), nullptr, 16)));
    const std::uint8_t idle[8] = {};
    for (std::size_t at = 0; at < bytes.size(); at += 7) {
        std::uint8_t report[8] = {static_cast<std::uint8_t>(std::min<std::size_t>(7, bytes.size() - at))};
        std::copy(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + report[0]), report + 1);
        core.form->HidCtlDeviceData(0, report, 8);
    }
    core.form->HidCtlDeviceData(0, idle, 8);
    ASSERT_EQ(frames, 1);

    const std::uint8_t partial[8] = {0x02, 0x5A, 0x00};
    core.form->HidCtlDeviceData(0, partial, 8); // a burst opens, then the link goes down
    core.form->USBConClick(true);
    core.form->HidCtlDeviceData(0, idle, 8);
    EXPECT_EQ(frames, 1) << "the last frame is not shown again as a new reading";
    core.form->USBConClick(false);
}

} // namespace
} // namespace tolmar
