#include "platform/NumberText.h"

#include <gtest/gtest.h>

namespace tolmar {
namespace {

TEST(HexByte, TakesExactlyTwoHexDigits)
{
    const struct { const char *text; std::optional<int> value; } cases[] = {
        {"00", 0}, {"5A", 0x5A}, {"5a", 0x5A}, {"FF", 255}, {"2E", 0x2E},
        {"", std::nullopt}, {"5", std::nullopt}, {"5A0", std::nullopt}, {"G0", std::nullopt},
        {" 5", std::nullopt}, {"-1", std::nullopt}, {"0x", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(hexByte(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParseInteger, SkipsLeadingBlanksOnly)
{
    const struct { const char *text; std::optional<int> value; } cases[] = {
        {"0066", 66}, {"-1234", -1234}, {"+12", 12}, {"  0750", 750}, {" -5", -5},
        {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
        {"", std::nullopt}, {" ", std::nullopt}, {"-", std::nullopt}, {"- 12", std::nullopt},
        {"12 ", std::nullopt}, {"1@05", std::nullopt}, {"1.23", std::nullopt}, {"A", std::nullopt},
        {"2147483648", std::nullopt}, {"$1A", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parseInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParseFloat, AcceptsTheLocaleSeparatorBlanksSignAndExponent)
{
    const struct { const char *text; const char *separator; std::optional<double> value; } cases[] = {
        {"00.66", ".", 0.66}, {"00,66", ",", 0.66}, {" -1.5 ", ".", -1.5}, {"+2", ".", 2.0},
        {"1E3", ".", 1000.0}, {"2,5e-1", ",", 0.25}, {".5", ".", 0.5}, {"5.", ".", 5.0},
        {"00.66", ",", std::nullopt}, {"1.2.3", ".", std::nullopt}, {"", ".", std::nullopt},
        {"-", ".", std::nullopt}, {"1e", ".", std::nullopt}, {" 0L", ".", std::nullopt},
        {"1 2", ".", std::nullopt}, {"1e999", ".", std::nullopt}, {"+-1", ".", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parseFloat(c.text, c.separator), c.value) << '"' << c.text << "\" with " << c.separator;
}

} // namespace
} // namespace tolmar
