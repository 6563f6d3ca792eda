#pragma once

#include "platform/Locale.h"

namespace tolmar {

// The user's regional settings from the Windows locale functions
// (GetLocaleInfoEx), read afresh at every call: a change in the control
// panel reaches the next decode without a restart. The long time format is
// the user's time picture (LOCALE_STIMEFORMAT), formatted and read by
// platform/windows/TimePicture.
class WindowsLocale final : public Locale {
public:
    std::string decimalSeparator() const override;
    std::optional<std::string> systemDecimalSeparator() const override;
    std::string shortDayName(int dayOfWeek) const override;
    std::string formatLongTime(const TimeOfDay &time) const override;
    std::optional<TimeOfDay> parseLongTime(std::string_view text) const override;
};

} // namespace tolmar
