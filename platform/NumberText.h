#pragma once

#include <optional>
#include <string>
#include <string_view>

// Text-to-number conversions with the desktop's tolerant rules. Every number
// the meter sends is handled as text, so these are the program's only parsers.
namespace tolmar {

// Two hexadecimal digits (either case) as one byte; anything else fails.
std::optional<int> hexByte(std::string_view text);

// A decimal integer: leading blanks skipped, an optional sign, then digits and
// nothing else. Fails on an empty text, other characters or 32-bit overflow.
std::optional<int> parseInteger(std::string_view text);

// A floating-point number with the given decimal separator: blanks around it,
// an optional sign, digits with at most one separator, an optional exponent
// (E or e, optional sign, digits). Fails on anything else.
std::optional<double> parseFloat(std::string_view text, std::string_view decimalSeparator);

} // namespace tolmar
