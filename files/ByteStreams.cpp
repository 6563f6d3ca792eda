#include "files/ByteStreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    // Not blocking: a pipe without a writer must not hold the window.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) {
        m_error = std::strerror(errno);
        return;
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    struct stat st{};
    if (::fstat(m_fd, &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            m_error = std::strerror(EISDIR);
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        if (S_ISREG(st.st_mode))
            m_size = static_cast<std::uint64_t>(st.st_size);
    }
    // We read it once from start to end.
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

FileSource::~FileSource()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::ptrdiff_t FileSource::read(char *buffer, std::size_t capacity)
{
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, capacity);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        m_error = std::strerror(errno);
        return -1;
    }
}

bool FileSource::rewind()
{
    if (::lseek(m_fd, 0, SEEK_SET) == 0)
        return true;
    m_error = std::strerror(errno);
    return false;
}

namespace {
// The process's file mode mask, read without changing it: umask() would
// flip it for every thread for a moment.
mode_t currentUmask()
{
    std::FILE *status = std::fopen("/proc/self/status", "re");
    unsigned mask = 022;
    if (status) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "Umask: %o", &mask) == 1)
                break;
        std::fclose(status);
    }
    return static_cast<mode_t>(mask);
}
} // namespace

AtomicFile::AtomicFile(std::string target) : m_target(std::move(target))
{
    // Through a symbolic link the file it points to is replaced, not the link.
    if (char *real = ::realpath(m_target.c_str(), nullptr)) {
        struct stat link{};
        if (::lstat(m_target.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            m_target = real;
        std::free(real);
    }
    struct stat st{};
    if (::stat(m_target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) {
            m_error = std::strerror(EISDIR);
            return;
        }
        // Not blocking: a pipe nobody reads fails at once instead of hanging.
        m_fd = ::open(m_target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0) {
            m_error = std::strerror(errno);
            return;
        }
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
        return;
    }
    // Beside the target, so the rename stays on one file system; hidden, and
    // short, so a target whose name is as long as the system allows has one.
    const std::size_t slash = m_target.rfind('/');
    m_temporary = (slash == std::string::npos ? std::string() : m_target.substr(0, slash + 1)) + ".tolmar-save-XXXXXX";
    m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
    if (m_fd < 0) {
        m_error = std::strerror(errno);
        m_temporary.clear();
        return;
    }
    // mkstemp makes it 0600; a saved table is an ordinary document, with
    // the old file's mode when it replaces one.
    ::fchmod(m_fd, (::stat(m_target.c_str(), &st) == 0 ? st.st_mode : 0666 & ~currentUmask()) & 07777);
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
    while (size > 0) {
        const ssize_t n = ::write(m_fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(std::strerror(errno));
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
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
    if (!m_temporary.empty() && ::fsync(m_fd) != 0)
        fail(std::strerror(errno));
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        fail(std::strerror(errno));
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
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        fail(std::strerror(errno));
        abandon();
        return false;
    }
    m_temporary.clear();
    return true;
}

void AtomicFile::abandon()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
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
