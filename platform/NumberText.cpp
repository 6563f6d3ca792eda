#include "platform/NumberText.h"

#include <charconv>
#include <climits>

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

std::optional<double> parseFloat(std::string_view text, std::string_view decimalSeparator)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    text = text.substr(begin, end - begin);

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
