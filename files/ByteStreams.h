#pragma once

#include "platform/SystemFiles.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tolmar {

// Where a reader takes its bytes from, block by block. A reader that finds
// the bytes are not UTF-8 reads them once more from the start as
// Windows-1252, so a source can be rewound.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `capacity` bytes into `buffer`: the count read, 0 at the end, -1
    // on a read error (error() says which).
    virtual std::ptrdiff_t read(char *buffer, std::size_t capacity) = 0;
    virtual bool rewind() = 0;
    // The whole size in bytes when known (for progress), else 0.
    virtual std::uint64_t size() const = 0;
    virtual std::string error() const = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    std::ptrdiff_t read(char *buffer, std::size_t capacity) override;
    bool rewind() override { m_at = 0; return true; }
    std::uint64_t size() const override { return m_bytes.size(); }
    std::string error() const override { return {}; }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

class FileSource final : public ByteSource {
public:
    // Check ok() (and error()) before reading.
    explicit FileSource(const std::string &path);
    ~FileSource() override;
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    bool ok() const { return m_file.isOpen(); }
    std::ptrdiff_t read(char *buffer, std::size_t capacity) override;
    bool rewind() override;
    std::uint64_t size() const override { return m_size; }
    std::string error() const override { return m_error; }

private:
    SystemFile m_file;
    std::uint64_t m_size = 0;
    std::string m_error;
};

// Where a writer puts its bytes.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False once a write failed; error() says why.
    virtual bool write(const char *bytes, std::size_t size) = 0;
    virtual std::string error() const = 0;
};

// A file written beside its target and put in the target's place only when
// all of it is written and on disk, so a failed or cancelled save leaves the
// previous file as it was. A target that exists and is not a regular file
// (a terminal, a pipe, /dev/full) is written directly: it cannot be replaced.
class AtomicFile final : public ByteSink {
public:
    // Creates the temporary file; check ok() (and error()).
    explicit AtomicFile(std::string target);
    ~AtomicFile() override; // not committed: the temporary file is removed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    bool ok() const { return m_file.isOpen() && m_error.empty(); }
    bool write(const char *bytes, std::size_t size) override;
    // Flushes the bytes to disk and closes the file (slow: a worker does it).
    bool sync();
    // Syncs if not done yet and renames the temporary file over the target.
    // False (and the target untouched) when anything failed on the way.
    bool commit();
    // Removes the temporary file; the target stays as it was.
    void abandon();
    std::string error() const override { return m_error; }

private:
    void fail(const char *what);

    std::string m_target;
    std::string m_temporary; // empty when writing the target directly
    SystemFile m_file;
    bool m_synced = false;
    std::string m_error;
};

// A large buffer in front of a sink, so the writers append small pieces
// without a system call each.
class OutputBuffer {
public:
    explicit OutputBuffer(ByteSink &sink, std::size_t capacity = 1 << 20);
    ~OutputBuffer() = default;

    void append(std::string_view text)
    {
        if (m_used + text.size() > m_buffer.size())
            spill(text);
        else {
            text.copy(m_buffer.data() + m_used, text.size());
            m_used += text.size();
        }
    }
    // Room for at least `size` bytes at the end; write, then commit(n).
    char *reserve(std::size_t size)
    {
        if (m_used + size > m_buffer.size())
            flush();
        if (size > m_buffer.size())
            m_buffer.resize(size);
        return m_buffer.data() + m_used;
    }
    void commit(std::size_t size) { m_used += size; }
    // Writes what is buffered; false once the sink failed.
    bool flush();
    bool failed() const { return m_failed; }

private:
    void spill(std::string_view text);

    ByteSink &m_sink;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    bool m_failed = false;
};

// Appends into a buffer known to be large enough (a reserve() of a sink's
// buffer for a whole line).
struct RawOut {
    char *p;
    RawOut &operator+=(char c)
    {
        *p++ = c;
        return *this;
    }
    RawOut &operator+=(std::string_view text)
    {
        if (text.empty())
            return *this; // an empty view may have no data pointer at all
        std::memcpy(p, text.data(), text.size());
        p += text.size();
        return *this;
    }
    void append(const char *from, const char *to) { *this += std::string_view(from, static_cast<std::size_t>(to - from)); }
};

} // namespace tolmar
