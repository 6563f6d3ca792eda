#include "platform/linux/HidReportDescriptor.h"

#include <gtest/gtest.h>

#include <vector>

namespace tolmar {
namespace {

std::vector<std::uint8_t> bytes(const std::string &hex)
{
    std::vector<std::uint8_t> out;
    std::string digits;
    for (const char c : hex)
        if (c != ' ')
            digits += c;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}

struct Case {
    const char *what;
    const char *descriptor;
    HidReportLengths lengths; // hand-counted
    bool numbered;
};

// Lengths counted by hand: per report type and ID, the sum of Report Size x
// Report Count over its main items, the longest report, in whole bytes, plus
// the ID byte.
const Case cases[] = {
    {"vendor bridge, no IDs: 8 x 8 in, 8 x 8 out, 5 x 8 feature",
     "06A0FF 0901 A101 0902 1500 26FF00 7508 9508 8102 0903 7508 9508 9102 0904 7508 9505 B102 C0",
     {9, 9, 6}, false},
    {"mouse report 1 (3 + 5 padding + 16 bits), keyboard report 2 (8 + 8 + 48 in, 5 + 3 out)",
     "050109 02A101 8501 0509 1901 2903 1500 2501 9503 7501 8102 9501 7505 8103 "
     "0501 0930 0931 1581 257F 7508 9502 8106 C0 "
     "050109 06A101 8502 0507 19E0 29E7 1500 2501 7501 9508 8102 9501 7508 8101 "
     "9506 7508 1500 2565 0507 1900 2965 8100 9505 7501 0508 1901 2905 9102 9501 7503 9101 C0",
     {9, 2, 0}, true},
    {"Push keeps 8 x 4; 16 x 3 in between; Pop restores it",
     "7508 9504 A4 7510 9503 8102 B4 8102 9102", {11, 5, 0}, false},
    {"Pop restores the report ID as well: 24 bits in ID 1, 8 bits in ID 2",
     "8501 7508 9501 A4 8502 8102 B4 8102 8102 8102", {4, 0, 0}, true},
    {"a long item is skipped whole, data that looks like items included",
     "7508 9502 8102 FE03 10 954081 8102", {5, 0, 0}, false},
    {"12 bits round up to 2 bytes",
     "7504 9503 8102", {3, 0, 0}, false},
    {"4-byte item data: Report Size 8, Report Count 2",
     "77 08000000 97 02000000 B102", {0, 0, 3}, false},
    {"only a feature report", "7508 9509 B103", {0, 0, 10}, false},
    {"empty descriptor", "", {0, 0, 0}, false},
};

TEST(HidReportDescriptor, LengthsOfHandCheckedDescriptors)
{
    for (const Case &c : cases) {
        const auto summary = parseReportDescriptor(bytes(c.descriptor));
        ASSERT_TRUE(summary) << c.what;
        EXPECT_EQ(summary->lengths, c.lengths) << c.what;
        EXPECT_EQ(summary->numberedReports, c.numbered) << c.what;
    }
}

TEST(HidReportDescriptor, MalformedDescriptorsGiveNothing)
{
    for (const char *descriptor : {"75", "7508 96FF", "7508 9501 B4 8102", "FE05 10 0102", "FE"})
        EXPECT_FALSE(parseReportDescriptor(bytes(descriptor))) << descriptor;
    // Nesting without end is refused rather than grown without bound.
    EXPECT_FALSE(parseReportDescriptor(std::vector<std::uint8_t>(100000, 0xA4)));
}

TEST(HidReportDescriptor, HugeCountsAreCappedNotWrapped)
{
    // 2^32-1 fields of 2^32-1 bits would overflow 32 bits many times over.
    const auto summary = parseReportDescriptor(bytes("77 FFFFFFFF 97 FFFFFFFF 8102 8102 8102"));
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->lengths.InputReportByteLength, 0xFFFF);
}

} // namespace
} // namespace tolmar
