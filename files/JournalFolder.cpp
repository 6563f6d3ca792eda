#include "files/JournalFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace tolmar {

namespace {

constexpr const char *sessionPrefix = "session-";
constexpr const char *keptPrefix = "kept-";
constexpr const char *suffix = ".journal";

bool endsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Makes the folder and the ones above it; true when it is there.
bool makeFolder(const std::string &path, std::string &error)
{
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code && !std::filesystem::is_directory(path)) {
        error = "cannot make the folder " + path + ": " + code.message();
        return false;
    }
    ::chmod(path.c_str(), 0700); // the journals show what was measured: the user's own
    return true;
}

// Locks an open journal; false when another process holds it.
bool lockFile(int fd)
{
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

} // namespace

std::string defaultJournalFolder()
{
    const char *state = std::getenv("XDG_STATE_HOME");
    // XDG_STATE_HOME must be an absolute path; a relative one is ignored, as other programs do.
    if (state && state[0] == '/')
        return std::string(state) + "/tolmar";
    const char *home = std::getenv("HOME");
    if (home && home[0] != '\0')
        return std::string(home) + "/.local/state/tolmar";
    return {};
}

LockedFile::~LockedFile()
{
    close();
}

LockedFile::LockedFile(LockedFile &&other) noexcept : m_fd(other.m_fd), m_path(std::move(other.m_path))
{
    other.m_fd = -1;
}

LockedFile &LockedFile::operator=(LockedFile &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

void LockedFile::remove()
{
    // Unlinked while still locked: no other Tolmar can take it in between.
    if (m_fd >= 0)
        ::unlink(m_path.c_str());
    close();
}

void LockedFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::optional<LockedFile> JournalFolder::createOwn(std::string &error) const
{
    if (!makeFolder(m_path, error))
        return std::nullopt;
    static std::atomic<unsigned> serial{0};
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    const std::string path = m_path + "/" + sessionPrefix + std::to_string(::getpid()) + "-" + std::to_string(ms)
        + "-" + std::to_string(serial++) + suffix;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    LockedFile file(fd, path);
    if (!lockFile(fd)) {
        error = "cannot lock " + path + ": " + std::strerror(errno);
        file.remove();
        return std::nullopt;
    }
    return file;
}

std::optional<LockedFile> JournalFolder::takeOrphan() const
{
    struct Candidate {
        std::string path;
        std::filesystem::file_time_type written;
    };
    std::vector<Candidate> candidates;
    std::error_code code;
    for (const auto &entry : std::filesystem::directory_iterator(m_path, code)) {
        const std::string name = entry.path().filename().string();
        std::error_code entryCode;
        if (name.rfind(sessionPrefix, 0) != 0 || !endsWith(name, suffix) || !entry.is_regular_file(entryCode))
            continue;
        candidates.push_back({entry.path().string(), entry.last_write_time(entryCode)});
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate &a, const Candidate &b) { return a.written > b.written; });
    for (const Candidate &candidate : candidates) {
        const int fd = ::open(candidate.path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        LockedFile file(fd, candidate.path);
        if (!lockFile(fd))
            continue; // a running Tolmar's
        // Its owner may have ended and removed it between our open and our
        // lock: only the file still under that name is an orphan.
        struct stat opened {}, named {};
        if (::fstat(fd, &opened) != 0 || ::stat(candidate.path.c_str(), &named) != 0 || opened.st_ino != named.st_ino
            || opened.st_dev != named.st_dev)
            continue;
        return file;
    }
    return std::nullopt;
}

namespace {

// "2026-12-09T13:13:13.123+01:00" -> "2026-12-09_13-13-13"
std::string stampOf(const std::string &created)
{
    std::string stamp;
    for (const char c : created.substr(0, 19))
        stamp += c == 'T' ? '_' : c == ':' ? '-' : (c >= '0' && c <= '9') || c == '-' ? c : '_';
    return stamp.empty() ? std::string("session") : stamp;
}

std::string keptName(const std::string &folder, const std::string &stamp, int n)
{
    return folder + "/" + keptPrefix + stamp + (n > 1 ? "-" + std::to_string(n) : std::string()) + suffix;
}

constexpr int mostKeptOfOneTime = 1000;

} // namespace

std::string JournalFolder::keptPath(const std::string &created) const
{
    const std::string stamp = stampOf(created);
    for (int n = 1; n < mostKeptOfOneTime; ++n) {
        const std::string path = keptName(m_path, stamp, n);
        struct stat there {};
        if (::lstat(path.c_str(), &there) != 0 && errno == ENOENT)
            return path;
    }
    return keptName(m_path, stamp, mostKeptOfOneTime);
}

std::optional<std::string> JournalFolder::keep(LockedFile &file, const std::string &created, std::string &error) const
{
    const std::string stamp = stampOf(created);
    for (int n = 1; n < mostKeptOfOneTime; ++n) {
        const std::string path = keptName(m_path, stamp, n);
        // A link never replaces a file that is there: no kept journal is overwritten.
        if (::link(file.path().c_str(), path.c_str()) == 0) {
            ::unlink(file.path().c_str());
            file.close();
            return path;
        }
        if (errno != EEXIST) {
            error = std::strerror(errno);
            return std::nullopt;
        }
    }
    error = "too many kept journals of that time";
    return std::nullopt;
}

} // namespace tolmar
