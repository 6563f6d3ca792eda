#include "platform/windows/WindowsLocale.h"

#include "platform/TextEncoding.h"
#include "platform/windows/TimePicture.h"

#include <windows.h>
#include <winnls.h>

namespace tolmar {

namespace {

// One locale setting as UTF-8; nullopt when the locale cannot be read.
// Windows caps each of the settings read here at 80 units.
std::optional<std::string> localeInfo(const wchar_t *locale, LCTYPE type, std::size_t maxUnits = 80)
{
    wchar_t text[81] = {};
    const int length = ::GetLocaleInfoEx(locale, type, text, static_cast<int>(std::size(text)));
    if (length <= 0)
        return std::nullopt;
    std::size_t units = static_cast<std::size_t>(length - 1); // the count includes the terminating zero
    if (units > maxUnits)
        units = maxUnits;
    return utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t *>(text), units));
}

struct TimeSettings {
    std::string picture;
    winhid::TimeDesignators designators;
};

TimeSettings userTimeSettings()
{
    TimeSettings settings;
    settings.picture = localeInfo(LOCALE_NAME_USER_DEFAULT, LOCALE_STIMEFORMAT).value_or("HH:mm:ss");
    if (settings.picture.empty())
        settings.picture = "HH:mm:ss";
    settings.designators.am = localeInfo(LOCALE_NAME_USER_DEFAULT, LOCALE_S1159).value_or("AM");
    settings.designators.pm = localeInfo(LOCALE_NAME_USER_DEFAULT, LOCALE_S2359).value_or("PM");
    return settings;
}

} // namespace

std::string WindowsLocale::decimalSeparator() const
{
    return localeInfo(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL).value_or(".");
}

std::optional<std::string> WindowsLocale::systemDecimalSeparator() const
{
    // At most 19 characters, as the POSIX backend answers too.
    if (auto separator = localeInfo(LOCALE_NAME_SYSTEM_DEFAULT, LOCALE_SDECIMAL, 19))
        return separator;
    // Some implementations (Wine) know the system default only by its name.
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (::GetSystemDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) <= 0)
        return std::nullopt;
    return localeInfo(name, LOCALE_SDECIMAL, 19);
}

std::string WindowsLocale::shortDayName(int dayOfWeek) const
{
    const auto type = static_cast<LCTYPE>(LOCALE_SABBREVDAYNAME1 + winhid::abbreviatedDayNameOffset(dayOfWeek));
    return localeInfo(LOCALE_NAME_USER_DEFAULT, type).value_or(std::string());
}

std::string WindowsLocale::formatLongTime(const TimeOfDay &time) const
{
    const TimeSettings settings = userTimeSettings();
    return winhid::formatTimePicture(settings.picture, time, settings.designators);
}

std::optional<TimeOfDay> WindowsLocale::parseLongTime(std::string_view text) const
{
    const TimeSettings settings = userTimeSettings();
    return winhid::parseTimePicture(settings.picture, text, settings.designators);
}

} // namespace tolmar
