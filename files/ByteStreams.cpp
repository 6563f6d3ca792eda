#include "files/ByteStreams.h"

#include <algorithm>

namespace tolmar {

std::ptrdiff_t MemorySource::read(char *buffer, std::size_t capacity)
{
    const std::size_t n = std::min(capacity, m_bytes.size() - m_at);
    m_bytes.copy(buffer, n, m_at);
    m_at += n;
    return static_cast<std::ptrdiff_t>(n);
}

FileSource::FileSource(const std::string &path)
{
    // Not waiting: a pipe without a writer must not hold the window.
    m_file = SystemFile::open(path, SystemFile::Read | SystemFile::NoWait | SystemFile::Sequential);
    if (!m_file.isOpen()) {
        m_error = m_file.error().message();
        return;
    }
    if (const auto status = m_file.status()) {
        if (status->kind == FileStatus::Kind::Folder) {
            m_error = std::make_error_code(std::errc::is_a_directory).message();
            m_file.close();
            return;
        }
        m_size = status->size;
    }
}

FileSource::~FileSource() = default;

std::ptrdiff_t FileSource::read(char *buffer, std::size_t capacity)
{
    for (;;) {
        const std::ptrdiff_t n = m_file.read(buffer, capacity);
        if (n >= 0)
            return n;
        if (m_file.error() == std::errc::interrupted)
            continue;
        m_error = m_file.error().message();
        return -1;
    }
}

bool FileSource::rewind()
{
    if (m_file.rewind())
        return true;
    m_error = m_file.error().message();
    return false;
}

AtomicFile::AtomicFile(std::string target) : m_target(std::move(target))
{
    // Through a symbolic link the file it points to is replaced, not the link.
    m_target = linkedFile(m_target);
    std::error_code missing;
    const auto status = fileStatus(m_target, missing);
    if (status && status->kind != FileStatus::Kind::Regular) {
        if (status->kind == FileStatus::Kind::Folder) {
            m_error = std::make_error_code(std::errc::is_a_directory).message();
            return;
        }
        // Not waiting: a pipe nobody reads fails at once instead of hanging.
        m_file = SystemFile::open(m_target, SystemFile::Write | SystemFile::Truncate | SystemFile::NoWait);
        if (!m_file.isOpen())
            m_error = m_file.error().message();
        return;
    }
    // Beside the target, so the rename stays on one file system.
    m_file = SystemFile::createBeside(m_target);
    if (!m_file.isOpen()) {
        m_error = m_file.error().message();
        return;
    }
    m_temporary = m_file.path();
}

AtomicFile::~AtomicFile()
{
    abandon();
}

void AtomicFile::fail(const char *what)
{
    if (m_error.empty())
        m_error = what;
}

bool AtomicFile::write(const char *bytes, std::size_t size)
{
    if (!ok() || m_synced)
        return false;
    if (m_file.writeAll(bytes, size))
        return true;
    fail(m_file.error().message().c_str());
    return false;
}

bool AtomicFile::sync()
{
    if (m_synced)
        return m_error.empty();
    if (!ok())
        return false;
    m_synced = true;
    // On disk before it takes the target's name: a power cut then leaves
    // either the old file or the whole new one. (A device has nothing to sync.)
    if (!m_temporary.empty() && !m_file.sync())
        fail(m_file.error().message().c_str());
    if (!m_file.close())
        fail(m_file.error().message().c_str());
    return m_error.empty();
}

bool AtomicFile::commit()
{
    if (!sync()) {
        abandon();
        return false;
    }
    if (m_temporary.empty())
        return true; // written in place
    if (const std::error_code error = replaceFile(m_temporary, m_target)) {
        fail(error.message().c_str());
        abandon();
        return false;
    }
    m_temporary.clear();
    return true;
}

void AtomicFile::abandon()
{
    m_file.close();
    if (!m_temporary.empty()) {
        removeFile(m_temporary);
        m_temporary.clear();
        fail("the save was abandoned");
    }
}

OutputBuffer::OutputBuffer(ByteSink &sink, std::size_t capacity) : m_sink(sink), m_buffer(capacity) {}

bool OutputBuffer::flush()
{
    if (m_used > 0 && !m_failed) {
        if (!m_sink.write(m_buffer.data(), m_used))
            m_failed = true;
    }
    m_used = 0;
    return !m_failed;
}

void OutputBuffer::spill(std::string_view text)
{
    flush();
    if (text.size() >= m_buffer.size()) {
        if (!m_failed && !m_sink.write(text.data(), text.size()))
            m_failed = true;
        return;
    }
    text.copy(m_buffer.data(), text.size());
    m_used = text.size();
}

} // namespace tolmar
