#include "platform/posix/PosixLocale.h"

#include <cstring>

#include <langinfo.h>
#include <time.h>

#include <cstdlib>
#include <fstream>

namespace tolmar {

namespace {
std::string environmentLocale(const char *categoryVariable)
{
    for (const char *name : {"LC_ALL", categoryVariable, "LANG"}) {
        const char *value = std::getenv(name);
        if (value && *value)
            return value;
    }
    return "C";
}

// LANG=... or LC_NUMERIC=... from a shell-style assignments file.
std::string configuredLocale(const std::string &path)
{
    std::ifstream in(path);
    std::string line, lang, numeric;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (key == "LANG")
            lang = value;
        else if (key == "LC_NUMERIC" || key == "LC_ALL")
            numeric = value;
    }
    return numeric.empty() ? lang : numeric;
}

locale_t openLocale(int mask, const std::string &name)
{
    locale_t handle = newlocale(mask, name.c_str(), nullptr);
    // A locale named in the environment but not installed reads as "C", as
    // setlocale() leaves it.
    return handle ? handle : newlocale(mask, "C", nullptr);
}
} // namespace

PosixLocale::PosixLocale(std::string etcRoot) : m_etcRoot(std::move(etcRoot)) {}

PosixLocale::~PosixLocale()
{
    for (Category *category : {&m_numeric, &m_time})
        if (category->handle)
            freelocale(category->handle);
}

locale_t PosixLocale::current(Category &category) const
{
    std::string name = environmentLocale(category.envName);
    if (!category.handle || name != category.loadedName) {
        if (category.handle)
            freelocale(category.handle);
        category.handle = openLocale(category.mask, name);
        category.loadedName = std::move(name);
    }
    return category.handle;
}

std::string PosixLocale::decimalSeparator() const
{
    std::lock_guard lock(m_mutex);
    return nl_langinfo_l(RADIXCHAR, current(m_numeric));
}

std::optional<std::string> PosixLocale::systemDecimalSeparator() const
{
    std::string name = configuredLocale(m_etcRoot + "/default/locale");
    if (name.empty())
        name = configuredLocale(m_etcRoot + "/locale.conf");
    // No system locale configured: the POSIX default.
    locale_t handle = newlocale(LC_NUMERIC_MASK, name.empty() ? "C" : name.c_str(), nullptr);
    if (!handle)
        return std::nullopt; // configured but not installed
    std::string separator = nl_langinfo_l(RADIXCHAR, handle);
    freelocale(handle);
    // The query hands back at most 19 characters.
    return separator.substr(0, 19);
}

std::string PosixLocale::shortDayName(int dayOfWeek) const
{
    std::lock_guard lock(m_mutex);
    return nl_langinfo_l(static_cast<nl_item>(ABDAY_1 + ((dayOfWeek % 7) + 7) % 7), current(m_time));
}

std::string PosixLocale::formatLongTime(const TimeOfDay &time) const
{
    std::lock_guard lock(m_mutex);
    locale_t loc = current(m_time);
    std::tm tm{};
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    tm.tm_mday = 1;
    tm.tm_year = 70;
    char text[64];
    const std::size_t n = strftime_l(text, sizeof text, nl_langinfo_l(T_FMT, loc), &tm, loc);
    return std::string(text, n);
}

namespace {

// "HH:MM:SS" and blanks after it, read as strptime reads it with "%H:%M:%S"
// (hours to 23, minutes to 59, seconds to 61); nullopt for any other form,
// which goes to strptime itself.
std::optional<std::optional<TimeOfDay>> plainTwentyFourHourTime(std::string_view text)
{
    const auto digit = [&](std::size_t i) { return text[i] >= '0' && text[i] <= '9'; };
    if (text.size() < 8 || !digit(0) || !digit(1) || text[2] != ':' || !digit(3) || !digit(4) || text[5] != ':'
        || !digit(6) || !digit(7) || text.find_first_not_of(' ', 8) != std::string_view::npos)
        return std::nullopt;
    const auto number = [&](std::size_t i) { return (text[i] - '0') * 10 + (text[i + 1] - '0'); };
    const int hour = number(0), minute = number(3), second = number(6);
    if (hour > 23 || minute > 59 || second > 61)
        return std::optional<TimeOfDay>();
    return std::optional<TimeOfDay>(TimeOfDay{hour, minute, second});
}

} // namespace

std::optional<TimeOfDay> PosixLocale::parseLongTime(std::string_view text) const
{
    std::lock_guard lock(m_mutex);
    locale_t loc = current(m_time);
    const char *format = nl_langinfo_l(T_FMT, loc);
    // An import of a million distinct times would spend most of its time in
    // strptime; the 24-hour form the export writes is read here directly.
    if (std::strcmp(format, "%H:%M:%S") == 0 || std::strcmp(format, "%T") == 0)
        if (const auto plain = plainTwentyFourHourTime(text))
            return *plain;
    const std::string copy(text);
    std::tm tm{};
    const char *end = strptime_l(copy.c_str(), format, &tm, loc);
    if (!end)
        return std::nullopt;
    while (*end == ' ')
        ++end;
    if (*end != '\0')
        return std::nullopt;
    return TimeOfDay{tm.tm_hour, tm.tm_min, tm.tm_sec};
}

} // namespace tolmar
