#pragma once

#include "platform/Locale.h"

#include <optional>
#include <string>
#include <string_view>

// Windows' time format pictures ("HH:mm:ss", "h:mm:ss tt", "HH'h'mm"), the
// form the user's long time format (LOCALE_STIMEFORMAT) comes in. Kept free
// of Windows headers so it is tested on every system.
namespace tolmar::winhid {

// The morning and afternoon designators (LOCALE_S1159, LOCALE_S2359), UTF-8;
// empty in locales that count 24 hours.
struct TimeDesignators {
    std::string am = "AM";
    std::string pm = "PM";
};

// The time in the picture's form. Elements: h and hh (12-hour clock, 12 for
// the hour 0), H and HH (24-hour), m mm, s ss (one letter: no leading zero),
// t (the designator's first character) and tt (all of it); text in single
// quotes is copied, '' is a quote; every other character stands for itself.
std::string formatTimePicture(std::string_view picture, const TimeOfDay &time, const TimeDesignators &designators);

// The time read back as strptime reads the format it is given: numbers of
// one or two digits with blanks before them (hours to 23, or 1 to 12 on the
// 12-hour clock, minutes to 59, seconds to 61), blanks in the picture match
// any run of blanks or none, designators without regard to ASCII case,
// blanks after the end; nullopt for anything else.
std::optional<TimeOfDay> parseTimePicture(std::string_view picture, std::string_view text,
                                          const TimeDesignators &designators);

// Which of LOCALE_SABBREVDAYNAME1..7 (Monday first) names a day of our
// week (0 = Sunday): its offset from LOCALE_SABBREVDAYNAME1.
int abbreviatedDayNameOffset(int dayOfWeek);

} // namespace tolmar::winhid
