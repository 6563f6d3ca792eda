#include "files/LoadResult.h"

namespace tolmar {

std::string LoadResult::where() const
{
    if (line > 0)
        return "line " + std::to_string(line) + ": " + error;
    return "byte " + std::to_string(offset) + ": " + error;
}

} // namespace tolmar
