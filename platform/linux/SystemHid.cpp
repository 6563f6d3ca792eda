#include "platform/SystemHid.h"

#include "platform/linux/LinuxHidPlatform.h"

namespace tolmar {

std::unique_ptr<HidPlatform> makeSystemHidPlatform()
{
    return std::make_unique<LinuxHidPlatform>();
}

} // namespace tolmar
