#include "meter/FrameDecoder.h"
#include "platform/System.h"
#include "platform/sim/SimulatedBridge.h"
#include "platform/sim/SimulatedHidPlatform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

namespace tolmar {
namespace {

using sim::InputReport;
using sim::SentFrame;
using sim::SimulatedBridge;
using sim::SimulatedMeter;

std::string hexText(const std::vector<std::uint8_t> &bytes)
{
    std::string text;
    char digits[3];
    for (const std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += digits;
    }
    return text;
}

// Decodes a frame as the program does, with "." as the separator, and
// compares with what the meter meant. FullScale starts at a marker so that
// "left as it was" shows.
void expectDecodesAsIntended(const std::vector<std::uint8_t> &bytes, const sim::IntendedReading &intended,
                             const std::string &what)
{
    MeterReading reading;
    reading.FullScale = -1;
    const auto error = decodeFrame(hexText(bytes), reading, ".");
    ASSERT_FALSE(error) << what << ": step " << error->step << " " << error->what;
    EXPECT_EQ(reading.ValueText, intended.ValueText) << what;
    EXPECT_EQ(reading.UnitText, intended.UnitText) << what;
    EXPECT_EQ(reading.FunctionText, intended.FunctionText) << what;
    EXPECT_EQ(reading.RangeModeText, intended.RangeModeText) << what;
    EXPECT_EQ(reading.Nval, intended.Nval) << what;
    EXPECT_EQ(reading.FullScale, intended.FullScale.value_or(-1)) << what;
    EXPECT_EQ(reading.isOverload(), intended.overload) << what;
    if (!intended.WaveformSamples.empty()) {
        EXPECT_TRUE(std::equal(intended.WaveformSamples.begin(), intended.WaveformSamples.end(),
                               reading.WaveformSamples.begin()))
            << what;
    }
}

TEST(SimulatedMeter, EveryFunctionDecodesToWhatTheMeterMeant)
{
    std::set<char> codes, prefixes;
    std::set<std::size_t> pointPositions; // 0: none, else the D position
    bool overload = false, autoRange = false, manualRange = false, negative = false;
    SimulatedMeter meter(7, 0, 4);
    const std::size_t frames = SimulatedMeter::modes().size() * 4 * 3;
    for (std::size_t i = 0; i < frames; ++i) {
        const SentFrame frame = meter.measure(i % 5 == 4);
        ASSERT_EQ(frame.bytes.size(), i % 5 == 4 ? 361u : 41u);
        ASSERT_EQ(frame.bytes[0], 0x5A);
        EXPECT_EQ(std::count(frame.bytes.begin(), frame.bytes.end(), 0x5A), 1)
            << "the start byte appears only at the start";
        expectDecodesAsIntended(frame.bytes, frame.intended, frame.mode + " " + hexText(frame.bytes));

        codes.insert(static_cast<char>('0' + (frame.bytes[6] & 0x0F)));
        prefixes.insert(static_cast<char>(frame.bytes[27]));
        std::size_t point = 0;
        for (std::size_t d = 3; d <= 5; ++d)
            if (frame.bytes[20 + d] == '.')
                point = d;
        pointPositions.insert(point);
        overload = overload || frame.intended.overload;
        autoRange = autoRange || frame.bytes[19] == 1;
        manualRange = manualRange || frame.bytes[19] == 0;
        negative = negative || frame.bytes[21] == '-';
    }
    EXPECT_EQ(codes, (std::set<char>{'0', '1', '2', '3', '4', '5', '6'}));
    EXPECT_EQ(prefixes, (std::set<char>{' ', 'm', 'k', 'K', 'M', 'n', 'u', 'A'}));
    EXPECT_EQ(pointPositions, (std::set<std::size_t>{0, 3, 4, 5}));
    EXPECT_TRUE(overload && autoRange && manualRange && negative);
}

TEST(SimulatedMeter, AutoRangingFollowsTheValueAcrossRanges)
{
    // DC voltage drifts around 3.9 V: the 4 V and the 40 V range both show.
    SimulatedMeter meter(3, 0, 0);
    std::set<int> fullScales;
    for (int i = 0; i < 200; ++i)
        fullScales.insert(meter.measure(false).intended.FullScale.value_or(0));
    EXPECT_EQ(fullScales, (std::set<int>{4, 40}));
}

// The 10-byte configuration report for a baud rate and line format.
std::vector<std::uint8_t> configuration(std::uint32_t baud, std::uint8_t format = 0x03)
{
    return {0x00,   static_cast<std::uint8_t>(baud), static_cast<std::uint8_t>(baud >> 8), 0x00, 0x00,
            format, 0x00, 0x00, 0x00, 0x00};
}

// A configured bridge with the request sent at 0 ms; the reports of `ms`
// milliseconds.
struct BridgeRun {
    explicit BridgeRun(sim::Options options = {}, std::vector<std::uint8_t> feature = configuration(9600))
        : bridge(options, 0)
    {
        if (!feature.empty()) {
            EXPECT_TRUE(bridge.setFeature(feature.data(), feature.size()));
        }
        const std::uint8_t request[9] = {0x00, 0x02, 0x5A, 0x00, 0, 0, 0, 0, 0};
        EXPECT_TRUE(bridge.write(request, sizeof request));
    }
    void run(std::int64_t ms)
    {
        bridge.advanceTo(bridge.nowMs() + ms, [this](const InputReport &report) { reports.push_back(report); });
    }
    std::vector<std::uint8_t> payload() const
    {
        std::vector<std::uint8_t> bytes;
        for (const InputReport &report : reports)
            bytes.insert(bytes.end(), report.begin() + 2, report.begin() + 2 + (report[1] & 0x0F));
        return bytes;
    }

    SimulatedBridge bridge;
    std::vector<InputReport> reports;
};

TEST(SimulatedBridge, PacksTheAnswerIntoReportsAtTheMetersRate)
{
    sim::Options options;
    options.responseDelayMs = 100;
    BridgeRun run(options);
    run.run(400);
    ASSERT_EQ(run.reports.size(), 400u) << "one report per millisecond";
    int first = -1, last = -1, carrying = 0;
    for (std::size_t i = 0; i < run.reports.size(); ++i) {
        const InputReport &report = run.reports[i];
        const int ms = static_cast<int>(i) + 1;
        EXPECT_EQ(report[0], 0x00);
        EXPECT_EQ(report[1] & 0xF0, 0xF0);
        const int count = report[1] & 0x0F;
        EXPECT_LE(count, 1) << "a byte takes longer than a millisecond";
        if (count > 0) {
            first = first < 0 ? ms : first;
            last = ms;
            ++carrying;
        }
    }
    // The request's 2 bytes take 2.08 ms and the meter measures for 100 ms;
    // then 41 bytes of 10 bits at 9600 baud: 1.04 ms each, the first ending
    // at 103.13 ms (report 104), the last at 144.79 ms (report 145). In 42
    // reports 41 bytes: one report in between carries nothing.
    EXPECT_EQ(first, 104);
    EXPECT_EQ(last, 145);
    EXPECT_EQ(carrying, 41);
    ASSERT_EQ(run.bridge.sentFrames().size(), 1u);
    const SentFrame &sent = run.bridge.sentFrames().front();
    EXPECT_EQ(run.payload(), sent.bytes);
    expectDecodesAsIntended(run.payload(), sent.intended, "reassembled");
}

TEST(SimulatedBridge, EveryTwentyFifthAnswerIsALongFrame)
{
    BridgeRun run;
    const std::uint8_t request[9] = {0x00, 0x02, 0x5A, 0x00, 0, 0, 0, 0, 0};
    for (int i = 1; i < 25; ++i) {
        run.run(600);
        ASSERT_TRUE(run.bridge.write(request, sizeof request));
    }
    run.run(1000);
    const auto &frames = run.bridge.sentFrames();
    ASSERT_EQ(frames.size(), 25u);
    std::vector<std::uint8_t> sent;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].bytes.size(), i == 24 ? 361u : 41u);
        sent.insert(sent.end(), frames[i].bytes.begin(), frames[i].bytes.end());
    }
    EXPECT_EQ(run.payload(), sent);
    expectDecodesAsIntended(frames[24].bytes, frames[24].intended, "long frame");
}

TEST(SimulatedBridge, TheConfigurationReportGatesTheLine)
{
    struct Case {
        const char *what;
        std::vector<std::uint8_t> feature;
        std::size_t minBytes, maxBytes; // payload bytes that arrive
        bool intact;
    };
    const Case cases[] = {
        {"9600 baud, format 03", configuration(9600), 41, 41, true},
        {"no configuration", {}, 0, 0, false},
        {"4800 baud: about half as many bytes, all wrong", configuration(4800), 20, 21, false},
        {"2400 baud", configuration(2400), 10, 11, false},
        {"all rates off", configuration(0), 0, 0, false},
        {"9600 baud, wrong format", configuration(9600, 0x00), 41, 41, false},
    };
    for (const Case &c : cases) {
        BridgeRun run({}, c.feature);
        run.run(400);
        const std::vector<std::uint8_t> payload = run.payload();
        EXPECT_GE(payload.size(), c.minBytes) << c.what;
        EXPECT_LE(payload.size(), c.maxBytes) << c.what;
        const bool intact = !run.bridge.sentFrames().empty() && payload == run.bridge.sentFrames().front().bytes;
        EXPECT_EQ(intact, c.intact) << c.what;
    }
    SimulatedBridge bridge({}, 0);
    const std::uint8_t shortReport[5] = {0x00, 0x80, 0x25, 0x00, 0x00};
    EXPECT_FALSE(bridge.setFeature(shortReport, sizeof shortReport));
    EXPECT_FALSE(bridge.configured());
}

TEST(SimulatedBridge, SilenceAndGarbageOnCommand)
{
    BridgeRun silent;
    silent.bridge.setMeterSilent(true);
    const std::uint8_t request[9] = {0x00, 0x02, 0x5A, 0x00, 0, 0, 0, 0, 0};
    silent.bridge.write(request, sizeof request);
    silent.run(1000);
    // The answer to the request before the silence still comes; no other.
    EXPECT_EQ(silent.payload().size(), 41u);

    BridgeRun noisy;
    noisy.bridge.injectGarbage(30);
    noisy.run(40);
    EXPECT_EQ(noisy.payload().size(), 30u);
}

TEST(SimulatedHidPlatform, UnplugAndReplugChangeTheInstance)
{
    SimulatedHidPlatform sim;
    sim.startNotifications();
    // A descriptor to watch where the system has them (not on Windows).
    EXPECT_EQ(sim.notificationFd() >= 0, Wakeup().fd() >= 0);
    const std::vector<HidInterfaceInfo> before = sim.listInterfaces();
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0].path, SimulatedHidPlatform::devicePath);
    std::uint32_t error = 0;
    auto handle = sim.open(before[0], HidAccess::ReadWrite, error);
    ASSERT_TRUE(handle);
    const auto feature = configuration(9600);
    EXPECT_TRUE(handle->setFeature(feature.data(), feature.size()));
    EXPECT_FALSE(sim.takeNotifications());

    sim.unplug();
    EXPECT_TRUE(sim.takeNotifications());
    EXPECT_TRUE(sim.listInterfaces().empty());
    EXPECT_FALSE(handle->setFeature(feature.data(), feature.size())) << "handles of the gone device fail";
    EXPECT_FALSE(sim.open(before[0], HidAccess::QueryOnly, error));
    EXPECT_EQ(error, SimulatedHidPlatform::errorNoDevice);

    sim.replug();
    EXPECT_TRUE(sim.takeNotifications());
    const std::vector<HidInterfaceInfo> after = sim.listInterfaces();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_NE(after[0].instance, before[0].instance);
    EXPECT_FALSE(sim.configured()) << "a replugged bridge waits for its configuration again";
}

TEST(SimulatedHidPlatform, ReadStartsFailOnCommandAndReadsGetReports)
{
    SimulatedHidPlatform sim;
    std::uint32_t error = 0;
    auto reader = sim.open(sim.listInterfaces().at(0), HidAccess::AsyncRead, error);
    ASSERT_TRUE(reader);
    std::uint8_t buffer[9] = {};
    sim.failReadStarts(2);
    EXPECT_EQ(reader->startRead(buffer, sizeof buffer), SimulatedHidPlatform::errorIo);
    EXPECT_EQ(reader->startRead(buffer, sizeof buffer), SimulatedHidPlatform::errorIo);
    ASSERT_EQ(reader->startRead(buffer, sizeof buffer), 0u);
    EXPECT_EQ(reader->waitRead(0), HidWait::Pending);
    sim.advanceTo(1);
    EXPECT_EQ(reader->waitRead(0), HidWait::Completed);
    EXPECT_EQ(reader->readResult(), 9u);
    EXPECT_EQ(buffer[1], 0xF0) << "an idle line gives reports without payload";

    sim::Options options;
    options.readWriteAccess = false;
    SimulatedHidPlatform locked(options);
    EXPECT_FALSE(locked.open(locked.listInterfaces().at(0), HidAccess::ReadWrite, error));
    EXPECT_TRUE(locked.open(locked.listInterfaces().at(0), HidAccess::QueryOnly, error));
}

} // namespace
} // namespace tolmar
