#pragma once

#include "platform/Locale.h"

#include <memory>

namespace tolmar {

// The user's locale as the system the program was built for keeps it (the
// POSIX environment, or Windows' regional settings). Each backend folder
// defines it; CMake links the one for the target system, so callers never
// name a backend.
std::unique_ptr<Locale> makeSystemLocale();

} // namespace tolmar
