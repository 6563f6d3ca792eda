#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace tolmar {
namespace {

// One row per kind of text: whether it is UTF-8, what the program stores and
// shows for it, and how a message quotes it.
TEST(TextEncoding, ChecksConvertsAndEscapes)
{
    const struct {
        const char *name;
        std::string bytes;
        bool utf8;
        std::string shown;  // asUtf8: the grid, the LCD texts, the files, the report
        std::string quoted; // escapedText: a message
    } cases[] = {
        {"ASCII", "+1.50 V", true, "+1.50 V", "+1.50 V"},
        {"control bytes and a backslash", "\x1b]0;pwned\a\\", true, "\x1b]0;pwned\a\\", "\\x1b]0;pwned\\x07\\\\"},
        {"UTF-8 of two, three and four bytes", "\xC2\xB5V \xD9\xAB \xE2\x82\xAC \xF0\x9F\x94\x8B", true,
         "\xC2\xB5V \xD9\xAB \xE2\x82\xAC \xF0\x9F\x94\x8B", "\xC2\xB5V \xD9\xAB \xE2\x82\xAC \xF0\x9F\x94\x8B"},
        {"a C1 control in UTF-8", "a\xC2\x85", true, "a\xC2\x85", "a\\xc2\\x85"},
        {"the meter's micro sign", "\xB5V", false, "\xC2\xB5V", "\\xb5V"},
        {"0x80 is the euro sign", "\x80", false, "\xE2\x82\xAC", "\\x80"},
        {"0x9F", "\x9F", false, "\xC5\xB8", "\\x9f"},
        {"an undefined byte of the code page", "\x81", false, "\xC2\x81", "\\x81"},
        {"a cut sequence", "1\xE2\x82", false, "1\xC3\xA2\xE2\x80\x9A", "1\\xe2\\x82"},
        {"a cut sequence before ASCII", "\xE2\x82" "A", false, "\xC3\xA2\xE2\x80\x9A" "A", "\\xe2\\x82A"},
        {"an overlong form", "\xC0\xAF", false, "\xC3\x80\xC2\xAF", "\\xc0\\xaf"},
        {"a surrogate", "\xED\xA0\x80", false, "\xC3\xAD\xC2\xA0\xE2\x82\xAC", "\\xed\\xa0\\x80"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false, "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC",
         "\\xf4\\x90\\x80\\x80"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isUtf8(c.bytes), c.utf8);
        std::string scratch;
        EXPECT_EQ(asUtf8(c.bytes, scratch), c.shown);
        EXPECT_TRUE(isUtf8(asUtf8(c.bytes, scratch)));
        EXPECT_EQ(escapedText(c.bytes, 80), c.quoted);
        // Fed in two blocks, cut at every byte: the same answer.
        for (std::size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            Utf8Validator validator;
            validator.feed(c.bytes.data(), cut);
            validator.feed(c.bytes.data() + cut, c.bytes.size() - cut);
            EXPECT_EQ(validator.complete(), c.utf8) << "cut at " << cut;
        }
    }
}

TEST(TextEncoding, ReadsTheUpperHalfAsWindows1252)
{
    // 0x80..0x9F as the code page has them; the five it leaves undefined
    // stay C1 controls. The rest of the upper half is Latin-1.
    const char32_t expected[32] = {
        U'€', 0x81, U'‚', U'ƒ', U'„', U'…', U'†', U'‡', U'ˆ', U'‰', U'Š', U'‹', U'Œ', 0x8D, U'Ž', 0x8F,
        0x90, U'‘', U'’', U'“', U'”', U'•', U'–', U'—', U'˜', U'™', U'š', U'›', U'œ', 0x9D, U'ž', U'Ÿ',
    };
    for (unsigned byte = 0x80; byte < 0xA0; ++byte)
        EXPECT_EQ(windows1252Character(static_cast<unsigned char>(byte)), expected[byte - 0x80]) << byte;
    EXPECT_EQ(windows1252Character(0xA0), U'\u00A0');
    EXPECT_EQ(windows1252Character(0xB5), U'µ');
    EXPECT_EQ(windows1252Character(0xFF), U'ÿ');
    EXPECT_EQ(windows1252Character('A'), U'A');
}

TEST(TextEncoding, CutsAQuoteAfterWholeCharacters)
{
    // Never inside a sequence: "…" is three bytes.
    EXPECT_EQ(escapedText("ab\xE2\x80\xA6" "cd", 3), "ab\xE2\x80\xA6...");
    EXPECT_EQ(escapedText("\x1b\x1b\x1b", 2), "\\x1b\\x1b...");
    EXPECT_EQ(escapedText("abc", 3), "abc");
    std::string out;
    EXPECT_EQ(appendEscaped(out, "\xC2\xB5\xC2\xB5", 1), 2u);
    EXPECT_EQ(out, "\xC2\xB5");
}

} // namespace
} // namespace tolmar
