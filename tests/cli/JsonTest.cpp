#include "cli/CliRun.h" // tests/cli
#include "cli/Json.h"
#include "files/TextEncoding.h"
#include "meter/FrameBuilder.h" // tests/meter

#include <gtest/gtest.h>

namespace tolmar {
namespace {

struct QuoteCase {
    const char *name;
    std::string bytes;
    std::string json;
};

TEST(Json, QuoteKeepsUtf8AndTakesOtherBytesAsLatin1)
{
    const QuoteCase cases[] = {
        {"ascii", "00.66", "\"00.66\""},
        {"Arabic decimal separator U+066B", "00\xD9\xAB" "66", "\"00\xD9\xAB" "66\""},
        {"micro sign in UTF-8", "\xC2\xB5V", "\"\xC2\xB5V\""},
        {"the meter's micro byte", "\xB5V", "\"\\u00B5V\""},
        {"the meter's degree byte", "\xB0", "\"\\u00B0\""},
        {"meter byte beside UTF-8", "\xB5\xE2\x80\xAF" "A", "\"\\u00B5\xE2\x80\xAF" "A\""},
        {"four-byte sequence", "\xF0\x9F\x94\x8B", "\"\xF0\x9F\x94\x8B\""},
        {"sequence cut short at the end", "1\xE2\x82", "\"1\\u00E2\\u0082\""},
        {"lead byte before ASCII", "\xC3" "A", "\"\\u00C3A\""},
        {"lone continuation byte", "\x80", "\"\\u0080\""},
        {"overlong slash", "\xC0\xAF", "\"\\u00C0\\u00AF\""},
        {"overlong three-byte form", "\xE0\x80\xAF", "\"\\u00E0\\u0080\\u00AF\""},
        {"surrogate", "\xED\xA0\x80", "\"\\u00ED\\u00A0\\u0080\""},
        {"past U+10FFFF", "\xF4\x90\x80\x80", "\"\\u00F4\\u0090\\u0080\\u0080\""},
        {"C1 control CSI as UTF-8", "\xC2\x9B" "2J", "\"\\u009B2J\""},
        {"no-break space U+00A0 stays", "\xC2\xA0", "\"\xC2\xA0\""},
        {"escape", "\x1B[2J", "\"\\u001B[2J\""},
        {"delete", "\x7F", "\"\\u007F\""},
        {"nul", std::string("\0", 1), "\"\\u0000\""},
        {"quote, backslash, line ends, tab", "a\"b\\c\nd\re\tf", "\"a\\\"b\\\\c\\nd\\re\\tf\""},
    };
    for (const QuoteCase &c : cases) {
        const std::string json = json::quote(c.bytes);
        EXPECT_EQ(json, c.json) << c.name;
        EXPECT_TRUE(isUtf8(json)) << c.name;
    }
}

TEST(CliJson, Utf8DecimalSeparatorIsWrittenAsItIs)
{
    const std::string separator = "\xD9\xAB"; // U+066B ARABIC DECIMAL SEPARATOR
    const test::CliRun decoded = test::runCli({"decode", "--decimal-separator", separator, test::sampleFrame});
    EXPECT_EQ(decoded.status, 0);
    EXPECT_NE(decoded.out.find("\"Point1Text\": \"" + separator + "\""), std::string::npos) << decoded.out;
    EXPECT_NE(decoded.out.find("\"ValueText\": \"00" + separator + "66\""), std::string::npos) << decoded.out;

    const test::CliRun recorded = test::runCli({"replay", "--record", "--every-frame", "--decimal-separator",
                                                separator, TOLMAR_TEST_DATA "/sample-capture.txt"});
    EXPECT_EQ(recorded.status, 0) << recorded.err;
    EXPECT_NE(recorded.out.find("\"Value\": \"00" + separator + "66\""), std::string::npos) << recorded.out;
}

} // namespace
} // namespace tolmar
