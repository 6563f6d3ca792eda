#include "cli/RecordJson.h"

#include "cli/Json.h"

#include <cstdio>

namespace tolmar {

std::string timeOfDayText(std::int32_t ms)
{
    char text[24];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return text;
}

std::string recordJson(const ReadingRecord &record)
{
    json::ObjectWriter o;
    const auto number = [&o](const char *key, const std::optional<std::int32_t> &value) {
        if (value)
            o.number(key, *value);
        else
            o.raw(key, "null");
    };
    const auto text = [&o](const char *key, std::string_view value) {
        if (value.empty())
            o.raw(key, "null"); // an empty text is a null field
        else
            o.text(key, value);
    };
    number("No", record.No);
    if (record.Time)
        o.text("Time", timeOfDayText(*record.Time));
    else
        o.raw("Time", "null");
    text("DC/AC", record.DCAC);
    text("Value", record.Value);
    text("Unit", record.Unit);
    text("Auto", record.Auto);
    number("Nval", record.Nval);
    return o.str();
}

} // namespace tolmar
