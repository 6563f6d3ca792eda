#include "platform/TextEncoding.h"

#include <cstdint>
#include <cstring>

namespace tolmar {

namespace {

// The sequence of two to four bytes at `at` and its code point; 0 when the
// bytes there are ASCII or no UTF-8. The same rules as Utf8Validator.
std::size_t decodeSequence(std::string_view bytes, std::size_t at, char32_t &code)
{
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() - at < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(at + k);
        if (next < low || next > high)
            return 0;
        code = (code << 6) | (next & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return length;
}

void appendHexByte(std::string &out, unsigned char byte)
{
    static constexpr char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

} // namespace

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

std::size_t utf8SequenceAt(std::string_view bytes, std::size_t at)
{
    char32_t code = 0;
    return decodeSequence(bytes, at, code);
}

char32_t windows1252Character(unsigned char byte)
{
    // 0x80..0x9F; the rest of the upper half is Latin-1.
    static constexpr char16_t upper[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    return byte >= 0x80 && byte < 0xA0 ? upper[byte - 0x80] : char32_t{byte};
}

void appendWindows1252AsUtf8(std::string &out, std::string_view text)
{
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80)
            out += ch;
        else
            appendUtf8(out, windows1252Character(byte));
    }
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

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        char32_t c = 0;
        const std::size_t length = decodeSequence(text, i, c);
        if (length == 0) {
            out += u'\xFFFD';
            ++i;
        } else if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
            i += length;
        } else {
            out += static_cast<char16_t>(c);
            i += length;
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::size_t appendEscaped(std::string &out, std::string_view bytes, std::size_t maxCharacters)
{
    std::size_t at = 0;
    for (std::size_t count = 0; at < bytes.size() && count < maxCharacters; ++count) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (const std::size_t size = utf8SequenceAt(bytes, at)) {
            if (byte == 0xC2 && static_cast<unsigned char>(bytes[at + 1]) < 0xA0) {
                appendHexByte(out, byte); // U+0080..U+009F
                appendHexByte(out, static_cast<unsigned char>(bytes[at + 1]));
            } else {
                out.append(bytes, at, size);
            }
            at += size;
            continue;
        }
        if (byte == '\\')
            out += "\\\\";
        else if (byte < 0x20 || byte >= 0x7F)
            appendHexByte(out, byte);
        else
            out += bytes[at];
        ++at;
    }
    return at;
}

std::string escapedText(std::string_view bytes, std::size_t maxCharacters)
{
    std::string out;
    if (appendEscaped(out, bytes, maxCharacters) < bytes.size())
        out += "...";
    return out;
}

} // namespace tolmar
