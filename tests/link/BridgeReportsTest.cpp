#include "link/BridgeReports.h"

#include <gtest/gtest.h>

namespace tolmar {
namespace {

TEST(BridgeReports, ConfigurationReportForEachBaudChoice)
{
    using R = std::array<std::uint8_t, 10>;
    const struct { const char *name; BaudOptions options; R report; } cases[] = {
        {"9600 alone, as at start-up", {false, false, true}, {0x00, 0x80, 0x25, 0, 0, 0x03, 0, 0, 0, 0}},
        {"all three: 2400 wins", {true, true, true}, {0x00, 0x60, 0x09, 0, 0, 0x03, 0, 0, 0, 0}},
        {"4800 and 9600", {false, true, true}, {0x00, 0xC0, 0x12, 0, 0, 0x03, 0, 0, 0, 0}},
        {"none", {false, false, false}, {0x00, 0, 0, 0, 0, 0x03, 0, 0, 0, 0}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(configurationReport(c.options), c.report) << c.name;
}

TEST(BridgeReports, RequestReportTakesTheOutputLength)
{
    EXPECT_EQ(requestReport(9), (std::vector<std::uint8_t>{0x00, 0x02, 0x5A, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(requestReport(3), (std::vector<std::uint8_t>{0x00, 0x02, 0x5A}));
    EXPECT_EQ(requestReport(2), (std::vector<std::uint8_t>{0x00, 0x02}));
    EXPECT_TRUE(requestReport(0).empty());
}

TEST(BridgeReports, DeviceDescriptions)
{
    EXPECT_EQ(DescribeDevice("USB to Serial", "", 0x1A86, 0xE008), "USB to Serial");
    EXPECT_EQ(DescribeDevice("USB to Serial", "0001", 0x1A86, 0xE008), "USB to Serial (Serial=0001)");
    EXPECT_EQ(DescribeDevice("", "", 0x1A2B, 0x003C), "Device VID=1A2B PID=003C");
    EXPECT_EQ(DescribeDevice("", "X9", 0xABCD, 0x0001), "Device VID=ABCD PID=0001 (Serial=X9)");
}

TEST(BridgeReports, LogLineOfBytes)
{
    const auto report = configurationReport({});
    EXPECT_EQ(hexBytesLine(report.data() + 1, 9), "80 25 00 00 03 00 00 00 00 ");
    EXPECT_EQ(hexBytesLine(nullptr, 0), "");
}

} // namespace
} // namespace tolmar
