// SystemFiles.h and System.h on Linux (and other POSIX systems).
#include "platform/System.h"
#include "platform/SystemFiles.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace tolmar {

namespace {

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

int descriptor(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

FileStatus statusOf(const struct stat &st)
{
    FileStatus status;
    status.kind = S_ISREG(st.st_mode) ? FileStatus::Kind::Regular
        : S_ISDIR(st.st_mode)         ? FileStatus::Kind::Folder
                                      : FileStatus::Kind::Other;
    if (S_ISREG(st.st_mode))
        status.size = static_cast<std::uint64_t>(st.st_size);
    status.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return status;
}

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

SystemFile SystemFile::open(const std::string &path, unsigned flags)
{
    int how = O_CLOEXEC;
    if ((flags & Read) && (flags & Write))
        how |= O_RDWR;
    else if (flags & Write)
        how |= O_WRONLY;
    else
        how |= O_RDONLY;
    if (flags & Create)
        how |= O_CREAT;
    if (flags & Exclusive)
        how |= O_EXCL;
    if (flags & Truncate)
        how |= O_TRUNC;
    if (flags & Append)
        how |= O_APPEND;
    if (flags & NoFollow)
        how |= O_NOFOLLOW;
    if (flags & NoWait)
        how |= O_NONBLOCK;
    SystemFile file(-1, path, true);
    const int fd = ::open(path.c_str(), how, (flags & Private) ? 0600 : 0666);
    if (fd < 0) {
        file.m_error = lastError();
        return file;
    }
    file.m_handle = fd;
    if (flags & NoWait)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (flags & Sequential)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

SystemFile SystemFile::createBeside(const std::string &target)
{
    // Hidden, and short, so a target whose name is as long as the system
    // allows has one.
    const std::size_t slash = target.rfind('/');
    std::string name = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".tolmar-save-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        SystemFile file(-1, {}, true);
        file.m_error = lastError();
        return file;
    }
    // mkstemp makes it 0600; a saved table is an ordinary document, with
    // the old file's mode when it replaces one.
    struct stat st {};
    ::fchmod(fd, (::stat(target.c_str(), &st) == 0 ? st.st_mode : 0666 & ~currentUmask()) & 07777);
    return SystemFile(fd, std::move(name), true);
}

SystemFile SystemFile::standardInput()
{
    return SystemFile(STDIN_FILENO, "standard input", false);
}

bool SystemFile::isOpen() const
{
    return m_handle >= 0;
}

std::ptrdiff_t SystemFile::read(char *buffer, std::size_t capacity)
{
    const ssize_t n = ::read(descriptor(m_handle), buffer, capacity);
    if (n < 0)
        m_error = lastError(); // EINTR is std::errc::interrupted
    return n;
}

bool SystemFile::writeAll(const char *bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(descriptor(m_handle), bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = n < 0 ? lastError() : std::make_error_code(std::errc::io_error);
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool SystemFile::rewind()
{
    if (::lseek(descriptor(m_handle), 0, SEEK_SET) == 0)
        return true;
    m_error = lastError();
    return false;
}

bool SystemFile::truncate(std::uint64_t length)
{
    if (::ftruncate(descriptor(m_handle), static_cast<off_t>(length)) == 0)
        return true;
    m_error = lastError();
    return false;
}

bool SystemFile::sync()
{
    if (::fsync(descriptor(m_handle)) == 0)
        return true;
    m_error = lastError();
    return false;
}

bool SystemFile::syncData()
{
    if (::fdatasync(descriptor(m_handle)) == 0)
        return true;
    m_error = lastError();
    return false;
}

bool SystemFile::tryLock(Lock lock)
{
    // flock: the lock belongs to the open file, so it is refused to another
    // open file of this process too, and goes when the process does.
    while (::flock(descriptor(m_handle), (lock == Lock::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        if (errno != EINTR) {
            m_error = lastError(); // EWOULDBLOCK while held
            return false;
        }
    }
    return true;
}

std::optional<FileStatus> SystemFile::status()
{
    struct stat st {};
    if (::fstat(descriptor(m_handle), &st) != 0) {
        m_error = lastError();
        return std::nullopt;
    }
    return statusOf(st);
}

bool SystemFile::isTerminal() const
{
    return m_handle >= 0 && ::isatty(descriptor(m_handle));
}

bool SystemFile::close()
{
    if (m_handle < 0)
        return true;
    const int fd = descriptor(m_handle);
    m_handle = -1;
    if (m_owned && ::close(fd) != 0) {
        m_error = lastError();
        return false;
    }
    return true;
}

std::optional<FileStatus> fileStatus(const std::string &path, std::error_code &error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = lastError();
        return std::nullopt;
    }
    return statusOf(st);
}

bool nameIsFree(const std::string &path)
{
    struct stat there {};
    return ::lstat(path.c_str(), &there) != 0 && errno == ENOENT;
}

std::string linkedFile(const std::string &path)
{
    std::string file = path;
    if (char *real = ::realpath(path.c_str(), nullptr)) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            file = real;
        std::free(real);
    }
    return file;
}

std::error_code replaceFile(const std::string &from, const std::string &to)
{
    return ::rename(from.c_str(), to.c_str()) == 0 ? std::error_code() : lastError();
}

std::error_code renameWithoutReplacing(const std::string &from, const std::string &to)
{
    // A link never replaces a file that is there.
    if (::link(from.c_str(), to.c_str()) != 0)
        return lastError();
    ::unlink(from.c_str());
    return {};
}

std::error_code removeFile(const std::string &path)
{
    return ::unlink(path.c_str()) == 0 ? std::error_code() : lastError();
}

bool makeUserFolder(const std::string &path, std::string &error)
{
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code && !std::filesystem::is_directory(path)) {
        error = "cannot make the folder " + path + ": " + code.message();
        return false;
    }
    ::chmod(path.c_str(), 0700);
    return true;
}

std::string stateFolder()
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

std::string runtimeFolder()
{
    std::string base;
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
        base = std::string(runtime) + "/tolmar";
    else
        base = "/tmp/tolmar-" + std::to_string(::getuid());
    ::mkdir(base.c_str(), 0700);
    // /tmp is shared: another user may have made the folder first, or put a
    // link there. Only a real folder of our own, closed to others, will do.
    struct stat info {};
    if (::lstat(base.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()
        || (info.st_mode & 0022) != 0)
        return {};
    return base;
}

std::uint64_t processId()
{
    return static_cast<std::uint64_t>(::getpid());
}

const char *endOfInputKeys()
{
    return "Ctrl-D";
}

void setEnvironment(const char *name, const char *value, bool overwrite)
{
    if (value)
        ::setenv(name, value, overwrite ? 1 : 0);
    else
        ::unsetenv(name);
}

bool localTime(std::time_t seconds, std::tm &local)
{
    return ::localtime_r(&seconds, &local) != nullptr;
}

namespace {
std::atomic<std::atomic<bool> *> interruptFlag{nullptr};
struct sigaction oldInt {};
struct sigaction oldTerm {};

extern "C" void onInterrupt(int)
{
    if (std::atomic<bool> *flag = interruptFlag.load())
        flag->store(true);
}
} // namespace

void setInterruptFlag(std::atomic<bool> *flag)
{
    const bool wasSet = interruptFlag.exchange(flag) != nullptr;
    if (flag && !wasSet) {
        // No SA_RESTART: a read from a terminal or pipe returns.
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt);
        sigaction(SIGTERM, &action, &oldTerm);
    } else if (!flag && wasSet) {
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);
    }
}

struct Wakeup::State {
    int fd = -1;
};

Wakeup::Wakeup() : m_state(std::make_unique<State>())
{
    m_state->fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

Wakeup::~Wakeup()
{
    if (m_state->fd >= 0)
        ::close(m_state->fd);
}

bool Wakeup::ok() const
{
    return m_state->fd >= 0;
}

int Wakeup::fd() const
{
    return m_state->fd;
}

void Wakeup::signal()
{
    const std::uint64_t one = 1;
    // A full counter still wakes: nothing is lost by a failed write.
    [[maybe_unused]] const ssize_t written = ::write(m_state->fd, &one, sizeof one);
}

void Wakeup::clear()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t drained = ::read(m_state->fd, &count, sizeof count);
}

bool Wakeup::wait(const std::vector<int> &fds, std::vector<bool> &ready, int timeoutMs)
{
    ready.assign(fds.size(), false);
    std::vector<pollfd> polled{{m_state->fd, POLLIN, 0}};
    for (const int fd : fds)
        polled.push_back({fd, POLLIN, 0});
    const int count = ::poll(polled.data(), polled.size(), timeoutMs < 0 ? 0 : timeoutMs);
    if (count < 0)
        return errno == EINTR;
    if (count == 0)
        return true;
    if (polled[0].revents & POLLIN)
        clear();
    for (std::size_t i = 1; i < polled.size(); ++i)
        ready[i - 1] = (polled[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
    return true;
}

} // namespace tolmar
