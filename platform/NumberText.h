#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Text-to-number conversions with the desktop's tolerant rules. Every number
// the meter sends is handled as text, so these are the program's only parsers.
namespace tolmar {

namespace detail {
// The value of each hex digit character (either case), -1 for any other byte.
inline constexpr auto hexDigitValues = [] {
    struct Table { signed char value[256]; } table{};
    for (int c = 0; c < 256; ++c)
        table.value[c] = static_cast<signed char>(c >= '0' && c <= '9' ? c - '0'
                                                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                         : -1);
    return table;
}();
} // namespace detail

// Two hexadecimal digits (either case) as one byte; anything else fails.
// Inline: a long frame converts 322 of them.
inline std::optional<int> hexByte(std::string_view text)
{
    if (text.size() != 2)
        return std::nullopt;
    const int high = detail::hexDigitValues.value[static_cast<unsigned char>(text[0])];
    const int low = detail::hexDigitValues.value[static_cast<unsigned char>(text[1])];
    if ((high | low) < 0)
        return std::nullopt;
    return high * 16 + low;
}

// Appends a byte as two uppercase hexadecimal digits: the inverse of hexByte.
inline void appendHexByte(std::string &text, std::uint8_t byte)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    text += digits[byte >> 4];
    text += digits[byte & 0x0F];
}

// A decimal integer: leading blanks skipped, an optional sign, then digits and
// nothing else. Fails on an empty text, other characters or 32-bit overflow.
std::optional<int> parseInteger(std::string_view text);

// A floating-point number with the given decimal separator: blanks around it,
// an optional sign, digits with at most one separator, an optional exponent
// (E or e, optional sign, digits). Fails on anything else.
std::optional<double> parseFloat(std::string_view text, std::string_view decimalSeparator);

// A meter's display text read as a plain number, whatever the locale: blanks
// around it, a sign, digits and at most one decimal separator (point or
// comma). Nullopt for anything else (an overload's L, blanks inside).
struct DisplayedNumber {
    bool negative = false;
    std::string_view whole;    // may be empty (".5")
    std::string_view fraction; // may be empty ("12", "12.")
};
std::optional<DisplayedNumber> splitDisplayedNumber(std::string_view text);

} // namespace tolmar
