#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolmar {

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const TimeOfDay &) const = default;
};

// The user's regional settings. Each call reads the current setting, so a
// change of locale reaches the next decode without a restart.
class Locale {
public:
    virtual ~Locale() = default;

    // The user locale's decimal separator ("." or "," and so on).
    virtual std::string decimalSeparator() const = 0;
    // The system-default locale's decimal separator; nullopt when it cannot be read.
    virtual std::optional<std::string> systemDecimalSeparator() const = 0;
    // Abbreviated day name in the user's language; dayOfWeek 0 = Sunday.
    virtual std::string shortDayName(int dayOfWeek) const = 0;
    // A time of day in the user's long time format, and back.
    virtual std::string formatLongTime(const TimeOfDay &time) const = 0;
    virtual std::optional<TimeOfDay> parseLongTime(std::string_view text) const = 0;
};

// Settings fixed by the caller: tests, and `tolmar-cli --decimal-separator`.
// The long time format is "HH:mm:ss".
class FixedLocale final : public Locale {
public:
    FixedLocale() = default;
    explicit FixedLocale(std::string separator) : separator(std::move(separator)) {}

    std::string decimalSeparator() const override { return separator; }
    std::optional<std::string> systemDecimalSeparator() const override { return systemSeparator; }
    std::string shortDayName(int dayOfWeek) const override;
    std::string formatLongTime(const TimeOfDay &time) const override;
    std::optional<TimeOfDay> parseLongTime(std::string_view text) const override;

    std::string separator = ".";
    std::optional<std::string> systemSeparator = std::string(".");
    std::string dayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
};

} // namespace tolmar
