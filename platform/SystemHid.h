#pragma once

#include "platform/HidPlatform.h"

#include <memory>

namespace tolmar {

// The HID backend of the system the program was built for (hidraw and udev on
// Linux). Each backend folder defines it; CMake links the one for the target
// system, so callers never name a backend.
std::unique_ptr<HidPlatform> makeSystemHidPlatform();

} // namespace tolmar
