// SystemFiles.h and System.h on Windows. Names go to the system as UTF-16;
// the system's errors are told as the C library's numbers where there is one
// (so "No such file or directory" reads as on Linux), else in the system's
// own words.
#include "platform/System.h"
#include "platform/SystemFiles.h"
#include "platform/TextEncoding.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <random>

namespace tolmar {

namespace {

std::wstring wide(const std::string &utf8)
{
    const std::u16string units = utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string narrow(const std::wstring &text)
{
    return utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

// The system's words for an error without a C library number.
class WindowsCategory final : public std::error_category {
public:
    const char *name() const noexcept override { return "windows"; }
    std::string message(int code) const override
    {
        wchar_t *text = nullptr;
        const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                                | FORMAT_MESSAGE_IGNORE_INSERTS,
                                            nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t *>(&text),
                                            0, nullptr);
        std::wstring message = length > 0 && text ? std::wstring(text, length) : std::wstring();
        if (text)
            LocalFree(text);
        while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'
                                    || message.back() == L' '))
            message.pop_back();
        return message.empty() ? "Windows error " + std::to_string(code) : narrow(message);
    }
};

const WindowsCategory &windowsCategory()
{
    static const WindowsCategory category;
    return category;
}

std::error_code errorOf(DWORD code)
{
    struct Match {
        DWORD windows;
        std::errc c;
    };
    static constexpr Match table[] = {
        {ERROR_FILE_NOT_FOUND, std::errc::no_such_file_or_directory},
        {ERROR_PATH_NOT_FOUND, std::errc::no_such_file_or_directory},
        {ERROR_INVALID_DRIVE, std::errc::no_such_file_or_directory},
        {ERROR_BAD_NETPATH, std::errc::no_such_file_or_directory},
        {ERROR_BAD_NET_NAME, std::errc::no_such_file_or_directory},
        {ERROR_ACCESS_DENIED, std::errc::permission_denied},
        // Another program has the file open (a spreadsheet holding a CSV).
        {ERROR_SHARING_VIOLATION, std::errc::device_or_resource_busy},
        {ERROR_LOCK_VIOLATION, std::errc::device_or_resource_busy},
        {ERROR_WRITE_PROTECT, std::errc::read_only_file_system},
        {ERROR_FILE_EXISTS, std::errc::file_exists},
        {ERROR_ALREADY_EXISTS, std::errc::file_exists},
        {ERROR_DISK_FULL, std::errc::no_space_on_device},
        {ERROR_HANDLE_DISK_FULL, std::errc::no_space_on_device},
        {ERROR_NOT_ENOUGH_MEMORY, std::errc::not_enough_memory},
        {ERROR_OUTOFMEMORY, std::errc::not_enough_memory},
        {ERROR_TOO_MANY_OPEN_FILES, std::errc::too_many_files_open},
        {ERROR_INVALID_HANDLE, std::errc::bad_file_descriptor},
        {ERROR_DIR_NOT_EMPTY, std::errc::directory_not_empty},
        {ERROR_NOT_SAME_DEVICE, std::errc::cross_device_link},
        {ERROR_FILENAME_EXCED_RANGE, std::errc::filename_too_long},
        {ERROR_DIRECTORY, std::errc::not_a_directory},
        {ERROR_INVALID_NAME, std::errc::invalid_argument},
        {ERROR_INVALID_PARAMETER, std::errc::invalid_argument},
        {ERROR_BROKEN_PIPE, std::errc::broken_pipe},
        {ERROR_NO_DATA, std::errc::broken_pipe},
        {ERROR_OPERATION_ABORTED, std::errc::interrupted},
        {ERROR_NOT_READY, std::errc::io_error},
        {ERROR_CRC, std::errc::io_error},
        {ERROR_GEN_FAILURE, std::errc::io_error},
        {ERROR_IO_DEVICE, std::errc::io_error},
    };
    for (const Match &match : table)
        if (match.windows == code)
            return std::make_error_code(match.c);
    return {static_cast<int>(code), windowsCategory()};
}

std::error_code lastError()
{
    return errorOf(GetLastError());
}

HANDLE handleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

bool isFolder(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<FileStatus> statusOf(HANDLE handle, std::error_code &error)
{
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD type = GetFileType(handle);
    if (type != FILE_TYPE_DISK) {
        if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) {
            error = lastError();
            return std::nullopt;
        }
        FileStatus status;
        status.kind = FileStatus::Kind::Other; // a console, a pipe, NUL
        return status;
    }
    if (!GetFileInformationByHandle(handle, &info)) {
        error = lastError();
        return std::nullopt;
    }
    FileStatus status;
    status.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileStatus::Kind::Folder : FileStatus::Kind::Regular;
    if (status.kind == FileStatus::Kind::Regular)
        status.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    status.identity = {info.dwVolumeSerialNumber,
                       (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return status;
}

// Others may read, write, rename and remove a file we hold open, as on
// Linux: a journal is renamed or removed while it is open.
constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string environment(const wchar_t *name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    if (length == 0 || length >= size)
        return {};
    value.resize(length);
    return narrow(value);
}

bool madeFolder(const std::string &path)
{
    std::error_code code;
    std::filesystem::create_directories(filePath(path), code);
    return std::filesystem::is_directory(filePath(path), code);
}

} // namespace

SystemFile SystemFile::open(const std::string &path, unsigned flags)
{
    DWORD access = 0;
    if (flags & Read)
        access |= GENERIC_READ;
    if (flags & (Write | Append))
        access |= GENERIC_WRITE;
    if (access == 0)
        access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if ((flags & Create) && (flags & Exclusive))
        disposition = CREATE_NEW;
    else if (flags & Create)
        disposition = OPEN_ALWAYS;
    // Truncate: emptied below, once it is known to be a file on a disk
    // (TRUNCATE_EXISTING refuses devices such as NUL, CREATE_ALWAYS a hidden
    // file that Linux would simply empty).
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (flags & NoFollow)
        attributes |= FILE_FLAG_OPEN_REPARSE_POINT;
    if (flags & Sequential)
        attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
    // NoWait and Private have nothing to do here: opening never waits for a
    // pipe's other end, and the user's folders are closed to others already.
    SystemFile file(-1, path, true);
    const std::wstring name = wide(path);
    const HANDLE handle = CreateFileW(name.c_str(), access, shareAll, nullptr, disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // A folder cannot be opened as a file; say so as Linux does.
        file.m_error = code == ERROR_ACCESS_DENIED && isFolder(name) ? std::make_error_code(std::errc::is_a_directory)
                                                                     : errorOf(code);
        return file;
    }
    file.m_handle = reinterpret_cast<std::intptr_t>(handle);
    file.m_append = (flags & Append) != 0;
    if ((flags & Truncate) && disposition != CREATE_NEW && GetFileType(handle) == FILE_TYPE_DISK
        && !SetEndOfFile(handle)) {
        const std::error_code error = lastError();
        file.close();
        file.m_error = error;
    }
    return file;
}

SystemFile SystemFile::createBeside(const std::string &target)
{
    const std::size_t slash = target.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed() ^ static_cast<unsigned>(GetCurrentProcessId())
                        ^ static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    SystemFile file;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = folder + ".tolmar-save-";
        for (int i = 0; i < 6; ++i)
            name += letters[random() % (sizeof letters - 1)];
        file = open(name, Write | Create | Exclusive);
        if (file.isOpen() || file.error() != std::errc::file_exists)
            break;
    }
    return file;
}

SystemFile SystemFile::standardInput()
{
    return SystemFile(reinterpret_cast<std::intptr_t>(GetStdHandle(STD_INPUT_HANDLE)), "standard input", false);
}

bool SystemFile::isOpen() const
{
    return m_handle != -1 && m_handle != 0;
}

std::ptrdiff_t SystemFile::read(char *buffer, std::size_t capacity)
{
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(capacity, 1u << 30));
    if (ReadFile(handleOf(m_handle), buffer, wanted, &got, nullptr))
        return static_cast<std::ptrdiff_t>(got);
    const DWORD code = GetLastError();
    if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF)
        return 0; // the writer is gone: the end of the input
    m_error = errorOf(code); // Ctrl-C at a console gives ERROR_OPERATION_ABORTED: interrupted
    return -1;
}

bool SystemFile::writeAll(const char *bytes, std::size_t size)
{
    if (m_append) {
        LARGE_INTEGER none{};
        if (!SetFilePointerEx(handleOf(m_handle), none, nullptr, FILE_END)) {
            m_error = lastError();
            return false;
        }
    }
    while (size > 0) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (!WriteFile(handleOf(m_handle), bytes, piece, &written, nullptr)) {
            m_error = lastError();
            return false;
        }
        if (written == 0) {
            m_error = std::make_error_code(std::errc::io_error);
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

bool SystemFile::rewind()
{
    LARGE_INTEGER start{};
    if (SetFilePointerEx(handleOf(m_handle), start, nullptr, FILE_BEGIN))
        return true;
    m_error = lastError();
    return false;
}

bool SystemFile::truncate(std::uint64_t length)
{
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(length);
    if (SetFilePointerEx(handleOf(m_handle), at, nullptr, FILE_BEGIN) && SetEndOfFile(handleOf(m_handle)))
        return true;
    m_error = lastError();
    return false;
}

bool SystemFile::sync()
{
    if (FlushFileBuffers(handleOf(m_handle)))
        return true;
    m_error = lastError();
    return false;
}

bool SystemFile::syncData()
{
    return sync();
}

bool SystemFile::tryLock(Lock lock)
{
    // Windows locks are mandatory: a lock on the data would stop reads and
    // writes through other handles too (a restored journal is read through
    // another one). One byte far beyond any data is locked instead.
    OVERLAPPED at{};
    at.Offset = 0xFFFFFFFEu;
    at.OffsetHigh = 0x7FFFFFFFu;
    const DWORD how = LOCKFILE_FAIL_IMMEDIATELY | (lock == Lock::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (LockFileEx(handleOf(m_handle), how, 0, 1, 0, &at))
        return true;
    const DWORD code = GetLastError();
    m_error = code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING
        ? std::make_error_code(std::errc::operation_would_block)
        : errorOf(code);
    return false;
}

std::optional<FileStatus> SystemFile::status()
{
    return statusOf(handleOf(m_handle), m_error);
}

bool SystemFile::isTerminal() const
{
    DWORD mode = 0;
    return isOpen() && GetFileType(handleOf(m_handle)) == FILE_TYPE_CHAR && GetConsoleMode(handleOf(m_handle), &mode);
}

bool SystemFile::close()
{
    if (!isOpen()) {
        m_handle = -1;
        return true;
    }
    const HANDLE handle = handleOf(m_handle);
    m_handle = -1;
    if (m_owned && !CloseHandle(handle)) {
        m_error = lastError();
        return false;
    }
    return true;
}

std::optional<FileStatus> fileStatus(const std::string &path, std::error_code &error)
{
    // No access asked: the status of a file someone holds open is had too.
    const HANDLE handle = CreateFileW(wide(path).c_str(), 0, shareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastError();
        return std::nullopt;
    }
    auto status = statusOf(handle, error);
    CloseHandle(handle);
    return status;
}

bool nameIsFree(const std::string &path)
{
    if (GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

std::string linkedFile(const std::string &path)
{
    const std::wstring name = wide(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    const HANDLE handle =
        CreateFileW(name.c_str(), 0, shareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return path;
    std::wstring final(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()), 0);
    if (length >= final.size()) {
        final.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()), 0);
    }
    CloseHandle(handle);
    if (length == 0 || length >= final.size())
        return path;
    final.resize(length);
    // "\\?\C:\x" names a drive's file; "\\?\UNC\server\x" a share's.
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0)
        final = L"\\\\" + final.substr(8);
    else if (final.rfind(L"\\\\?\\", 0) == 0)
        final = final.substr(4);
    return narrow(final);
}

std::error_code replaceFile(const std::string &from, const std::string &to)
{
    // A virus scanner, the search indexer or a cloud folder's client often
    // has a file just written open for a moment: tried again for a second
    // before the save is given up (the old file stays as it was).
    DWORD code = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return {};
        code = GetLastError();
        if (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION)
            break;
        Sleep(100);
    }
    return code == ERROR_ACCESS_DENIED && isFolder(wide(to)) ? std::make_error_code(std::errc::is_a_directory)
                                                             : errorOf(code);
}

std::error_code renameWithoutReplacing(const std::string &from, const std::string &to)
{
    // Without MOVEFILE_REPLACE_EXISTING a name that is taken is refused.
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_WRITE_THROUGH))
        return {};
    return lastError();
}

std::error_code removeFile(const std::string &path)
{
    return DeleteFileW(wide(path).c_str()) ? std::error_code() : lastError();
}

bool makeUserFolder(const std::string &path, std::string &error)
{
    std::error_code code;
    std::filesystem::create_directories(filePath(path), code);
    if (code && !std::filesystem::is_directory(filePath(path))) {
        error = "cannot make the folder " + path + ": " + code.message();
        return false;
    }
    // Under the user's profile it is the user's own already.
    return true;
}

std::string stateFolder()
{
    const std::string local = environment(L"LOCALAPPDATA");
    return local.empty() ? std::string() : local + "/Tolmar";
}

std::string runtimeFolder()
{
    const std::string local = environment(L"LOCALAPPDATA");
    if (!local.empty() && madeFolder(local + "/Tolmar/run"))
        return local + "/Tolmar/run";
    wchar_t temporary[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH)
        return {};
    const std::string folder = narrow(std::wstring(temporary, length)) + "Tolmar";
    return madeFolder(folder) ? folder : std::string();
}

std::uint64_t processId()
{
    return GetCurrentProcessId();
}

const char *endOfInputKeys()
{
    return "Ctrl-Z, Enter";
}

void setEnvironment(const char *name, const char *value, bool overwrite)
{
    // The C runtime's copy, which getenv() reads; an empty value removes
    // the variable there, as null does here.
    const std::u16string wideName = utf8ToUtf16(name);
    if (!overwrite && _wgetenv(reinterpret_cast<const wchar_t *>(wideName.c_str())))
        return;
    const std::u16string wideValue = value ? utf8ToUtf16(value) : std::u16string();
    _wputenv_s(reinterpret_cast<const wchar_t *>(wideName.c_str()), reinterpret_cast<const wchar_t *>(wideValue.c_str()));
}

bool localTime(std::time_t seconds, std::tm &local)
{
    return localtime_s(&local, &seconds) == 0;
}

namespace {
std::atomic<std::atomic<bool> *> interruptFlag{nullptr};

BOOL WINAPI onConsoleEvent(DWORD event)
{
    std::atomic<bool> *flag = interruptFlag.load();
    if (!flag)
        return FALSE;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        flag->store(true); // a read that waits at the console returns by itself
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // Windows ends the process as soon as this returns: it waits here
        // while the program finishes (a recording writes its file) and
        // exits, which ends this thread too; Windows gives it about 5 s.
        flag->store(true);
        Sleep(INFINITE);
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

void setInterruptFlag(std::atomic<bool> *flag)
{
    const bool wasSet = interruptFlag.exchange(flag) != nullptr;
    if (flag && !wasSet)
        SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    else if (!flag && wasSet)
        SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}

struct Wakeup::State {
    std::mutex mutex;
    std::condition_variable woken;
    bool signalled = false;
};

Wakeup::Wakeup() : m_state(std::make_unique<State>()) {}

Wakeup::~Wakeup() = default;

bool Wakeup::ok() const
{
    return true;
}

int Wakeup::fd() const
{
    return -1;
}

void Wakeup::signal()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->signalled = true;
    }
    m_state->woken.notify_all();
}

void Wakeup::clear()
{
    std::lock_guard lock(m_state->mutex);
    m_state->signalled = false;
}

bool Wakeup::wait(const std::vector<int> &fds, std::vector<bool> &ready, int timeoutMs)
{
    ready.assign(fds.size(), false);
    std::unique_lock lock(m_state->mutex);
    m_state->woken.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                            [this] { return m_state->signalled; });
    m_state->signalled = false;
    return true;
}

} // namespace tolmar
