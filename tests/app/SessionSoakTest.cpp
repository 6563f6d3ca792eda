// Hours of a connected session on virtual time, recording every frame and
// at the 1 s interval: the link log fills once and stays at its cap, every
// frame decodes and is recorded once, and nothing else grows per report. The
// week runs in bench/SoakBench.cpp. Also a replay without a bridge, which
// raises the no-cable box at every frame's request.
#include "app/SteppedSession.h"
#include "cli/HeadlessForm.h"
#include "cli/StreamPrompts.h"
#include "platform/NoHidPlatform.h"

#include <gtest/gtest.h>

#include <malloc.h>

namespace tolmar {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || !defined(__GLIBC__)
// The sanitizers' own allocator keeps its books elsewhere; only glibc's
// malloc tells what is in use (mallinfo2).
constexpr bool mallocCounts = false;
std::size_t heapInUse() { return 0; }
#else
constexpr bool mallocCounts = true;
std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}
#endif

constexpr std::int64_t minuteMs = 60'000;

TEST(SessionSoak, TheLinkLogFillsOnceAndTheSessionStaysFlat)
{
    const struct {
        const char *name;
        bool everyFrame;
    } cases[] = {{"every frame", true}, {"1 s interval", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        test::SteppedSession session;
        MainForm &form = session.form;
        long frames = 0, failed = 0;
        form.setFrameObserver([&](const MeterReading &, const std::optional<DecodeError> &error, bool) {
            ++frames;
            failed += error.has_value();
        });
        if (c.everyFrame)
            form.recording.RecordSIClick(false);
        form.recording.limitessClick();
        session.connect();

        // About 250 log lines a second: the million is reached in about 70 minutes.
        session.advance(80 * minuteMs);
        const HistoryLog &log = form.HistoryListBox();
        ASSERT_EQ(log.size(), HistoryLog::defaultMaxLines);
        ASSERT_GT(log.dropped(), 0u);
        const std::size_t logBytes = log.bytesUsed();
        EXPECT_LE(logBytes, HistoryLog::defaultMaxBytes);
        const std::size_t heap = heapInUse();
        const std::size_t table = form.cds1.bytesUsed() + form.Chart1.bytesUsed();
        const long framesBefore = frames;

        session.advance(20 * minuteMs);
        EXPECT_GT(frames - framesBefore, 20 * 60 * 4) << "more than 4 frames a second";
        EXPECT_EQ(failed, 0);
        EXPECT_LE(log.bytesUsed(), logBytes + HistoryLog::blockSize + 8);
        if (mallocCounts) {
            const auto grown = static_cast<long>(heapInUse() - heap)
                - static_cast<long>(form.cds1.bytesUsed() + form.Chart1.bytesUsed() - table);
            EXPECT_LT(grown, 64 * 1024) << "the heap beyond the table and chart grew in 20 minutes";
        }
        EXPECT_TRUE(form.link().USBConDown);
        EXPECT_TRUE(session.prompts.shown.empty());

        // Once per frame, or once per sampling tick: never the same reading twice.
        const ReadingTable &records = form.cds1;
        ASSERT_GT(records.size(), 1u);
        if (c.everyFrame) {
            EXPECT_EQ(records.size(), static_cast<std::size_t>(frames));
        }
        for (std::size_t i = 1; i < records.size(); ++i) {
            const ReadingRecord before = records.at(i - 1), record = records.at(i);
            ASSERT_EQ(record.No, *before.No + 1) << i;
            // A tick comes 1 s after the frame that armed it, and both
            // sampling timers are off after each tick.
            if (!c.everyFrame) {
                ASSERT_GE(*record.Time - *before.Time, 1000) << i;
            }
        }
    }
}

// A replay without a bridge: each decoded frame's request finds no device
// and raises the no-cable box, answered and counted, not kept.
TEST(SessionSoak, AReplayWithoutABridgeKeepsNoBoxes)
{
    VirtualTime time;
    cli::HeadlessPrompts prompts;
    NoHidPlatform noHid;
    InlineUiDispatcher dispatcher;
    cli::HeadlessForm headless(std::string("."), {time, time, prompts, noHid, dispatcher});
    MainForm &form = headless.form();
    long frames = 0;
    form.setFrameObserver([&](const MeterReading &, const std::optional<DecodeError> &error, bool) {
        EXPECT_FALSE(error);
        ++frames;
    });
    // A short frame of the sample capture in reports of 7 bytes, each burst
    // closed by a report without payload.
    const std::uint8_t frame[41] = {0x5A, 0x00, 0x03, 0x05, 0x05, 0x59, 0x80, 0x01, 0x01, 0x01, 0x00,
                                    0x06, 0x00, 0x10, 0x00, 0x00, 0x0B, 0x00, 0x04, 0x00, 0x00, 0x20,
                                    0x30, 0x30, 0x2E, 0x36, 0x36, 0x20, 0x56, 0x20, 0x00, 0x32, 0x2E,
                                    0x30, 0x31, 0x33, 0x6B, 0x48, 0x7A, 0x00, 0x2E};
    const std::uint8_t idle[8] = {};
    const auto replay = [&](int count) {
        for (int n = 0; n < count; ++n) {
            for (std::size_t at = 0; at < sizeof frame; at += 7) {
                std::uint8_t report[8] = {static_cast<std::uint8_t>(std::min<std::size_t>(7, sizeof frame - at))};
                std::copy(frame + at, frame + at + report[0], report + 1);
                form.HidCtlDeviceData(0, report, sizeof report);
                form.HidCtlDeviceData(0, idle, sizeof idle);
            }
        }
    };
    replay(20'000);
    const std::size_t heap = heapInUse();
    const std::size_t logBytes = form.HistoryListBox().bytesUsed();
    replay(20'000);
    EXPECT_EQ(frames, 40'000);
    EXPECT_EQ(prompts.shown, 40'000u);
    EXPECT_EQ(prompts.last, UsbLink::noCableMessage);
    if (mallocCounts) {
        const auto grown = static_cast<long>(heapInUse() - heap)
            - static_cast<long>(form.HistoryListBox().bytesUsed() - logBytes);
        EXPECT_LT(grown, 64 * 1024) << "20,000 boxes cost no memory";
    }
}

} // namespace
} // namespace tolmar
