// The link log's caps: lines of any size keep it under its bytes, a report
// is kept up to the longest a HID device hands over, and what is kept reads
// back exactly as it was appended.
#include "link/HistoryLog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace tolmar {
namespace {

// The log's text of a report, written out here byte by byte.
std::string expectedText(std::uint8_t id, const std::vector<std::uint8_t> &data)
{
    char text[8];
    std::snprintf(text, sizeof text, "R %02X  ", id);
    std::string line = text;
    for (const std::uint8_t b : data) {
        std::snprintf(text, sizeof text, "%02X ", b);
        line += text;
    }
    return line;
}

std::vector<std::uint8_t> counting(std::size_t size, std::size_t from = 0)
{
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>(from + i);
    return data;
}

TEST(HistoryLogCap, StaysUnderItsBytesWhateverTheLineSizes)
{
    const struct {
        std::size_t reportSize;
        std::size_t maxBytes;
        int appends;
        std::size_t keptAtLeast; // lines: about half the cap's worth of them
    } cases[] = {
        {8, 64 * 1024, 100'000, 2'000},      // the bridge's 8 data bytes: 10 bytes a line
        {0, 64 * 1024, 100'000, 6'000},      // a report without data: 2 bytes
        {300, 256 * 1024, 20'000, 400},
        {65'534, 1 << 20, 100, 7},           // the longest report
        {3 << 20, 1 << 20, 20, 7},           // a replayed line of 3 MiB: cut to the longest report
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.reportSize) + " bytes a report, cap " + std::to_string(c.maxBytes));
        HistoryLog log(1'000'000, c.maxBytes);
        const std::vector<std::uint8_t> data = counting(c.reportSize);
        for (int i = 0; i < c.appends; ++i) {
            log.appendReport(static_cast<std::uint8_t>(i), data.data(), data.size());
            ASSERT_LE(log.bytesUsed(), c.maxBytes) << "after " << i + 1;
            ASSERT_EQ(log.size() + log.dropped(), static_cast<std::size_t>(i + 1));
        }
        EXPECT_GE(log.size(), c.keptAtLeast);
        // The newest line is whole (as far as a report is kept).
        const std::vector<std::uint8_t> kept(data.begin(), data.begin() + std::min<std::size_t>(data.size(), 65'534));
        EXPECT_EQ(log.last(), expectedText(static_cast<std::uint8_t>(c.appends - 1), kept));
    }
}

TEST(HistoryLogCap, AReportIsKeptUpToTheLongestAHidDeviceHandsOver)
{
    // 65,535 bytes with the report ID: 65,534 data bytes, each "XX " in the
    // line after the 6 characters of "R 07  ".
    const struct {
        std::size_t size;
        std::size_t lineLength;
        const char *ending; // the last kept byte: (kept - 1) mod 256
    } cases[] = {
        {65'533, 6 + 3 * 65'533, "FB FC "},
        {65'534, 6 + 3 * 65'534, "FC FD "},
        {65'535, 6 + 3 * 65'534, "FC FD "},
        {3 << 20, 6 + 3 * 65'534, "FC FD "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size);
        HistoryLog log;
        const std::vector<std::uint8_t> data = counting(c.size);
        log.appendReport(7, data.data(), data.size());
        const std::string line = log.line(0);
        EXPECT_EQ(line.size(), c.lineLength);
        EXPECT_EQ(line.substr(0, 18), "R 07  00 01 02 03 ");
        EXPECT_EQ(line.substr(line.size() - 6), c.ending);
    }
    HistoryLog log;
    log.appendNote(std::string(100'000, 'x'));
    EXPECT_EQ(log.line(0), std::string(65'534, 'x'));
}

TEST(HistoryLogCap, EveryKeptLineReadsBackAsAppended)
{
    // Lines of 0 to 299 data bytes and notes, over block edges and the marks
    // of every 64th line, while both caps drop the oldest.
    const struct {
        std::size_t maxLines;
        std::size_t maxBytes;
    } caps[] = {{5'000, std::size_t{100} * 1024}, {700, std::size_t{16} << 20}, {1'000'000, 40 * 1024}};
    for (const auto &cap : caps) {
        SCOPED_TRACE(std::to_string(cap.maxLines) + " lines, " + std::to_string(cap.maxBytes) + " bytes");
        HistoryLog log(cap.maxLines, cap.maxBytes);
        std::vector<std::string> appended;
        for (std::size_t i = 0; i < 20'000; ++i) {
            if (i % 97 == 0) {
                appended.push_back("note " + std::to_string(i));
                log.appendNote(appended.back());
            } else {
                const std::vector<std::uint8_t> data = counting(i * 7 % 300, i);
                appended.push_back(expectedText(static_cast<std::uint8_t>(i), data));
                log.appendReport(static_cast<std::uint8_t>(i), data.data(), data.size());
            }
        }
        ASSERT_EQ(log.size() + log.dropped(), appended.size());
        ASSERT_LE(log.size(), cap.maxLines);
        ASSERT_LE(log.bytesUsed(), cap.maxBytes);
        for (std::size_t i = 0; i < log.size(); ++i)
            ASSERT_EQ(log.line(i), appended[log.dropped() + i]) << "line " << i;
        EXPECT_EQ(log.selected(), static_cast<long>(log.size()) - 1);
        EXPECT_THROW(log.line(log.size()), std::out_of_range);
    }
}

TEST(HistoryLogCap, BridgeReportsFillItOnceAndItStaysThere)
{
    // A connected session adds about 250 bridge lines a second: 3 million is
    // over three hours. The line cap comes first, at 10 bytes a line
    // and an offset for every 64th.
    HistoryLog log;
    std::uint8_t report[8] = {0xF1, 0x5A, 0, 0, 0, 0, 0, 0};
    std::size_t bytesWhenFull = 0;
    for (int i = 1; i <= 3'000'000; ++i) {
        report[1] = static_cast<std::uint8_t>(i);
        log.appendReport(0, report, sizeof report);
        if (i == 1'000'000)
            bytesWhenFull = log.bytesUsed();
    }
    EXPECT_EQ(log.size(), 1'000'000u);
    EXPECT_EQ(log.dropped(), 2'000'000u);
    EXPECT_LE(bytesWhenFull, 10'200'000u);
    EXPECT_LE(log.bytesUsed(), bytesWhenFull + HistoryLog::blockSize + 8);
    EXPECT_EQ(log.line(0), "R 00  F1 81 00 00 00 00 00 00 "); // report 2,000,001: 0x1E8481
    EXPECT_EQ(log.last(), "R 00  F1 C0 00 00 00 00 00 00 ");  // report 3,000,000: 0x2DC6C0
}

} // namespace
} // namespace tolmar
