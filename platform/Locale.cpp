#include "platform/Locale.h"

#include "platform/NumberText.h"

#include <cstdio>

namespace tolmar {

std::string FixedLocale::shortDayName(int dayOfWeek) const
{
    return dayNames[((dayOfWeek % 7) + 7) % 7];
}

std::string FixedLocale::formatLongTime(const TimeOfDay &time) const
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    return text;
}

std::optional<TimeOfDay> FixedLocale::parseLongTime(std::string_view text) const
{
    // H:mm or H:mm:ss, each part a plain number in range.
    int parts[3] = {0, 0, 0};
    int count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = text.find(':', start);
        const auto value = parseInteger(text.substr(start, colon == std::string_view::npos ? colon : colon - start));
        if (!value || *value < 0 || count == 3)
            return std::nullopt;
        parts[count++] = *value;
        if (colon == std::string_view::npos)
            break;
        start = colon + 1;
    }
    if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
        return std::nullopt;
    return TimeOfDay{parts[0], parts[1], parts[2]};
}

} // namespace tolmar
