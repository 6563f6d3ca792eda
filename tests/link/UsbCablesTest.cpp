// Several cables: each window or command holds its own, the last free one is
// taken, --device names one by its port or index, a cable held by a process
// that was killed is free again, and a replugged cable keeps its port.
#include "app/MainForm.h"
#include "cli/CliRun.h"
#include "link/ScriptedHidPlatform.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/UiDispatcher.h"
#include "platform/linux/LinuxHidPlatform.h"
#include "platform/sim/SimulatedHidPlatform.h"
#include "platform/sim/SimulatedRun.h"
#include "platform/virtual/VirtualTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace tolmar {
namespace {

const std::string inUseLine = "is in use by another Tolmar.";

struct NullView : MainFormView {
    void stateChanged() override {}
    void terminateApplication() override {}
};

sim::Options cables(int count, const std::string &lockFolder)
{
    sim::Options options;
    options.cables = count;
    options.lockFolder = lockFolder;
    return options;
}

// One Tolmar: the window's core on its own simulated cables, whose lock files
// it shares with the other sessions of a test, as two processes do.
struct Session {
    Session(const sim::Options &options, const std::string &device = {}) : sim(options)
    {
        MainFormPlatform platform{time, time, locale, prompts, shell, architecture, sim, ui};
        platform.device = device;
        form.emplace(platform, view);
        form->FormCreate();
        run.emplace(time, sim, ui);
    }
    ~Session()
    {
        run.reset();
        form.reset();
    }

    UsbLink &link() { return form->link(); }
    std::string port() { return link().cableName(link().DevListIndex); }
    void connect() { form->USBConClick(true); }
    std::string lastMessage() const { return prompts.shown.empty() ? std::string() : prompts.shown.back().text; }

    VirtualTime time;
    FixedLocale locale;
    ScriptedPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture{true};
    ManualUiDispatcher ui;
    NullView view;
    SimulatedHidPlatform sim;
    std::optional<MainForm> form;
    std::optional<SimulatedRun> run;
};

// The real tolmar-cli recording from the simulated cables in a process of its
// own, with its runtime folder (and so its lock files) in `runtime`.
struct CliChild {
    CliChild(const std::string &runtime, std::vector<std::string> args)
    {
        args.insert(args.begin(), TOLMAR_CLI_BINARY);
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const std::string environment = "XDG_RUNTIME_DIR=" + runtime;
        std::vector<char *> envp;
        for (char **e = environ; *e; ++e)
            if (std::string(*e).rfind("XDG_RUNTIME_DIR=", 0) != 0)
                envp.push_back(*e);
        envp.push_back(const_cast<char *>(environment.c_str()));
        envp.push_back(nullptr);
        if (::posix_spawn(&pid, TOLMAR_CLI_BINARY, nullptr, nullptr, argv.data(), envp.data()) != 0)
            pid = 0;
    }
    ~CliChild() { end(SIGKILL); }
    // Waits until the child holds `cable` of `sim`, up to 20 s.
    bool holds(SimulatedHidPlatform &sim, std::size_t cable) const
    {
        const HidInterfaceInfo device = sim.listInterfaces().at(cable);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!sim.heldElsewhere(device) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return sim.heldElsewhere(device);
    }
    int end(int signal)
    {
        int status = 0;
        if (pid > 0) {
            ::kill(pid, signal);
            ::waitpid(pid, &status, 0);
        }
        pid = 0;
        return status;
    }
    pid_t pid = 0;
};

TEST(UsbConnectionCables, TwoSessionsTakeOneCableEachAndNeverTouchTheOthers)
{
    struct Case {
        int cables;
        std::string childDevice, device;
        std::size_t childCable;
        std::string port;    // empty: this session is refused
        std::string refusal; // in its message
    };
    const Case cases[] = {
        {2, "", "", 1, "sim-1", ""},
        {2, "sim-1", "", 0, "sim-2", ""},
        {2, "0", "1", 0, "sim-2", ""},
        {3, "sim-2", "", 1, "sim-3", ""},
        {3, "", "", 2, "sim-2", ""},
        {2, "sim-2", "sim-2", 1, "", "The cable at sim-2 " + inUseLine},
        {2, "", "sim-7", 1, "", "No meter cable at \"sim-7\" (tolmar-cli devices lists the cables)."},
        {2, "", "5", 1, "", "No meter cable at \"5\" (tolmar-cli devices lists the cables)."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.childDevice + " / " + c.device);
        test::ScratchDir runtime;
        std::vector<std::string> args = {"record", "--simulate=" + std::to_string(c.cables), "--seconds", "60"};
        if (!c.childDevice.empty())
            args.insert(args.end(), {"--device", c.childDevice});
        CliChild child(runtime.path(), args);
        ASSERT_GT(child.pid, 0);
        Session session(cables(c.cables, runtime.path() + "/tolmar"), c.device);
        ASSERT_TRUE(child.holds(session.sim, c.childCable));
        session.connect();
        session.run->advance(600);

        // This session never configured or asked the child's cable.
        EXPECT_FALSE(session.sim.configured(c.childCable));
        EXPECT_TRUE(session.sim.sentFrames(c.childCable).empty());
        if (c.port.empty()) {
            EXPECT_FALSE(session.link().USBConDown);
            EXPECT_FALSE(session.link().holdsCable());
            EXPECT_EQ(session.lastMessage(), std::string(UsbLink::noCableMessage) + "\n\n" + c.refusal);
        } else {
            EXPECT_TRUE(session.link().USBConDown);
            EXPECT_EQ(session.port(), c.port);
            EXPECT_TRUE(session.prompts.shown.empty());
            EXPECT_FALSE(session.sim.sentFrames(static_cast<std::size_t>(session.link().DevListIndex)).empty());
            session.form->USBConClick(false);
        }
        // The child ends as at Ctrl-C or SIGTERM: its cable is free for the taking.
        const int status = child.end(SIGTERM);
        EXPECT_TRUE(WIFEXITED(status)) << status;
        if (c.refusal.find(inUseLine) != std::string::npos) {
            session.connect();
            EXPECT_TRUE(session.link().USBConDown);
            EXPECT_EQ(session.port(), c.device);
            session.form->USBConClick(false);
        }
    }
}

TEST(UsbConnectionCables, ASessionTakesTheOnlyFreeCable)
{
    // Another Tolmar holds one cable before this session lists the cables,
    // or only between its list and its connect.
    struct Case {
        int cables;
        std::size_t held;
        bool beforeTheList;
        std::string listed, port; // port empty: refused, the cable in use
    };
    const Case cases[] = {
        {2, 1, true, "sim-1", "sim-1"},
        {2, 1, false, "sim-2", "sim-1"},
        {3, 2, false, "sim-3", "sim-2"},
        {2, 0, true, "sim-2", "sim-2"},
        {1, 0, true, "sim-1", ""},
        {1, 0, false, "sim-1", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.cables) + " " + std::to_string(c.held) + " " + c.listed);
        test::ScratchDir locks;
        SimulatedHidPlatform other(cables(c.cables, locks.path()));
        std::uint32_t error = 0;
        std::unique_ptr<HidHold> otherHold;
        const HidInterfaceInfo heldCable = other.listInterfaces().at(c.held);
        if (c.beforeTheList)
            otherHold = other.hold(heldCable, error);
        Session session(cables(c.cables, locks.path()));
        EXPECT_EQ(session.port(), c.listed) << "the last one no other Tolmar holds, else the last one";
        EXPECT_EQ(session.link().DevListBox[c.held].inUse, c.beforeTheList);
        if (!c.beforeTheList)
            otherHold = other.hold(heldCable, error);
        ASSERT_TRUE(otherHold);

        session.connect();
        session.run->advance(600);
        EXPECT_FALSE(session.sim.configured(c.held));
        EXPECT_TRUE(session.sim.sentFrames(c.held).empty());
        if (c.port.empty()) {
            EXPECT_FALSE(session.link().USBConDown);
            EXPECT_EQ(session.lastMessage(),
                      std::string(UsbLink::noCableMessage) + "\n\nThe cable at sim-1 " + inUseLine);
        } else {
            EXPECT_TRUE(session.link().USBConDown);
            EXPECT_EQ(session.port(), c.port);
            EXPECT_TRUE(session.prompts.shown.empty());
            session.form->USBConClick(false);
            EXPECT_FALSE(session.link().holdsCable()) << "a disconnect lets the cable go";
        }
    }
}

TEST(UsbConnectionCables, AReplugIntoTheSamePortKeepsItsId)
{
    test::ScratchDir locks;
    Session session(cables(2, locks.path()), "sim-1");
    const std::string firstInstance = session.link().DevListBox[0].instance;
    session.connect();
    session.run->advance(300);
    ASSERT_TRUE(session.link().holdsCable());

    session.sim.unplug(0);
    session.link().HidCtl.HandleDeviceNotifications();
    EXPECT_FALSE(session.link().holdsCable()) << "a cable gone is held no more";
    EXPECT_EQ(session.link().DevListIndex, -1) << "sim-1 is gone: no other cable stands in for it";
    session.sim.replug(0);
    session.link().HidCtl.HandleDeviceNotifications();

    // Its index may change (it comes after sim-2 now); its port does not.
    ASSERT_GE(session.link().DevListIndex, 0);
    EXPECT_EQ(session.port(), "sim-1");
    EXPECT_NE(session.link().DevListBox[static_cast<std::size_t>(session.link().DevListIndex)].instance, firstInstance)
        << "a new attach";
    session.form->USBConClick(false);
    session.connect();
    session.run->advance(600);
    EXPECT_TRUE(session.link().USBConDown);
    EXPECT_TRUE(session.link().holdsCable());
    EXPECT_FALSE(session.sim.sentFrames(0).empty());
}

// On a platform that cannot tell ports the cables go by their index, which
// counts every HID interface as tolmar-cli devices does.
TEST(UsbConnectionCables, WithoutPortsTheCablesGoByTheirIndex)
{
    struct Case {
        std::string device;
        int selected;
        std::string message; // after a connect; empty: not connected here
    };
    const Case cases[] = {
        {"", 0, ""},
        {"2", 2, std::string(UsbLink::noCableMessage) + "\n\nThe cable at #2 " + inUseLine},
        {"1", -1, std::string(UsbLink::noCableMessage) + "\n\nNo meter cable at \"1\" (tolmar-cli devices lists the cables)."},
        {"3", -1, std::string(UsbLink::noCableMessage) + "\n\nNo meter cable at \"3\" (tolmar-cli devices lists the cables)."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.device);
        test::ScriptedHidPlatform hid;
        hid.plug(test::fakeDevice("hidraw0"));
        test::FakeHidDevice keyboard = test::fakeDevice("hidraw1");
        keyboard.product = u"Keyboard";
        hid.plug(keyboard);
        test::FakeHidDevice held = test::fakeDevice("hidraw2");
        held.heldElsewhere = true;
        hid.plug(held);
        test::FakeHidDevice withSerial = test::fakeDevice("hidraw3");
        withSerial.serial = u"0001";
        hid.plug(withSerial);

        VirtualTime time;
        FixedLocale locale;
        ScriptedPrompts prompts;
        RecordingShell shell;
        FixedArchitecture architecture{true};
        ManualUiDispatcher ui;
        NullView view;
        MainFormPlatform platform{time, time, locale, prompts, shell, architecture, hid, ui};
        platform.device = c.device;
        MainForm form(platform, view);
        form.FormCreate();

        EXPECT_EQ(form.link().DevListIndex, c.selected);
        EXPECT_EQ(form.link().bridgeIndexes(), (std::vector<int>{0, 2}));
        if (c.selected >= 0) {
            EXPECT_EQ(form.link().captionSuffix(), " - cable #" + std::to_string(c.selected));
        }
        if (c.message.empty())
            continue;
        form.USBConClick(true);
        EXPECT_FALSE(form.link().USBConDown);
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].text, c.message);
        EXPECT_TRUE(hid.features().empty()) << "nothing went to a cable in use";
        EXPECT_TRUE(hid.writes().empty());
    }
}

// The platforms' holds: a lock file per simulated cable, and on Linux a
// flock() on the node, which a plain file stands in for here.
TEST(HidHolds, AHoldKeepsOthersOutUntilItGoes)
{
    test::ScratchDir folder;
    const std::string node = folder.path() + "/hidraw7";
    std::ofstream(node).put('\0');
    SimulatedHidPlatform simA(cables(2, folder.path())), simB(cables(2, folder.path()));
    LinuxHidPlatform linuxA({folder.path(), false}), linuxB({folder.path(), false});
    struct Case {
        const char *name;
        HidPlatform &a, &b;
        HidInterfaceInfo device;
    };
    const Case cases[] = {
        {"simulated", simA, simB, simA.listInterfaces().at(1)},
        {"linux", linuxA, linuxB, {node, node}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::uint32_t error = 0;
        auto hold = c.a.hold(c.device, error);
        ASSERT_TRUE(hold);
        EXPECT_FALSE(c.a.heldElsewhere(c.device)) << "its own hold is no other's";
        EXPECT_TRUE(c.b.heldElsewhere(c.device));
        EXPECT_FALSE(c.b.hold(c.device, error));
        EXPECT_EQ(error, HidPlatform::heldError);
        EXPECT_FALSE(c.a.hold(c.device, error)) << "one hold at a time";
        hold.reset();
        EXPECT_FALSE(c.b.heldElsewhere(c.device));
        EXPECT_TRUE(c.b.hold(c.device, error));
    }
    // Without a lock folder (a single simulated cable) nothing is held.
    SimulatedHidPlatform alone, another;
    std::uint32_t error = 0;
    auto one = alone.hold(alone.listInterfaces().at(0), error);
    EXPECT_TRUE(one);
    EXPECT_TRUE(another.hold(another.listInterfaces().at(0), error));
}

TEST(HidHolds, PortsAreThePlacesOfTheCables)
{
    SimulatedHidPlatform sim(cables(3, ""));
    std::vector<std::string> ports;
    for (const HidInterfaceInfo &device : sim.listInterfaces())
        ports.push_back(sim.port(device));
    EXPECT_EQ(ports, (std::vector<std::string>{"sim-1", "sim-2", "sim-3"}));
    EXPECT_NE(sim.mode(0), sim.mode(1)) << "the meters show different functions";

    // On Linux: the USB device's name in sysfs; none for an I2C device.
    LinuxHidPlatform fake({TOLMAR_TEST_DATA "/sysfs-hid", false});
    ports.clear();
    for (const HidInterfaceInfo &device : fake.listInterfaces())
        ports.push_back(fake.port(device));
    EXPECT_EQ(ports, (std::vector<std::string>{"1-2", "", "1-3"}));
}

// The real tolmar-cli, killed while it records from sim-1: the system lets go
// of its lock, and the cable is free again.
TEST(CliCables, ACableHeldByAKilledProcessIsFreeAgain)
{
    test::ScratchDir runtime;
    CliChild child(runtime.path(), {"record", "--simulate=2", "--device", "sim-1", "--seconds", "60", "--out",
                                    runtime / "a.csv"});
    ASSERT_GT(child.pid, 0);
    SimulatedHidPlatform sim(cables(2, runtime.path() + "/tolmar"));
    ASSERT_TRUE(child.holds(sim, 0));
    EXPECT_FALSE(sim.heldElsewhere(sim.listInterfaces().at(1)));
    {
        // Meanwhile another Tolmar takes the other cable.
        Session session(cables(2, runtime.path() + "/tolmar"));
        EXPECT_EQ(session.port(), "sim-2");
    }

    const int status = child.end(SIGKILL);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_FALSE(sim.heldElsewhere(sim.listInterfaces().at(0)));
    Session session(cables(2, runtime.path() + "/tolmar"), "sim-1");
    session.connect();
    EXPECT_TRUE(session.link().USBConDown);
    EXPECT_TRUE(session.link().holdsCable());
    session.form->USBConClick(false);
}

TEST(CliCables, DevicesShowsThePortsAndWhoUsesThem)
{
    test::ScratchDir runtime;
    const char *old = std::getenv("XDG_RUNTIME_DIR");
    const std::optional<std::string> kept = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    SimulatedHidPlatform other(SimulatedHidPlatform::sharedCables(2));
    std::uint32_t error = 0;
    auto hold = other.hold(other.listInterfaces().at(1), error);
    const test::CliRun r = test::runCli({"devices", "--simulate=2"});
    const test::CliRun usage = test::runCli({"devices", "--simulate=0"});
    if (kept)
        ::setenv("XDG_RUNTIME_DIR", kept->c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(hold);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("0: sim://usb-to-serial\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("   port      sim-1\n   in use    no\n1: sim://usb-to-serial-2\n"), std::string::npos);
    EXPECT_NE(r.out.find("   port      sim-2\n   in use    by another Tolmar\n\nThe meter's cable is entry 0.\n"),
              std::string::npos);
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, "tolmar-cli: devices: --simulate=N takes a number of cables from 1 to 16\n"
                         "Try 'tolmar-cli --help'.\n");
}

} // namespace
} // namespace tolmar
