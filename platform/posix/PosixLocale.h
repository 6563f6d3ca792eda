#pragma once

#include "platform/Locale.h"

#include <locale.h>

#include <mutex>
#include <string>

namespace tolmar {

// The user's locale as POSIX defines it: LC_ALL, then LC_NUMERIC or LC_TIME,
// then LANG from the environment. The system default is the LANG (or
// LC_NUMERIC) of /etc/default/locale or /etc/locale.conf.
class PosixLocale final : public Locale {
public:
    // etcRoot lets tests point the system-default lookup at a fake /etc.
    explicit PosixLocale(std::string etcRoot = "/etc");
    ~PosixLocale() override;
    PosixLocale(const PosixLocale &) = delete;
    PosixLocale &operator=(const PosixLocale &) = delete;

    std::string decimalSeparator() const override;
    std::optional<std::string> systemDecimalSeparator() const override;
    std::string shortDayName(int dayOfWeek) const override;
    std::string formatLongTime(const TimeOfDay &time) const override;
    std::optional<TimeOfDay> parseLongTime(std::string_view text) const override;

private:
    // One loaded locale category, reloaded when the environment names another.
    struct Category {
        int mask;
        const char *envName;
        std::string loadedName;
        locale_t handle = nullptr;
    };
    locale_t current(Category &category) const;

    std::string m_etcRoot;
    mutable std::mutex m_mutex; // guards m_numeric and m_time (the CLI and GUI call from one thread, tests from several)
    mutable Category m_numeric{LC_NUMERIC_MASK, "LC_NUMERIC", {}};
    mutable Category m_time{LC_TIME_MASK, "LC_TIME", {}};
};

} // namespace tolmar
