#include "link/FrameAssembler.h"
#include "link/ReportBuilder.h"
#include "meter/FrameBuilder.h"

#include <gtest/gtest.h>

namespace tolmar {
namespace {

using test::burst;
using test::bytesOf;
using test::dataReport;
using test::idleReport;
using test::Report;

const std::vector<std::uint8_t> sampleBytes = bytesOf(test::sampleFrame);

// The assembler with recording calls: each display update and request.
struct Assembly {
    std::string statusPanel1;
    std::vector<std::string> decoded;
    std::vector<std::size_t> requestsAfter; // decodes done when each request went out
    std::optional<DecodeError> failWith;
    HistoryLog history;
    FrameAssembler assembler{statusPanel1, history,
                             {[this](const std::string &frame) -> std::optional<DecodeError> {
                                  decoded.push_back(frame);
                                  return failWith;
                              },
                              [this] { requestsAfter.push_back(decoded.size()); }}};

    void feed(const Report &r) { assembler.HidCtlDeviceData(r.id, r.data.data(), r.data.size()); }
    void feed(const std::vector<Report> &reports)
    {
        for (const Report &r : reports)
            feed(r);
    }
};

TEST(FrameAssembly, EverySplitOfAShortFrameDecodesOnceAfterTheClosingReport)
{
    // Bursts cut at every byte boundary, each burst packed 1..7 bytes per report.
    for (std::size_t perReport = 1; perReport <= 7; ++perReport) {
        for (std::size_t cut = 1; cut < sampleBytes.size(); ++cut) {
            Assembly a;
            a.feed(burst({sampleBytes.begin(), sampleBytes.begin() + static_cast<long>(cut)}, perReport));
            const auto second = burst({sampleBytes.begin() + static_cast<long>(cut), sampleBytes.end()}, perReport);
            a.feed(std::vector<Report>(second.begin(), second.end() - 1));
            ASSERT_TRUE(a.decoded.empty()) << "before the closing report, cut " << cut << " by " << perReport;
            a.feed(second.back());
            ASSERT_EQ(a.decoded, std::vector<std::string>{test::sampleFrame}) << cut << " by " << perReport;
            ASSERT_EQ(a.requestsAfter, std::vector<std::size_t>{1});
            EXPECT_EQ(a.statusPanel1, "Receive Data length:82");
        }
    }
}

TEST(FrameAssembly, TheWorkedCaptureOfSevensAndASix)
{
    Assembly a;
    std::size_t at = 0;
    for (const std::size_t n : {7, 7, 7, 7, 7, 6}) {
        a.feed(dataReport({sampleBytes.begin() + static_cast<long>(at), sampleBytes.begin() + static_cast<long>(at + n)}));
        at += n;
        EXPECT_TRUE(a.decoded.empty()) << "nothing before the report that closes the burst";
        a.feed(idleReport());
    }
    EXPECT_EQ(a.decoded.size(), 1u);
    EXPECT_EQ(a.requestsAfter.size(), 1u);
    EXPECT_EQ(a.assembler.USBtxt1, "82");
}

TEST(FrameAssembly, ReportsWithoutPayloadCloseABurstWhateverTheirCountDigit)
{
    std::vector<Report> closers;
    for (const std::uint8_t count : {0x00, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0xF0, 0x3A})
        closers.push_back(idleReport(count));
    closers.push_back(Report{0, {}}); // no data byte at all
    for (const Report &closer : closers) {
        Assembly a;
        auto reports = burst(sampleBytes);
        reports.back() = closer;
        a.feed(reports);
        EXPECT_EQ(a.decoded.size(), 1u) << "closer count byte " << (closer.data.empty() ? -1 : closer.data[0]);
    }
}

TEST(FrameAssembly, TheCountIsTheLowFourBits)
{
    Assembly a;
    for (std::size_t at = 0; at < 41; at += 7) {
        const std::size_t n = std::min<std::size_t>(7, 41 - at);
        a.feed(dataReport({sampleBytes.begin() + static_cast<long>(at), sampleBytes.begin() + static_cast<long>(at + n)},
                          0xF0));
    }
    a.feed(idleReport(0xF0));
    EXPECT_EQ(a.decoded, std::vector<std::string>{test::sampleFrame});
}

TEST(FrameAssembly, IdleCounts)
{
    Assembly a;
    a.feed(idleReport());
    a.feed(idleReport(0x0C));
    EXPECT_EQ(a.assembler.TimeoutIdleCount, 2);
    EXPECT_EQ(a.assembler.RequestIdleCount, 2);
    a.feed(Report{0, {}}); // no data byte: not counted
    EXPECT_EQ(a.assembler.TimeoutIdleCount, 2);
    a.feed(dataReport({0x5A}));
    EXPECT_EQ(a.assembler.TimeoutIdleCount, 0);
    EXPECT_EQ(a.assembler.RequestIdleCount, 0);
    EXPECT_TRUE(a.assembler.BurstPending);
    a.feed(idleReport());
    EXPECT_EQ(a.assembler.TimeoutIdleCount, 1);
    EXPECT_FALSE(a.assembler.BurstPending);
}

TEST(FrameAssembly, ALongFramePassesThroughAShortOne)
{
    const std::string longText = test::longFrame(test::sampleFrame, 0, [](int) { return "0102"; });
    const auto longBytes = bytesOf(longText);
    Assembly a;
    // The first bursts add up to exactly 41 bytes: decoded as a short frame.
    a.feed(burst({longBytes.begin(), longBytes.begin() + 20}));
    a.feed(burst({longBytes.begin() + 20, longBytes.begin() + 41}));
    ASSERT_EQ(a.decoded.size(), 1u);
    EXPECT_EQ(a.decoded[0], longText.substr(0, 82));
    // The rest in bursts of 40: decoded again at 361 bytes.
    for (std::size_t at = 41; at < longBytes.size(); at += 40)
        a.feed(burst({longBytes.begin() + static_cast<long>(at),
                      longBytes.begin() + static_cast<long>(std::min(longBytes.size(), at + 40))}));
    ASSERT_EQ(a.decoded.size(), 2u);
    EXPECT_EQ(a.decoded[1], longText);
    EXPECT_EQ(a.requestsAfter, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(a.statusPanel1, "Receive Data length:722");
}

TEST(FrameAssembly, AStartByteBurstDiscardsWhatCameBefore)
{
    const auto longBytes = bytesOf(test::longFrame(test::sampleFrame, 0, [](int) { return "0102"; }));
    Assembly a;
    a.feed(burst({longBytes.begin(), longBytes.begin() + 100}));
    a.feed(burst(sampleBytes)); // a new frame starts in the middle
    EXPECT_EQ(a.decoded, std::vector<std::string>{test::sampleFrame});
    EXPECT_EQ(a.assembler.ReceivedCount, 82u);
    EXPECT_EQ(a.assembler.Memo1, test::sampleFrame);
}

TEST(FrameAssembly, AStrayBurstAfterADecodeWaitsForTheNextStartByte)
{
    Assembly a;
    a.feed(burst(sampleBytes));
    a.feed(burst({0x01, 0x02, 0x03}));
    EXPECT_EQ(a.decoded.size(), 1u);
    EXPECT_EQ(a.statusPanel1, "Receive Data length:88");
    EXPECT_EQ(a.assembler.USBtxt1, "88");
    EXPECT_EQ(a.assembler.ReadingFrame(), test::sampleFrame + "010203");
    a.feed(burst(sampleBytes));
    EXPECT_EQ(a.decoded.size(), 2u);
}

TEST(FrameAssembly, AFailedDecodeIsLoggedNotRequestedAndNotRepeated)
{
    Assembly a;
    a.failWith = DecodeError{6, "sign: display byte D1 (frame byte 21) \"ZZ\" is not a hexadecimal byte"};
    a.feed(burst(sampleBytes));
    EXPECT_EQ(a.decoded.size(), 1u);
    EXPECT_TRUE(a.requestsAfter.empty());
    EXPECT_EQ(a.history.last(),
              "Frame not decoded, step 6: sign: display byte D1 (frame byte 21) \"ZZ\" is not a hexadecimal byte");
    EXPECT_FALSE(a.assembler.BurstPending);
    EXPECT_EQ(a.statusPanel1, "Receive Data length:82");
    a.feed(idleReport());
    a.feed(idleReport());
    EXPECT_EQ(a.decoded.size(), 1u);
}

TEST(FrameAssembly, AReportShorterThanItsCountGivesWhatItHolds)
{
    Assembly a;
    const std::uint8_t shortReport[] = {0x07, 0x5A, 0x00};
    a.assembler.HidCtlDeviceData(0, shortReport, sizeof shortReport);
    EXPECT_EQ(a.assembler.BurstText, "5A00");
}

TEST(FrameAssembly, HistoryLogHasOneLinePerDataReport)
{
    Assembly a;
    a.feed(burst(sampleBytes));
    ASSERT_EQ(a.history.size(), 6u);
    EXPECT_EQ(a.history.line(0), "R 00  07 5A 00 03 05 05 59 80 ");
    EXPECT_EQ(a.history.line(5), "R 00  06 33 6B 48 7A 00 2E 00 ");
    EXPECT_EQ(a.history.selected(), 5);
}

TEST(FrameAssembly, GarbageForeverKeepsCountingWithoutGrowingMemory)
{
    Assembly a;
    const std::vector<std::uint8_t> garbage(7, 0x11);
    for (int i = 0; i < 10000; ++i)
        a.feed(burst(garbage));
    EXPECT_EQ(a.statusPanel1, "Receive Data length:140000");
    EXPECT_LE(a.assembler.ReadingFrame().size(), 723u);
    EXPECT_LE(a.assembler.Memo1.size(), 723u);
    EXPECT_TRUE(a.decoded.empty());
    a.feed(burst(sampleBytes));
    EXPECT_EQ(a.decoded, std::vector<std::string>{test::sampleFrame});
}

TEST(HistoryLog, KeepsTheNewestLines)
{
    HistoryLog log(3);
    for (std::uint8_t i = 0; i < 5; ++i)
        log.appendReport(i, &i, 1);
    log.appendNote("note");
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log.line(0), "R 03  03 ");
    EXPECT_EQ(log.line(1), "R 04  04 ");
    EXPECT_EQ(log.line(2), "note");
    EXPECT_EQ(log.dropped(), 3u);
}

TEST(HistoryLog, ReportTextForm)
{
    const std::uint8_t data[] = {0x07, 0xab, 0x00};
    EXPECT_EQ(reportText(0x1f, data, 3), "R 1F  07 AB 00 ");
    EXPECT_EQ(reportText(0, nullptr, 0), "R 00  ");
}

} // namespace
} // namespace tolmar
