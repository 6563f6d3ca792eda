#include "platform/NumberText.h"

#include <charconv>
#include <climits>
#include <cstdint>

namespace tolmar {

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }
} // namespace

std::optional<int> parseInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<DisplayedNumber> splitDisplayedNumber(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    const auto digitsFrom = [&](std::size_t at) {
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            ++at;
        return at;
    };
    DisplayedNumber number;
    std::size_t at = 0;
    number.negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        ++at;
    const std::size_t wholeEnd = digitsFrom(at);
    number.whole = text.substr(at, wholeEnd - at);
    std::size_t end = wholeEnd;
    if (wholeEnd < text.size() && (text[wholeEnd] == '.' || text[wholeEnd] == ',')) {
        end = digitsFrom(wholeEnd + 1);
        number.fraction = text.substr(wholeEnd + 1, end - wholeEnd - 1);
    }
    if (end != text.size() || (number.whole.empty() && number.fraction.empty()))
        return std::nullopt;
    return number;
}

std::optional<double> parseFloat(std::string_view text, std::string_view decimalSeparator)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    text = text.substr(begin, end - begin);

    // The meter's own texts ("-12.34"): a sign, digits, and the separator
    // between digits, 15 digits at most. Those digits as a whole number and
    // the power of ten are both exact in a double, so one division gives the
    // correctly rounded value that from_chars gives, without the copy.
    {
        std::size_t i = 0;
        const bool negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        std::uint64_t digits = 0;
        int count = 0, whole = -1;
        while (i < text.size() && count <= 15) {
            if (isDigit(text[i])) {
                digits = digits * 10 + static_cast<std::uint64_t>(text[i++] - '0');
                ++count;
            } else if (whole < 0 && count > 0 && !decimalSeparator.empty()
                       && text.substr(i, decimalSeparator.size()) == decimalSeparator) {
                whole = count;
                i += decimalSeparator.size();
            } else {
                break;
            }
        }
        if (i == text.size() && count > 0 && count <= 15 && whole != count) {
            static constexpr double powersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
            const double value = static_cast<double>(digits) / powersOfTen[whole < 0 ? 0 : count - whole];
            return negative ? -value : value;
        }
    }

    // Rebuild the number with '.' as separator, then read it locale-free.
    std::string plain;
    plain.reserve(text.size());
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        plain += text[i++];
    int mantissaDigits = 0;
    bool separatorSeen = false;
    while (i < text.size()) {
        if (isDigit(text[i])) {
            plain += text[i++];
            ++mantissaDigits;
        } else if (!separatorSeen && !decimalSeparator.empty()
                   && text.substr(i, decimalSeparator.size()) == decimalSeparator) {
            plain += '.';
            i += decimalSeparator.size();
            separatorSeen = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            plain += text[i++];
        int exponentDigits = 0;
        while (i < text.size() && isDigit(text[i])) {
            plain += text[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    // from_chars ignores the process locale (the GUI runs with the user's)
    // and takes no leading '+'.
    const char *first = plain.data();
    const char *last = plain.data() + plain.size();
    if (*first == '+')
        ++first;
    double value = 0;
    const auto [stop, error] = std::from_chars(first, last, value);
    if (error != std::errc() || stop != last)
        return std::nullopt;
    return value;
}

} // namespace tolmar
