#include "link/JvHidControllerClass.h"
#include "link/ScriptedHidPlatform.h"
#include "platform/UiDispatcher.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tolmar {
namespace {

using test::fakeDevice;
using test::FakeHidDevice;
using test::ScriptedHidPlatform;

// Everything the controller raised, in order: "arrival hidraw1",
// "removal hidraw0", "unplug hidraw0", "change".
struct EventLog {
    std::vector<std::string> events;

    static std::string name(const TJvHidDevice *device)
    {
        const std::string &path = device->PnPInfo().DevicePath;
        return path.substr(path.rfind('/') + 1);
    }
    void attach(TJvHidDeviceController &controller)
    {
        controller.SetOnArrival([this](TJvHidDevice *d) { events.push_back("arrival " + name(d)); });
        controller.SetOnRemoval([this](TJvHidDevice *d) { events.push_back("removal " + name(d)); });
        controller.SetOnDeviceUnplug([this](TJvHidDevice *d) { events.push_back("unplug " + name(d)); });
        controller.SetOnDeviceChange([this](TJvHidDeviceController *) { events.push_back("change"); });
    }
    std::vector<std::string> take() { return std::exchange(events, {}); }
};

struct Fixture : ::testing::Test {
    ScriptedHidPlatform platform;
    ManualUiDispatcher ui;

    std::vector<std::string> listed(const TJvHidDeviceController &controller)
    {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < controller.DeviceCount(); ++i)
            names.push_back(EventLog::name(controller.DeviceAt(i)));
        return names;
    }
};

using HidControllerScan = Fixture;

TEST_F(HidControllerScan, LeavesOutWhatCannotBeOpenedOrIdentifiedAndGoesOn)
{
    FakeHidDevice closed = fakeDevice("hidraw1");
    closed.opensReadWrite = false;
    closed.opensForQueries = false;
    FakeHidDevice anonymous = fakeDevice("hidraw2");
    anonymous.identifiable = false;
    FakeHidDevice queryOnly = fakeDevice("hidraw3");
    queryOnly.opensReadWrite = false;
    platform.plug(fakeDevice("hidraw0"));
    platform.plug(closed);
    platform.plug(anonymous);
    platform.plug(queryOnly);
    platform.plug(fakeDevice("hidraw4"));

    TJvHidDeviceController controller(platform, ui);
    EXPECT_EQ(listed(controller), (std::vector<std::string>{"hidraw0", "hidraw3", "hidraw4"}));
    EXPECT_TRUE(controller.DeviceAt(0)->CanReadWrite());
    EXPECT_FALSE(controller.DeviceAt(1)->CanReadWrite());
    EXPECT_EQ(controller.DeviceAt(0)->Attributes(), (HidAttributes{12, 0x1A86, 0xE008, 0x0100}));
    EXPECT_EQ(platform.openHandles(), 0) << "creation closes what it opened";
}

TEST_F(HidControllerScan, OnlyOneControllerAtATime)
{
    {
        TJvHidDeviceController first(platform, ui);
        try {
            TJvHidDeviceController second(platform, ui);
            FAIL() << "a second controller was created";
        } catch (const EControllerError &error) {
            EXPECT_STREQ(error.what(), "Only one TJvHidDeviceController allowed per program");
        }
    }
    EXPECT_NO_THROW(TJvHidDeviceController again(platform, ui));
}

TEST_F(HidControllerScan, WithoutTheHidServicesNothingIsListedOrRaised)
{
    platform.plug(fakeDevice("hidraw0"));
    platform.isAvailable = false;
    TJvHidDeviceController controller(platform, ui);
    EventLog log;
    log.attach(controller);
    controller.DeviceChange();
    EXPECT_EQ(controller.DeviceCount(), 0u);
    EXPECT_EQ(controller.ClaimByIndex(0), nullptr);
    EXPECT_EQ(controller.EnumeratePresent(), 0);
    EXPECT_TRUE(log.events.empty());
}

using HidControllerDeviceChange = Fixture;

TEST_F(HidControllerDeviceChange, PassesRaiseRemovalsThenArrivalsThenOneChange)
{
    platform.plug(fakeDevice("hidraw0"));
    platform.plug(fakeDevice("hidraw1"));
    platform.plug(fakeDevice("hidraw2"));
    TJvHidDeviceController controller(platform, ui);
    EventLog log;
    log.attach(controller);
    // Attaching runs the first pass, which reports the change even though
    // the list is the one creation found.
    EXPECT_EQ(log.take(), (std::vector<std::string>{"change"}));

    controller.DeviceChange();
    EXPECT_TRUE(log.take().empty()) << "a quiet pass raises nothing";

    platform.plug(fakeDevice("hidraw3"));
    controller.DeviceChange();
    EXPECT_EQ(log.take(), (std::vector<std::string>{"arrival hidraw3", "change"}));

    platform.unplug("/sys/devices/fake/hidraw0");
    platform.unplug("/sys/devices/fake/hidraw2");
    platform.plug(fakeDevice("hidraw5"));
    controller.DeviceChange();
    EXPECT_EQ(log.take(), (std::vector<std::string>{"unplug hidraw2", "removal hidraw2", "unplug hidraw0",
                                                    "removal hidraw0", "arrival hidraw5", "change"}));
    EXPECT_EQ(listed(controller), (std::vector<std::string>{"hidraw1", "hidraw3", "hidraw5"}));
}

TEST_F(HidControllerDeviceChange, NotificationsRunThePass)
{
    TJvHidDeviceController controller(platform, ui);
    EventLog log;
    log.attach(controller);
    log.take();
    controller.HandleDeviceNotifications();
    EXPECT_TRUE(log.take().empty());
    platform.plug(fakeDevice("hidraw0"));
    controller.HandleDeviceNotifications();
    EXPECT_EQ(log.take(), (std::vector<std::string>{"arrival hidraw0", "change"}));
}

TEST_F(HidControllerDeviceChange, AClaimedDeviceThatWentStaysUntilReleased)
{
    platform.plug(fakeDevice("hidraw0"));
    platform.plug(fakeDevice("hidraw1"));
    TJvHidDeviceController controller(platform, ui);
    EventLog log;
    log.attach(controller);
    log.take();
    TJvHidDevice *claimed = controller.ClaimByIndex(0);
    ASSERT_NE(claimed, nullptr);
    ASSERT_TRUE(claimed->SendFeature(std::vector<std::uint8_t>(10).data(), 10));
    ASSERT_EQ(platform.openHandles(), 1);

    platform.unplug("/sys/devices/fake/hidraw0");
    controller.DeviceChange();
    EXPECT_EQ(log.take(), (std::vector<std::string>{"unplug hidraw0", "removal hidraw0", "change"}));
    EXPECT_EQ(controller.DeviceAt(0), claimed);
    EXPECT_FALSE(claimed->Present());
    EXPECT_EQ(platform.openHandles(), 0) << "the handles of a device that went are closed";
    EXPECT_FALSE(claimed->SendFeature(std::vector<std::uint8_t>(10).data(), 10));

    // Each later pass reports it gone again; the unplug handler was used up.
    controller.DeviceChange();
    EXPECT_EQ(log.take(), (std::vector<std::string>{"removal hidraw0", "change"}));

    controller.ReleaseDevice(claimed);
    EXPECT_EQ(listed(controller), (std::vector<std::string>{"hidraw1"}));
    controller.DeviceChange();
    EXPECT_TRUE(log.take().empty());
}

TEST_F(HidControllerDeviceChange, ADeviceTheRemovalHandlerReleasesIsNotTouchedAgain)
{
    platform.plug(fakeDevice("hidraw0"));
    TJvHidDeviceController controller(platform, ui);
    TJvHidDevice *claimed = controller.ClaimByIndex(0);
    int removals = 0;
    controller.SetOnRemoval([&](TJvHidDevice *device) {
        ++removals;
        controller.ReleaseDevice(device);
    });
    platform.unplug("/sys/devices/fake/hidraw0");
    controller.DeviceChange();
    EXPECT_EQ(removals, 1);
    EXPECT_EQ(controller.DeviceCount(), 0u);
    (void)claimed;
}

using HidControllerClaim = Fixture;

TEST_F(HidControllerClaim, RefusesIndexesOutsideTheListAndClaimedDevices)
{
    platform.plug(fakeDevice("hidraw0"));
    platform.plug(fakeDevice("hidraw1"));
    TJvHidDeviceController controller(platform, ui);
    TJvHidDevice *second = controller.ClaimByIndex(1);
    ASSERT_NE(second, nullptr);
    for (const int index : {-1, 2, 1, 1000})
        EXPECT_EQ(controller.ClaimByIndex(index), nullptr) << index;
    TJvHidDevice *first = controller.ClaimByIndex(0);
    EXPECT_NE(first, nullptr);
    // Claimed objects belong to the claimer, who gives them back.
    for (TJvHidDevice *device : {first, second})
        if (device)
            controller.ReleaseDevice(device);
}

TEST_F(HidControllerClaim, EnumerationVisitsPresentDevicesUntilTheHandlerStops)
{
    for (const char *name : {"hidraw0", "hidraw1", "hidraw2", "hidraw3"})
        platform.plug(fakeDevice(name));
    TJvHidDeviceController controller(platform, ui);
    TJvHidDevice *gone = controller.ClaimByIndex(1);
    platform.unplug("/sys/devices/fake/hidraw1");
    controller.DeviceChange();
    ASSERT_FALSE(gone->Present());

    EXPECT_EQ(controller.EnumeratePresent(), 1) << "without a handler the first present device stops the walk";

    std::vector<std::pair<std::string, int>> seen;
    controller.SetOnEnumerate([&](TJvHidDevice *device, int index) {
        EXPECT_TRUE(device->InEnumeration());
        // Strings can be read while the device is being enumerated.
        EXPECT_EQ(device->ProductText(), "USB to Serial");
        seen.push_back({EventLog::name(device), index});
        return index < 2;
    });
    EXPECT_EQ(controller.EnumeratePresent(), 2);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, int>>{{"hidraw0", 0}, {"hidraw2", 2}}));
    EXPECT_FALSE(controller.DeviceAt(0)->InEnumeration());
    EXPECT_EQ(platform.openHandles(), 0) << "unclaimed devices are closed after their turn";
    controller.ReleaseDevice(gone);
}

TEST_F(HidControllerClaim, UnclaimedDevicesCannotBeQueried)
{
    platform.plug(fakeDevice("hidraw0"));
    TJvHidDeviceController controller(platform, ui);
    TJvHidDevice *device = controller.DeviceAt(0);
    EXPECT_EQ(device->ProductText(), "");
    EXPECT_EQ(device->Capabilities(), HidReportLengths{});
    std::size_t written = 7;
    EXPECT_FALSE(device->WriteReport(std::vector<std::uint8_t>(9).data(), 9, written));
    EXPECT_EQ(written, 0u);
}

TEST_F(HidControllerClaim, ReleaseLeavesAFreshObjectAtTheSameIndex)
{
    platform.plug(fakeDevice("hidraw0"));
    platform.plug(fakeDevice("hidraw1"));
    TJvHidDeviceController controller(platform, ui);
    const TJvHidDataEvent data = [](TJvHidDevice *, std::uint8_t, const std::uint8_t *, std::uint16_t) {};
    const TJvHidPlugEvent unplug = [](TJvHidDevice *) {};
    TJvHidDevice *claimed = controller.ClaimByIndex(0);
    claimed->SetUnplugHandler(unplug);
    claimed->SetSleepTime(250);
    claimed->SetDataHandler(data);
    ASSERT_TRUE(claimed->HasReader());

    controller.ReleaseDevice(claimed);
    EXPECT_EQ(platform.openHandles(), 0);
    TJvHidDevice *fresh = controller.DeviceAt(0);
    EXPECT_FALSE(fresh->Claimed());
    EXPECT_FALSE(fresh->HasReader()) << "an unclaimed object does not read";
    EXPECT_EQ(fresh->DataHandler(), data);
    EXPECT_EQ(fresh->UnplugHandler(), unplug);
    EXPECT_EQ(fresh->SleepTime(), 250);
    EXPECT_EQ(listed(controller), (std::vector<std::string>{"hidraw0", "hidraw1"}));

    EXPECT_EQ(controller.ClaimByIndex(0), fresh);
    EXPECT_TRUE(fresh->HasReader()) << "claiming starts the reader of a device with a data handler";
    controller.ReleaseDevice(fresh);
}

TEST_F(HidControllerClaim, AReleaseWhoseFreshObjectCannotBeMadeLeavesNoEntry)
{
    platform.plug(fakeDevice("hidraw0"));
    platform.plug(fakeDevice("hidraw1"));
    TJvHidDeviceController controller(platform, ui);
    EventLog log;
    log.attach(controller);
    log.take();
    TJvHidDevice *claimed = controller.ClaimByIndex(0);
    platform.modify("/sys/devices/fake/hidraw0", [](FakeHidDevice &d) { d.opensReadWrite = d.opensForQueries = false; });
    try {
        controller.ReleaseDevice(claimed);
        FAIL() << "no error reported";
    } catch (const EControllerError &error) {
        EXPECT_STREQ(error.what(), "device cannot be opened");
    }
    EXPECT_EQ(listed(controller), (std::vector<std::string>{"hidraw1"}));

    // Once it opens again, the next pass offers it as an arrival.
    platform.modify("/sys/devices/fake/hidraw0", [](FakeHidDevice &d) { d.opensReadWrite = d.opensForQueries = true; });
    controller.DeviceChange();
    EXPECT_EQ(log.take(), (std::vector<std::string>{"arrival hidraw0", "change"}));
}

using HidControllerStrings = Fixture;

TEST_F(HidControllerStrings, SerialNumbersThatRepeatDescriptorZeroAreEmpty)
{
    struct Case {
        const char *what;
        std::optional<std::u16string> serial;
        std::optional<std::u16string> descriptor0;
        std::string expected;
    };
    const Case cases[] = {
        {"plain serial, US English list", u"A1B2", std::u16string(u"\x0409"), "A1B2"},
        {"language list with its zero", u"A1B2", std::u16string(u"\x0409\0", 2), "A1B2"},
        {"serial equal to descriptor 0", u"\x0409", std::u16string(u"\x0409"), ""},
        {"serial repeating a longer descriptor 0", u"ABCD", std::u16string(u"ABC"), ""},
        {"serial differing inside descriptor 0", u"ABXD", std::u16string(u"ABC"), "ABXD"},
        {"descriptor 0 not answered", u"A1B2", std::nullopt, ""},
        {"no serial number", std::nullopt, std::u16string(u"\x0409"), ""},
        {"non-ASCII serial", u"\u00C4\u20AC", std::u16string(u"\x0409"), "\xC3\x84\xE2\x82\xAC"},
    };
    for (const Case &c : cases) {
        ScriptedHidPlatform platform;
        FakeHidDevice device = fakeDevice("hidraw0");
        device.serial = c.serial;
        device.descriptor0 = c.descriptor0;
        platform.plug(device);
        TJvHidDeviceController controller(platform, ui);
        TJvHidDevice *claimed = controller.ClaimByIndex(0);
        EXPECT_EQ(claimed->SerialText(), c.expected) << c.what;
        controller.ReleaseDevice(claimed);
    }
}

TEST_F(HidControllerStrings, SendFeatureAndWriteReportPassTheBuffer)
{
    FakeHidDevice queryOnly = fakeDevice("hidraw1");
    queryOnly.opensReadWrite = false;
    platform.plug(fakeDevice("hidraw0"));
    platform.plug(queryOnly);
    TJvHidDeviceController controller(platform, ui);
    TJvHidDevice *bridge = controller.ClaimByIndex(0);
    const std::vector<std::uint8_t> feature = {0x00, 0x80, 0x25, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
    const std::vector<std::uint8_t> request = {0x00, 0x02, 0x5A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    std::size_t written = 0;
    EXPECT_TRUE(bridge->SendFeature(feature.data(), feature.size()));
    EXPECT_TRUE(bridge->WriteReport(request.data(), request.size(), written));
    EXPECT_EQ(written, 9u);
    EXPECT_EQ(platform.features(), (std::vector<ScriptedHidPlatform::Sent>{{"/sys/devices/fake/hidraw0", feature}}));
    EXPECT_EQ(platform.writes(), (std::vector<ScriptedHidPlatform::Sent>{{"/sys/devices/fake/hidraw0", request}}));
    EXPECT_EQ(platform.openHandles(), 1) << "the handle stays open after a send";

    TJvHidDevice *locked = controller.ClaimByIndex(1);
    EXPECT_FALSE(locked->SendFeature(feature.data(), feature.size()));
    EXPECT_FALSE(locked->WriteReport(request.data(), request.size(), written));
    locked->SetDataHandler([](TJvHidDevice *, std::uint8_t, const std::uint8_t *, std::uint16_t) {});
    EXPECT_FALSE(locked->HasReader()) << "a device open for queries only is not read";
    controller.ReleaseDevice(bridge);
    controller.ReleaseDevice(locked);
}

using HidControllerHandlers = Fixture;

TEST_F(HidControllerHandlers, ControllerHandlersReachDevicesThatHadThePreviousOne)
{
    platform.plug(fakeDevice("hidraw0"));
    platform.plug(fakeDevice("hidraw1"));
    TJvHidDeviceController controller(platform, ui);
    const TJvHidDataErrorEvent own = [](TJvHidDevice *, std::uint32_t) {};
    const TJvHidDataErrorEvent shared = [](TJvHidDevice *, std::uint32_t) {};
    controller.DeviceAt(1)->SetDataErrorHandler(own);
    controller.SetOnDeviceDataError(shared);
    EXPECT_EQ(controller.DeviceAt(0)->DataErrorHandler(), shared);
    EXPECT_EQ(controller.DeviceAt(1)->DataErrorHandler(), own);

    platform.plug(fakeDevice("hidraw2"));
    controller.DeviceChange();
    EXPECT_EQ(controller.DeviceAt(2)->DataErrorHandler(), shared) << "new devices start with the controller's";

    controller.SetDevThreadSleepTime(50);
    controller.DeviceAt(1)->SetSleepTime(70);
    controller.SetDevThreadSleepTime(60);
    EXPECT_EQ(controller.DeviceAt(0)->SleepTime(), 60);
    EXPECT_EQ(controller.DeviceAt(1)->SleepTime(), 70);
    for (const int ignored : {9, 10001})
        controller.DeviceAt(0)->SetSleepTime(ignored);
    EXPECT_EQ(controller.DeviceAt(0)->SleepTime(), 60);
}

TEST_F(HidControllerHandlers, DestroyingTheControllerTellsClaimersAndEndsEveryDevice)
{
    platform.plug(fakeDevice("hidraw0"));
    platform.plug(fakeDevice("hidraw1"));
    std::vector<std::string> unplugged;
    {
        TJvHidDeviceController controller(platform, ui);
        TJvHidDevice *claimed = controller.ClaimByIndex(1);
        claimed->SetDataHandler([](TJvHidDevice *, std::uint8_t, const std::uint8_t *, std::uint16_t) {});
        ASSERT_EQ(controller.ReaderThreads(), 1);
        // The claimer's last look at its object: gone and no longer read.
        // A release from here finds nothing to do.
        claimed->SetUnplugHandler([&](TJvHidDevice *device) {
            unplugged.push_back(EventLog::name(device));
            EXPECT_FALSE(device->Present());
            EXPECT_FALSE(device->HasReader());
            EXPECT_EQ(controller.ReaderThreads(), 0);
            controller.ReleaseDevice(device);
        });
    }
    EXPECT_EQ(unplugged, (std::vector<std::string>{"hidraw1"}));
    EXPECT_EQ(platform.openHandles(), 0);
}

} // namespace
} // namespace tolmar
