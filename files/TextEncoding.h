#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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

// The text as UTF-8: as it is when it is UTF-8, else read as Windows-1252
// (a meter's own byte, such as 0xB5 for the micro sign). `scratch` holds a
// converted text.
std::string_view asUtf8(std::string_view text, std::string &scratch);

class ByteSource;
// Reads the rest of `source` through `validator`: true when all of the file
// is UTF-8. A reader that stops early at a fault asks this, so the records
// it keeps are decoded the same whatever the block sizes were.
// False too when `cancelled` says so between blocks.
bool restIsUtf8(ByteSource &source, Utf8Validator &validator, const std::function<bool()> &cancelled);

// Appends Windows-1252 text as UTF-8. The five bytes the code page leaves
// undefined map to the C1 controls of the same number, as Windows does.
void appendWindows1252AsUtf8(std::string &out, std::string_view text);

} // namespace tolmar
