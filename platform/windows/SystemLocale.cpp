#include "platform/SystemLocale.h"

#include "platform/windows/WindowsLocale.h"

namespace tolmar {

std::unique_ptr<Locale> makeSystemLocale()
{
    return std::make_unique<WindowsLocale>();
}

} // namespace tolmar
