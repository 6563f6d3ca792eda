#include "files/TextEncoding.h"

#include "files/ByteStreams.h"
#include "platform/Utf8.h"

#include <vector>

#include <cstring>

namespace tolmar {

bool Utf8Validator::feed(const char *bytes, std::size_t size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    const auto *end = p + size;
    while (m_valid && p < end) {
        if (m_pending == 0) {
            // Eight ASCII bytes at a time: the packet is almost all ASCII.
            while (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, 8);
                if (word & 0x8080808080808080ull)
                    break;
                p += 8;
            }
            if (p == end)
                break;
            const unsigned char lead = *p++;
            if (lead < 0x80)
                continue;
            m_low = 0x80;
            m_high = 0xBF;
            if (lead >= 0xC2 && lead <= 0xDF) {
                m_pending = 1;
            } else if (lead >= 0xE0 && lead <= 0xEF) {
                m_pending = 2;
                if (lead == 0xE0)
                    m_low = 0xA0; // no overlong forms
                else if (lead == 0xED)
                    m_high = 0x9F; // no surrogates
            } else if (lead >= 0xF0 && lead <= 0xF4) {
                m_pending = 3;
                if (lead == 0xF0)
                    m_low = 0x90;
                else if (lead == 0xF4)
                    m_high = 0x8F; // nothing past U+10FFFF
            } else {
                m_valid = false;
            }
        } else {
            const unsigned char next = *p++;
            if (next < m_low || next > m_high)
                m_valid = false;
            m_low = 0x80;
            m_high = 0xBF;
            --m_pending;
        }
    }
    return m_valid;
}

bool isUtf8(std::string_view text)
{
    Utf8Validator validator;
    return validator.feed(text.data(), text.size()) && validator.complete();
}

std::string_view asUtf8(std::string_view text, std::string &scratch)
{
    bool ascii = true;
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii || isUtf8(text))
        return text;
    scratch.clear();
    appendWindows1252AsUtf8(scratch, text);
    return scratch;
}

bool restIsUtf8(ByteSource &source, Utf8Validator &validator, const std::function<bool()> &cancelled)
{
    std::vector<char> block(1 << 16);
    for (;;) {
        if (cancelled())
            return false;
        const std::ptrdiff_t n = source.read(block.data(), block.size());
        if (n < 0)
            return validator.valid(); // what could be read decides
        if (n == 0)
            return validator.complete();
        if (!validator.feed(block.data(), static_cast<std::size_t>(n)))
            return false;
    }
}

void appendWindows1252AsUtf8(std::string &out, std::string_view text)
{
    // 0x80..0x9F; the rest of the upper half is Latin-1.
    static constexpr char16_t upper[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80)
            out += ch;
        else
            appendUtf8(out, byte < 0xA0 ? upper[byte - 0x80] : char32_t{byte});
    }
}

} // namespace tolmar
