#include "files/TextEncoding.h"

#include "files/ByteStreams.h"

#include <vector>

namespace tolmar {

bool restIsUtf8(ByteSource &source, Utf8Validator &validator, const std::function<bool()> &cancelled)
{
    std::vector<char> block(1 << 16);
    for (;;) {
        if (cancelled())
            return false;
        const std::ptrdiff_t n = source.read(block.data(), block.size());
        if (n < 0)
            return validator.valid(); // what could be read decides
        if (n == 0)
            return validator.complete();
        if (!validator.feed(block.data(), static_cast<std::size_t>(n)))
            return false;
    }
}

} // namespace tolmar
