// The reader thread and its hand-over to the UI thread: the test thread plays
// the UI thread and runs the hand-overs from a ManualUiDispatcher. These tests
// also run under ThreadSanitizer (scripts/test.sh).
#include "link/JvHidControllerClass.h"
#include "link/ScriptedHidPlatform.h"
#include "platform/UiDispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

namespace tolmar {
namespace {

using test::fakeDevice;
using test::ScriptedHidPlatform;

const std::string bridge = "/sys/devices/fake/hidraw0";

struct Delivered {
    std::uint8_t reportId;
    std::vector<std::uint8_t> data;
    bool operator==(const Delivered &) const = default;
};

struct HidReader : ::testing::Test {
    ScriptedHidPlatform platform;
    ManualUiDispatcher ui;
    std::optional<TJvHidDeviceController> controller;
    TJvHidDevice *device = nullptr;
    std::vector<Delivered> delivered;
    std::vector<std::uint32_t> errors;
    TJvHidDataEvent collect = [this](TJvHidDevice *, std::uint8_t id, const std::uint8_t *data, std::uint16_t size) {
        delivered.push_back({id, std::vector<std::uint8_t>(data, data + size)});
    };

    void SetUp() override
    {
        platform.plug(fakeDevice("hidraw0"));
        controller.emplace(platform, ui);
        device = controller->ClaimByIndex(0);
        device->SetDataErrorHandler([this](TJvHidDevice *, std::uint32_t error) { errors.push_back(error); });
    }
    void TearDown() override
    {
        if (device)
            controller->ReleaseDevice(device);
        controller.reset();
    }

    // Runs hand-overs until `count` reports arrived (or ten seconds passed).
    void runUntilDelivered(std::size_t count)
    {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (delivered.size() < count && std::chrono::steady_clock::now() < limit)
            if (ui.waitForPost(std::chrono::milliseconds(10)))
                ui.runOne();
    }
    void waitForPendingHandOver()
    {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ui.pending() == 0 && std::chrono::steady_clock::now() < limit)
            ui.waitForPost(std::chrono::milliseconds(10));
        ASSERT_EQ(ui.pending(), 1u);
    }
};

TEST_F(HidReader, DeliversReportsInOrderWithoutTheIdByte)
{
    device->SetDataHandler(collect);
    // Input report length 9: report ID 0 (no numbered reports) and 8 bytes.
    platform.pushReport(bridge, {0x00, 0xF3, 0x5A, 0x00, 0x03, 0, 0, 0, 0});
    platform.pushReport(bridge, {0x00, 0xF0, 0, 0, 0, 0, 0, 0, 0});
    platform.pushReport(bridge, {0x00, 0xF1, 0x2E}); // a short read
    platform.pushReport(bridge, {});                  // nothing transferred: nothing delivered
    platform.pushReport(bridge, {0x07, 0xF1, 0x41, 0, 0, 0, 0, 0, 0, 0xEE}); // cut to the buffer
    runUntilDelivered(4);
    EXPECT_EQ(delivered, (std::vector<Delivered>{
                             {0x00, {0xF3, 0x5A, 0x00, 0x03, 0, 0, 0, 0}},
                             {0x00, {0xF0, 0, 0, 0, 0, 0, 0, 0}},
                             {0x00, {0xF1, 0x2E}},
                             {0x07, {0xF1, 0x41, 0, 0, 0, 0, 0, 0}},
                         }));
    EXPECT_TRUE(errors.empty());
}

TEST_F(HidReader, StopsWithinOneStepWhenNothingArrives)
{
    device->SetSleepTime(10000);
    device->SetDataHandler(collect);
    ASSERT_TRUE(platform.waitForReadStarts(1));
    const auto before = std::chrono::steady_clock::now();
    device->SetDataHandler({});
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_FALSE(device->HasReader());
    // The stop wakes the wait instead of sitting out the 10 s step.
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_TRUE(delivered.empty());
}

TEST_F(HidReader, StoppingRunsTheHandOverTheReaderIsBlockedOn)
{
    device->SetDataHandler(collect);
    platform.pushReport(bridge, {0x00, 0xF1, 0x5A, 0, 0, 0, 0, 0, 0});
    waitForPendingHandOver();
    // The reader waits for the UI thread, which now waits for the reader.
    device->SetDataHandler({});
    EXPECT_EQ(delivered.size(), 1u);
    EXPECT_FALSE(device->HasReader());
    // The queued call comes after the reader ended and finds nothing to do.
    EXPECT_EQ(ui.runAll(), 1u);
    EXPECT_EQ(delivered.size(), 1u);
}

TEST_F(HidReader, TheHandlerIsTheOneAttachedWhenTheHandOverRuns)
{
    device->SetDataHandler(collect);
    platform.pushReport(bridge, {0x00, 0xF1, 0x01, 0, 0, 0, 0, 0, 0});
    waitForPendingHandOver();
    int second = 0;
    device->SetDataHandler([&](TJvHidDevice *, std::uint8_t, const std::uint8_t *, std::uint16_t) { ++second; });
    ui.runAll();
    EXPECT_EQ(second, 1);
    EXPECT_TRUE(delivered.empty());
}

TEST_F(HidReader, AHandlerMayStopItsOwnReader)
{
    device->SetDataHandler([this](TJvHidDevice *self, std::uint8_t, const std::uint8_t *, std::uint16_t) {
        delivered.push_back({});
        self->SetDataHandler({});
    });
    platform.pushReport(bridge, {0x00, 0xF1, 0x01, 0, 0, 0, 0, 0, 0});
    platform.pushReport(bridge, {0x00, 0xF1, 0x02, 0, 0, 0, 0, 0, 0});
    runUntilDelivered(1);
    EXPECT_FALSE(device->HasReader());
    EXPECT_EQ(controller->ReaderThreads(), 0) << "joined as soon as its hand-over returned";
    ui.runAll();
    EXPECT_EQ(delivered.size(), 1u) << "nothing is read after the stop";
}

TEST_F(HidReader, AHandlerMayReleaseItsDevice)
{
    device->SetDataHandler([this](TJvHidDevice *self, std::uint8_t, const std::uint8_t *, std::uint16_t) {
        delivered.push_back({});
        controller->ReleaseDevice(self);
        device = nullptr;
    });
    platform.pushReport(bridge, {0x00, 0xF1, 0x01, 0, 0, 0, 0, 0, 0});
    runUntilDelivered(1);
    EXPECT_EQ(device, nullptr);
    EXPECT_FALSE(controller->DeviceAt(0)->Claimed());
    EXPECT_EQ(platform.openHandles(), 0);
    EXPECT_EQ(controller->ReaderThreads(), 0);
}

TEST_F(HidReader, AHandlerRunByTheReleaseCannotReleaseOrReadAgain)
{
    // The release stops the reader, which runs the hand-over it is blocked
    // on: that handler's own release and new reader come too late.
    int calls = 0;
    const TJvHidDataEvent handler = [&](TJvHidDevice *self, std::uint8_t, const std::uint8_t *, std::uint16_t) {
        ++calls;
        controller->ReleaseDevice(self);
        self->SetDataHandler(collect);
        EXPECT_FALSE(self->HasReader());
    };
    device->SetDataHandler(handler);
    platform.pushReport(bridge, {0x00, 0xF1, 0x01, 0, 0, 0, 0, 0, 0});
    waitForPendingHandOver();
    controller->ReleaseDevice(device);
    device = nullptr;
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(controller->DeviceCount(), 1u);
    EXPECT_FALSE(controller->DeviceAt(0)->Claimed());
    EXPECT_EQ(controller->DeviceAt(0)->DataHandler(), handler) << "the fresh object keeps the handler of the claim";
    EXPECT_EQ(controller->ReaderThreads(), 0);
    EXPECT_EQ(platform.openHandles(), 0);
}

TEST_F(HidReader, AHandlerRunByAStopMayReleaseItsDevice)
{
    // Detaching the handler runs the waiting hand-over; its handler releases
    // the device while the detaching call still stands on the object.
    int calls = 0;
    const TJvHidDataEvent handler = [&](TJvHidDevice *self, std::uint8_t, const std::uint8_t *, std::uint16_t) {
        ++calls;
        controller->ReleaseDevice(self);
        EXPECT_FALSE(controller->DeviceAt(0)->Claimed()) << "the fresh object is listed at once";
        self->SetDataHandler(collect); // the released object is still there, but reads nothing
        EXPECT_FALSE(self->HasReader());
    };
    device->SetDataHandler(handler);
    platform.pushReport(bridge, {0x00, 0xF1, 0x01, 0, 0, 0, 0, 0, 0});
    waitForPendingHandOver();
    TJvHidDevice *released = std::exchange(device, nullptr);
    released->SetDataHandler({});
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(controller->DeviceCount(), 1u);
    EXPECT_FALSE(controller->DeviceAt(0)->Claimed());
    EXPECT_EQ(controller->DeviceAt(0)->DataHandler(), handler);
    EXPECT_EQ(controller->ReaderThreads(), 0);
    EXPECT_EQ(platform.openHandles(), 0);
    // The fresh object is claimed and read like any other.
    device = controller->ClaimByIndex(0);
    ASSERT_NE(device, nullptr);
    device->SetDataHandler(collect);
    platform.pushReport(bridge, {0x00, 0xF1, 0x02, 0, 0, 0, 0, 0, 0});
    runUntilDelivered(1);
    EXPECT_EQ(delivered, (std::vector<Delivered>{{0x00, {0xF1, 0x02, 0, 0, 0, 0, 0, 0}}}));
}

TEST_F(HidReader, AHandlerRunByAStopCannotStartASecondReader)
{
    device->SetDataHandler([this](TJvHidDevice *self, std::uint8_t, const std::uint8_t *, std::uint16_t) {
        delivered.push_back({});
        self->SetDataHandler(collect);
    });
    platform.pushReport(bridge, {0x00, 0xF1, 0x01, 0, 0, 0, 0, 0, 0});
    waitForPendingHandOver();
    device->SetDataHandler({});
    EXPECT_EQ(delivered.size(), 1u);
    // The outer call decides: no handler, and no reader left running without one.
    EXPECT_FALSE(device->DataHandler());
    EXPECT_FALSE(device->HasReader());
    EXPECT_EQ(controller->ReaderThreads(), 0);
}

TEST_F(HidReader, DestroyingTheControllerRunsNoHandlerOfAWaitingReport)
{
    // Data and error reports alike: the owners of the handlers may be going too.
    for (const bool error : {false, true}) {
        SCOPED_TRACE(error ? "error report" : "data report");
        if (!controller) {
            controller.emplace(platform, ui);
            device = controller->ClaimByIndex(0);
            device->SetDataErrorHandler([this](TJvHidDevice *, std::uint32_t code) { errors.push_back(code); });
        }
        if (error)
            platform.failReadStarts(bridge, 1, 5);
        else
            platform.pushReport(bridge, {0x00, 0xF1, 0x01, 0, 0, 0, 0, 0, 0});
        int unplugged = 0;
        device->SetUnplugHandler([&](TJvHidDevice *) { ++unplugged; });
        device->SetDataHandler(collect);
        waitForPendingHandOver();
        device = nullptr;
        controller.reset();
        EXPECT_EQ(unplugged, 1);
        EXPECT_TRUE(delivered.empty());
        EXPECT_TRUE(errors.empty());
        EXPECT_EQ(platform.openHandles(), 0);
        ui.runAll();
    }
}

TEST_F(HidReader, FailedReadStartsAreReportedAndRetried)
{
    device->SetSleepTime(10);
    platform.failReadStarts(bridge, 2, 5);
    device->SetDataHandler(collect);
    platform.pushReport(bridge, {0x00, 0xF1, 0x33, 0, 0, 0, 0, 0, 0});
    runUntilDelivered(1);
    EXPECT_EQ(errors, (std::vector<std::uint32_t>{5, 5}));
    EXPECT_EQ(delivered.size(), 1u);
}

TEST_F(HidReader, RetriesAfterAFailedStartArePacedAndAStopEndsThePause)
{
    device->SetSleepTime(10000);
    platform.failReadStarts(bridge, 1000, 5);
    device->SetDataHandler(collect);
    // Hand-overs are run as they come for a while: an unpaced reader would
    // report hundreds of failures, a paced one reports one per step.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < until)
        if (ui.waitForPost(std::chrono::milliseconds(10)))
            ui.runOne();
    EXPECT_EQ(errors, (std::vector<std::uint32_t>{5}));
    const auto before = std::chrono::steady_clock::now();
    device->SetDataHandler({});
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
}

TEST_F(HidReader, AnUnpluggedDeviceReportsErrorsUntilItIsReleased)
{
    device->SetSleepTime(10);
    device->SetDataHandler(collect);
    ASSERT_TRUE(platform.waitForReadStarts(1));
    platform.unplug(bridge);
    controller->DeviceChange();
    // Its handles are closed and it may not reopen them: every start fails
    // with the closed-handle error until the claimer lets go.
    const auto closedErrors = [this] { return std::count(errors.begin(), errors.end(), ScriptedHidPlatform::errorClosed); };
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (closedErrors() < 2 && std::chrono::steady_clock::now() < limit)
        if (ui.waitForPost(std::chrono::milliseconds(10)))
            ui.runOne();
    EXPECT_GE(closedErrors(), 2);
    controller->ReleaseDevice(device);
    device = nullptr;
    EXPECT_EQ(controller->DeviceCount(), 0u);
    EXPECT_EQ(platform.openHandles(), 0);
}

TEST_F(HidReader, ManyStartsAndStopsUnderTraffic)
{
    // Reports keep coming while the handler is attached and detached over
    // and over; every stop must end, and every report delivered must be whole.
    for (int round = 0; round < 50; ++round) {
        device->SetDataHandler(collect);
        for (std::uint8_t i = 0; i < 3; ++i)
            platform.pushReport(bridge, {0x00, 0xF1, i, 0, 0, 0, 0, 0, 0});
        if (round % 2)
            ui.runOne();
        device->SetDataHandler({});
        ui.runAll();
    }
    for (const Delivered &report : delivered)
        EXPECT_EQ(report.data.size(), 8u);
}

TEST(HidReaderInline, AHandlerOnTheReaderThreadMayStopItsOwnReader)
{
    // Without a UI thread the handlers run on the reader thread; a stop from
    // there cannot wait for itself: the thread ends once the handler has
    // returned, and the controller joins it.
    ScriptedHidPlatform platform;
    InlineUiDispatcher ui;
    platform.plug(fakeDevice("hidraw0"));
    TJvHidDeviceController controller(platform, ui);
    TJvHidDevice *device = controller.ClaimByIndex(0);
    std::atomic<int> calls = 0;
    device->SetDataHandler([&calls](TJvHidDevice *self, std::uint8_t, const std::uint8_t *, std::uint16_t) {
        self->SetDataHandler({});
        ++calls;
    });
    platform.pushReport(bridge, {0x00, 0xF1, 0x01, 0, 0, 0, 0, 0, 0});
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (calls == 0 && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(calls, 1);
    EXPECT_FALSE(device->HasReader());
    platform.pushReport(bridge, {0x00, 0xF1, 0x02, 0, 0, 0, 0, 0, 0});
    controller.ReleaseDevice(device);
    // The thread lets go of its handle as it ends.
    while (platform.openHandles() > 0 && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(platform.openHandles(), 0);
    EXPECT_EQ(calls, 1);
    // Not detached: the controller joins it on its next pass once it ended.
    while (controller.ReaderThreads() > 0 && std::chrono::steady_clock::now() < limit) {
        controller.DeviceChange();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(controller.ReaderThreads(), 0);
}

} // namespace
} // namespace tolmar
