// The controller reading the simulated meter in lock-step on virtual time:
// what the end-to-end tests of the link build on.
#include "link/JvHidControllerClass.h"
#include "meter/FrameDecoder.h"
#include "meter/ReadingFrame.h"
#include "platform/UiDispatcher.h"
#include "platform/sim/SimulatedHidPlatform.h"
#include "platform/sim/SimulatedRun.h"
#include "platform/virtual/VirtualTime.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tolmar {
namespace {

std::string hexText(const std::uint8_t *bytes, std::size_t count)
{
    std::string text;
    char digits[3];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        text += digits;
    }
    return text;
}

// The program's side in brief: find and claim the bridge, configure it, ask
// for a frame, collect bursts of payload into frame texts and ask for the
// next frame after each complete one.
struct Link {
    explicit Link(sim::Options options = {})
        : sim(options)
    {
        controller.emplace(sim, ui);
        run.emplace(time, sim, ui);
        controller->SetOnEnumerate([this](TJvHidDevice *device, int index) {
            if (device->ProductText() == "USB to Serial" && device->SerialText().empty())
                bridge = controller->ClaimByIndex(index);
            return true;
        });
        controller->EnumeratePresent();
    }
    ~Link()
    {
        run.reset();
        if (bridge)
            controller->ReleaseDevice(bridge);
    }

    void connect()
    {
        const std::uint8_t configuration[10] = {0x00, 0x80, 0x25, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
        ASSERT_TRUE(bridge->SendFeature(configuration, sizeof configuration));
        request();
        bridge->SetDataHandler(handler);
    }
    void request()
    {
        std::vector<std::uint8_t> report(bridge->Capabilities().OutputReportByteLength);
        report[1] = 0x02;
        report[2] = 0x5A;
        std::size_t written = 0;
        bridge->WriteReport(report.data(), report.size(), written);
    }

    VirtualTime time;
    ManualUiDispatcher ui;
    SimulatedHidPlatform sim;
    std::optional<TJvHidDeviceController> controller;
    std::optional<SimulatedRun> run;
    TJvHidDevice *bridge = nullptr;

    std::vector<std::string> log; // "<ms> <report as hex>", every report handed over
    std::vector<std::string> frames;
    std::string frameText, burst;
    bool burstOpen = false;
    TJvHidDataEvent handler = [this](TJvHidDevice *, std::uint8_t id, const std::uint8_t *data, std::uint16_t size) {
        log.push_back(std::to_string(time.elapsedMs()) + " " + hexText(&id, 1) + hexText(data, size));
        const int count = size > 0 ? data[0] & 0x0F : 0;
        if (count >= 1 && count <= 9) {
            burst += hexText(data + 1, std::min<std::size_t>(count, size - 1u));
            burstOpen = true;
            return;
        }
        if (!burstOpen)
            return;
        frameText = frame::startsWithStartByte(burst) ? burst : frameText + burst;
        burst.clear();
        burstOpen = false;
        if (frame::isCompleteFrame(frameText)) {
            frames.push_back(frameText);
            request();
        }
    };
};

TEST(SimulatedLink, FramesArriveWholeAndDecodeAsTheMeterMeantThem)
{
    sim::Options options;
    options.seed = 5;
    options.framesPerMode = 2;
    Link link(options);
    ASSERT_NE(link.bridge, nullptr);
    link.connect();
    link.run->advance(6000);

    const std::vector<sim::SentFrame> sent = link.sim.sentFrames();
    ASSERT_GE(link.frames.size(), 20u);
    ASSERT_GE(sent.size(), link.frames.size());
    EXPECT_EQ(link.log.size(), 6000u) << "every millisecond's report was handed over";
    bool sawLong = false;
    for (std::size_t i = 0; i < link.frames.size(); ++i) {
        EXPECT_EQ(link.frames[i], hexText(sent[i].bytes.data(), sent[i].bytes.size())) << i;
        MeterReading reading;
        ASSERT_FALSE(decodeFrame(link.frames[i], reading, ".")) << link.frames[i];
        EXPECT_EQ(reading.ValueText, sent[i].intended.ValueText) << sent[i].mode;
        EXPECT_EQ(reading.UnitText, sent[i].intended.UnitText) << sent[i].mode;
        sawLong = sawLong || link.frames[i].size() == frame::longFrameLength;
    }
    EXPECT_TRUE(sawLong);
}

TEST(SimulatedLink, TheSameSeedGivesTheSameRun)
{
    std::vector<std::string> first;
    for (int round = 0; round < 2; ++round) {
        Link link;
        link.connect();
        link.run->advance(1500);
        link.sim.injectGarbage(20);
        link.run->advance(500);
        if (round == 0)
            first = link.log;
        else
            EXPECT_EQ(link.log, first);
    }
    EXPECT_EQ(first.size(), 2000u);
}

TEST(SimulatedLink, UnplugAndReplugReachTheControllersHandlers)
{
    Link link;
    std::vector<std::string> events;
    link.controller->SetOnRemoval([&](TJvHidDevice *device) { events.push_back("removal " + device->ProductText()); });
    link.controller->SetOnArrival([&](TJvHidDevice *) { events.push_back("arrival"); });
    link.connect();
    link.run->advance(300);

    link.sim.unplug();
    link.controller->HandleDeviceNotifications();
    EXPECT_EQ(events, (std::vector<std::string>{"removal USB to Serial"}));
    link.controller->ReleaseDevice(link.bridge); // as the program does on every device change
    link.bridge = nullptr;
    EXPECT_EQ(link.controller->DeviceCount(), 0u);

    link.sim.replug();
    link.controller->HandleDeviceNotifications();
    EXPECT_EQ(events.back(), "arrival");
    link.controller->EnumeratePresent();
    ASSERT_NE(link.bridge, nullptr);
    link.frames.clear();
    link.connect();
    link.run->advance(1000);
    EXPECT_FALSE(link.frames.empty()) << "the replugged bridge is configured and read again";
}

} // namespace
} // namespace tolmar
