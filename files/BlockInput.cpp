#include "files/BlockInput.h"

#include "platform/BackgroundWork.h"

#include <cstring>

namespace tolmar {

namespace {
constexpr std::size_t blockSize = 1 << 20;
}

BlockInput::BlockInput(ByteSource &source, WorkProgress *progress, bool windows1252, std::size_t maxHeld)
    : m_source(source), m_progress(progress), m_windows1252(windows1252), m_maxHeld(maxHeld), m_buffer(blockSize)
{
    if (m_progress)
        m_progress->setTotal(m_source.size());
}

BlockInput::Status BlockInput::readMore()
{
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_bufferOffset += m_begin;
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_end == m_buffer.size()) {
        if (m_buffer.size() >= m_maxHeld) {
            m_error = "more than " + std::to_string(m_maxHeld >> 20) + " MiB in one piece";
            return Status::Failed;
        }
        m_buffer.resize(std::min(m_buffer.size() * 2, m_maxHeld));
    }
    const std::ptrdiff_t n = m_source.read(m_buffer.data() + m_end, m_buffer.size() - m_end);
    if (n < 0) {
        m_error = "cannot read: " + m_source.error();
        return Status::Failed;
    }
    if (!m_windows1252 && !m_utf8.feed(m_buffer.data() + m_end, static_cast<std::size_t>(n)))
        return Status::NotUtf8;
    m_end += static_cast<std::size_t>(n);
    m_final = n == 0;
    if (m_final && !m_windows1252 && !m_utf8.complete())
        return Status::NotUtf8;
    if (m_progress) {
        m_progress->setDone(m_bufferOffset + m_end);
        if (m_progress->cancelled())
            return Status::Cancelled;
    }
    return Status::Ready;
}

LoadResult BlockInput::stopped(Status status, std::size_t line) const
{
    switch (status) {
    case Status::NotUtf8: return {loadNotUtf8, {}, 0, 0};
    case Status::Cancelled: return {LoadResult::Status::Cancelled, {}, 0, 0};
    case Status::Failed: return {LoadResult::Status::Failed, m_error, m_bufferOffset + m_end, line};
    case Status::Ready: break;
    }
    return {};
}

std::optional<std::size_t> nextLineStart(std::string_view text, std::size_t eol, bool final)
{
    if (eol == text.size())
        return final && !text.empty() ? std::optional<std::size_t>(eol) : std::nullopt; // the last line, unended
    if (text[eol] == '\r') {
        if (eol + 1 == text.size())
            return final ? std::optional<std::size_t>(eol + 1) : std::nullopt; // an LF may follow
        return text[eol + 1] == '\n' ? eol + 2 : eol + 1;
    }
    return eol + 1;
}

} // namespace tolmar
