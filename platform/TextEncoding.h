#pragma once

#include "platform/Utf8.h"

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

// Text bytes, for every layer. The program's texts are UTF-8; a byte that is
// not part of a UTF-8 sequence is the meter's own (0xB5 micro, 0xB0 degree)
// or comes from a file the Windows program wrote in its ANSI code page, and
// is read as Windows-1252 wherever it is shown or saved: the grid, the LCD
// texts, the files and the report all show byte 0x80 as the euro sign.
namespace tolmar {

// Checks bytes for UTF-8 as they arrive in blocks: a sequence may be split
// between two blocks.
class Utf8Validator {
public:
    // False from the first byte that cannot be UTF-8 on.
    bool feed(const char *bytes, std::size_t size);
    // True when the bytes so far are UTF-8 and no sequence is left open.
    bool complete() const { return m_valid && m_pending == 0; }
    bool valid() const { return m_valid; }

private:
    bool m_valid = true;
    int m_pending = 0;           // continuation bytes still expected
    unsigned char m_low = 0x80;  // range of the next continuation byte
    unsigned char m_high = 0xBF;
};

// True when all of `text` is UTF-8.
bool isUtf8(std::string_view text);

// The length of the UTF-8 sequence of two to four bytes that starts at
// `at`; 0 when the bytes there are ASCII or not UTF-8 (a lone 0xB5, a
// sequence cut short, an overlong form, a surrogate).
std::size_t utf8SequenceAt(std::string_view bytes, std::size_t at);

// The character of one byte read as Windows-1252. The five bytes the code
// page leaves undefined map to the C1 controls of the same number, as
// Windows does.
char32_t windows1252Character(unsigned char byte);

// Appends Windows-1252 text as UTF-8.
void appendWindows1252AsUtf8(std::string &out, std::string_view text);

// The text as UTF-8: as it is when it is UTF-8, else read as Windows-1252.
// `scratch` holds a converted text.
std::string_view asUtf8(std::string_view text, std::string &scratch);

// UTF-8 to UTF-16 (a device's strings); each byte of a malformed sequence
// becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// Bytes of a file or of an input as a message quotes them: control bytes
// (C1 ones included), bytes that are not UTF-8 and the backslash itself are
// escaped ("\x1b", "\xb5", "\\"), so what a file holds cannot drive the
// terminal the message is read on. Appends at most `maxCharacters`
// characters and returns how many bytes of `bytes` they took.
std::size_t appendEscaped(std::string &out, std::string_view bytes,
                          std::size_t maxCharacters = std::numeric_limits<std::size_t>::max());

// The bytes escaped as above, cut after `maxCharacters` characters with "...".
std::string escapedText(std::string_view bytes, std::size_t maxCharacters);

} // namespace tolmar
