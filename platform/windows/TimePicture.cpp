#include "platform/windows/TimePicture.h"

#include "platform/TextEncoding.h"
#include "platform/windows/HidRules.h"

#include <cstdio>
#include <vector>

namespace tolmar::winhid {

namespace {

enum class Element { Literal, Hour12, Hour24, Minute, Second, Designator };

struct Token {
    Element element = Element::Literal;
    bool wide = false;   // two letters: leading zero, or the whole designator
    std::string literal; // Element::Literal
};

std::vector<Token> tokenize(std::string_view picture)
{
    std::vector<Token> tokens;
    const auto literal = [&](std::string_view text) {
        if (tokens.empty() || tokens.back().element != Element::Literal)
            tokens.push_back({});
        tokens.back().literal += text;
    };
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == '\'') {
            ++i;
            if (i < picture.size() && picture[i] == '\'') { // '' outside quotes
                literal("'");
                ++i;
                continue;
            }
            while (i < picture.size()) {
                if (picture[i] == '\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                        literal("'");
                        i += 2;
                        continue;
                    }
                    ++i; // closing quote; an unclosed one runs to the end
                    break;
                }
                literal(picture.substr(i, 1));
                ++i;
            }
            continue;
        }
        Element element = Element::Literal;
        switch (c) {
        case 'h': element = Element::Hour12; break;
        case 'H': element = Element::Hour24; break;
        case 'm': element = Element::Minute; break;
        case 's': element = Element::Second; break;
        case 't': element = Element::Designator; break;
        default: break;
        }
        if (element == Element::Literal) {
            literal(picture.substr(i, 1));
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c)
            ++run;
        // More than two letters count as two, as Windows reads them.
        tokens.push_back({element, run >= 2, {}});
        i += run;
    }
    return tokens;
}

// The first character of a UTF-8 designator ("P" of "PM", "午" of "午後").
std::string_view firstCharacter(std::string_view text)
{
    if (text.empty())
        return text;
    const std::size_t length = utf8SequenceAt(text, 0);
    return text.substr(0, length ? length : 1);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::string formatTimePicture(std::string_view picture, const TimeOfDay &time, const TimeDesignators &designators)
{
    std::string out;
    const auto number = [&](int value, bool wide) {
        char text[16];
        std::snprintf(text, sizeof text, wide ? "%02d" : "%d", value);
        out += text;
    };
    for (const Token &token : tokenize(picture)) {
        switch (token.element) {
        case Element::Literal: out += token.literal; break;
        case Element::Hour12: number(time.hour % 12 == 0 ? 12 : time.hour % 12, token.wide); break;
        case Element::Hour24: number(time.hour, token.wide); break;
        case Element::Minute: number(time.minute, token.wide); break;
        case Element::Second: number(time.second, token.wide); break;
        case Element::Designator: {
            const std::string &designator = time.hour < 12 ? designators.am : designators.pm;
            out += token.wide ? std::string_view(designator) : firstCharacter(designator);
            break;
        }
        }
    }
    return out;
}

std::optional<TimeOfDay> parseTimePicture(std::string_view picture, std::string_view text,
                                          const TimeDesignators &designators)
{
    std::size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < text.size() && isBlank(text[at]))
            ++at;
    };
    // One or two digits in [low, high].
    const auto number = [&](int low, int high) -> std::optional<int> {
        skipBlanks();
        int value = 0, digits = 0;
        while (digits < 2 && at < text.size() && text[at] >= '0' && text[at] <= '9') {
            value = value * 10 + (text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || value < low || value > high)
            return std::nullopt;
        return value;
    };

    TimeOfDay time;
    int hour12 = -1; // the 12-hour clock's reading, -1 when the 24-hour one gave the hour
    bool afternoon = false;
    for (const Token &token : tokenize(picture)) {
        switch (token.element) {
        case Element::Literal:
            for (const char c : token.literal) {
                if (isBlank(c)) {
                    skipBlanks();
                } else if (at < text.size() && text[at] == c) {
                    ++at;
                } else {
                    return std::nullopt;
                }
            }
            break;
        case Element::Hour12:
            if (const auto value = number(1, 12))
                hour12 = *value;
            else
                return std::nullopt;
            break;
        case Element::Hour24:
            if (const auto value = number(0, 23)) {
                time.hour = *value;
                hour12 = -1;
            } else {
                return std::nullopt;
            }
            break;
        case Element::Minute:
            if (const auto value = number(0, 59))
                time.minute = *value;
            else
                return std::nullopt;
            break;
        case Element::Second:
            if (const auto value = number(0, 61))
                time.second = *value;
            else
                return std::nullopt;
            break;
        case Element::Designator: {
            skipBlanks();
            std::string_view am = designators.am, pm = designators.pm;
            if (!token.wide) {
                am = firstCharacter(am);
                pm = firstCharacter(pm);
            }
            if (am.empty() && pm.empty())
                break; // a locale without designators writes none
            // The longer first: one designator may begin with the other.
            const bool pmFirst = pm.size() > am.size();
            const std::string_view first = pmFirst ? pm : am, second = pmFirst ? am : pm;
            if (!first.empty() && startsWithFolded(text.substr(at), first)) {
                afternoon = pmFirst;
                at += first.size();
            } else if (!second.empty() && startsWithFolded(text.substr(at), second)) {
                afternoon = !pmFirst;
                at += second.size();
            } else {
                return std::nullopt;
            }
            break;
        }
        }
    }
    skipBlanks();
    if (at != text.size())
        return std::nullopt;
    // As strptime: the designator moves the 12-hour clock only; a 24-hour
    // hour stands as written.
    if (hour12 >= 0)
        time.hour = hour12 % 12 + (afternoon ? 12 : 0);
    return time;
}

int abbreviatedDayNameOffset(int dayOfWeek)
{
    return (((dayOfWeek % 7) + 7) % 7 + 6) % 7;
}

} // namespace tolmar::winhid
