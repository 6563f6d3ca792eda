#include "platform/SystemHid.h"

#include "platform/windows/WindowsHidPlatform.h"

namespace tolmar {

std::unique_ptr<HidPlatform> makeSystemHidPlatform()
{
    return std::make_unique<WindowsHidPlatform>();
}

} // namespace tolmar
