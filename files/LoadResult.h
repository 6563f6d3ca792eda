#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolmar {

// How a load or import ended. A failure says what failed and where: the
// byte offset in a packet, the line (the header is line 1) in a text file.
struct LoadResult {
    enum class Status { Loaded, Failed, Cancelled };
    Status status = Status::Loaded;
    std::string error;
    std::uint64_t offset = 0;
    std::size_t line = 0; // text files; 0 for packets

    bool loaded() const { return status == Status::Loaded; }
    // "line 3: ..." or "byte 120: ..."
    std::string where() const;
};

// Bytes of the file as a failure quotes them: escaped (control bytes, bytes
// that are not UTF-8, the backslash), so a file cannot drive the terminal a
// message is printed on, and cut after 40 characters.
std::string quotedBytes(std::string_view bytes);

} // namespace tolmar
