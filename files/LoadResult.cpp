#include "files/LoadResult.h"

#include "platform/TextEncoding.h"

namespace tolmar {

std::string LoadResult::where() const
{
    if (line > 0)
        return "line " + std::to_string(line) + ": " + error;
    return "byte " + std::to_string(offset) + ": " + error;
}

std::string quotedBytes(std::string_view bytes)
{
    return escapedText(bytes, 40);
}

} // namespace tolmar
