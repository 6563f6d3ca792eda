#pragma once

#include "platform/TextEncoding.h"

#include <functional>

namespace tolmar {

class ByteSource;
// Reads the rest of `source` through `validator`: true when all of the file
// is UTF-8. A reader that stops early at a fault asks this, so the records
// it keeps are decoded the same whatever the block sizes were.
// False too when `cancelled` says so between blocks.
bool restIsUtf8(ByteSource &source, Utf8Validator &validator, const std::function<bool()> &cancelled);

} // namespace tolmar
