#include "platform/SystemLocale.h"

#include "platform/posix/PosixLocale.h"

namespace tolmar {

std::unique_ptr<Locale> makeSystemLocale()
{
    return std::make_unique<PosixLocale>();
}

} // namespace tolmar
