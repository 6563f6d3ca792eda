#pragma once

#include "files/ByteStreams.h"
#include "files/LoadResult.h"
#include "files/TextEncoding.h"
#include "platform/BackgroundWork.h"
#include "record/ReadingTable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolmar {

// A reader's answer when the bytes are not UTF-8: read the file again.
inline constexpr auto loadNotUtf8 = static_cast<LoadResult::Status>(-1);

// Where the line that ends at `eol` (a CR, an LF or the end of `text`) is
// followed by the next one: past CR, LF or CR LF. Nullopt when that cannot be
// told before more bytes come (a CR at the end of what is held, or no line end
// yet) or, at the end of the file, when nothing is left.
std::optional<std::size_t> nextLineStart(std::string_view text, std::size_t eol, bool final);

// The bytes of a file for a streaming reader, a block at a time, in one
// buffer that keeps what the reader has not used yet (a cut-off tag or line)
// in front of the next block. So memory stays at a block plus the longest
// tag or line, whatever the file's size. Bytes are checked for UTF-8 as they
// come, unless the file is being read as Windows-1252.
class BlockInput {
public:
    enum class Status { Ready, NotUtf8, Failed, Cancelled };

    BlockInput(ByteSource &source, WorkProgress *progress, bool windows1252, std::size_t maxHeld);

    // Drops the bytes used so far and reads the next block behind the rest.
    // Failed: error() says why (a read error, or more than maxHeld bytes
    // held); Cancelled: the user asked to stop.
    Status readMore();
    // A reader's answer when readMore() was not Ready; `line` for text.
    LoadResult stopped(Status status, std::size_t line) const;
    // The bytes read and not used yet.
    std::string_view held() const { return {m_buffer.data() + m_begin, m_end - m_begin}; }
    void use(std::size_t count) { m_begin += count; }
    // The file offset of a byte in held().
    std::uint64_t offsetOf(const char *byte) const
    {
        return m_bufferOffset + static_cast<std::uint64_t>(byte - m_buffer.data());
    }
    std::uint64_t offset() const { return m_bufferOffset + m_begin; }
    // True once the source is at its end: held() is all there is.
    bool final() const { return m_final; }
    bool windows1252() const { return m_windows1252; }
    const std::string &error() const { return m_error; }
    Utf8Validator &utf8() { return m_utf8; }

private:
    ByteSource &m_source;
    WorkProgress *m_progress;
    const bool m_windows1252;
    const std::size_t m_maxHeld;
    std::vector<char> m_buffer;
    std::uint64_t m_bufferOffset = 0; // the file offset of m_buffer[0]
    std::size_t m_begin = 0, m_end = 0;
    bool m_final = false;
    Utf8Validator m_utf8;
    std::string m_error;
};


// Runs `read(input, rows)` over the file as UTF-8 and, when its bytes are
// not UTF-8 anywhere (also past a fault that stopped the reader early, so
// kept rows decode the same whatever the block sizes), once more as
// Windows-1252. A fault before the first row keeps nothing to decode, so the
// rest is not read: a source that never ends (/dev/zero) is refused at once.
// The rows read are appended to `table`, unless cancelled.
template <typename Read>
LoadResult readTableFile(ByteSource &source, ReadingTable &table, WorkProgress *progress, std::size_t maxHeld,
                         Read read);

template <typename Read>
LoadResult readTableFile(ByteSource &source, ReadingTable &table, WorkProgress *progress, std::size_t maxHeld,
                         Read read)
{
    for (const bool windows1252 : {false, true}) {
        ReadingTable rows;
        BlockInput input(source, progress, windows1252, maxHeld);
        LoadResult result = read(input, rows);
        const auto cancelled = [progress] { return progress && progress->cancelled(); };
        if (result.status == LoadResult::Status::Failed && !windows1252 && !rows.empty()
            && !restIsUtf8(source, input.utf8(), cancelled))
            result.status = cancelled() ? LoadResult::Status::Cancelled : loadNotUtf8;
        if (result.status == loadNotUtf8) {
            if (!source.rewind())
                return {LoadResult::Status::Failed, "cannot read the file again: " + source.error(), 0, 0};
            continue;
        }
        if (result.status != LoadResult::Status::Cancelled)
            table.append(std::move(rows));
        return result;
    }
    return {}; // not reached: a Windows-1252 reading always ends
}

} // namespace tolmar
