#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>

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

// Short plain texts take a quicker way than longer ones: both must give
// from_chars' correctly rounded value, to the bit.
TEST(ParseFloat, PlainTextsAreCorrectlyRoundedWhateverTheirLength)
{
    const auto reference = [](std::string text) {
        double value = 0;
        std::from_chars(text.data(), text.data() + text.size(), value);
        return value;
    };
    const struct { const char *text; const char *separator; const char *plain; } cases[] = {
        {"0.1", ".", "0.1"}, {"-39.99", ".", "-39.99"}, {"999999999999999", ".", "999999999999999"},
        {"9999999999999999", ".", "9999999999999999"}, {"0.000000000000001", ".", "0.000000000000001"},
        {"1234567.89012345", ".", "1234567.89012345"}, {"1234567.890123456", ".", "1234567.890123456"},
        {"100000000.1", ".", "100000000.1"}, {"3\u066B14", "\u066B", "3.14"}, {"-0", ".", "-0"},
        {"0.30000000000000004", ".", "0.30000000000000004"},
    };
    for (const auto &c : cases) {
        const auto value = parseFloat(c.text, c.separator);
        ASSERT_TRUE(value) << c.text;
        EXPECT_EQ(std::signbit(*value), std::signbit(reference(c.plain))) << c.text;
        EXPECT_EQ(*value, reference(c.plain)) << c.text;
    }
    std::mt19937_64 random(3);
    for (int n = 0; n < 100'000; ++n) {
        const int digits = 1 + static_cast<int>(random() % 17);
        std::string text = random() % 2 ? "-" : "";
        for (int d = 0; d < digits; ++d)
            text += static_cast<char>('0' + random() % 10);
        text.insert(text.size() - static_cast<std::size_t>(random() % static_cast<unsigned>(digits)), ",");
        if (text.back() == ',')
            continue;
        std::string plain = text;
        plain[plain.find(',')] = '.';
        ASSERT_EQ(parseFloat(text, ","), reference(plain)) << text;
    }
}

} // namespace
} // namespace tolmar
