#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

// Files and folders of the operating system, for the Qt-free layers. Names
// are UTF-8 everywhere in the program; the Windows implementation hands them
// to the system as UTF-16. Errors are std::error_code values of the generic
// category (errno numbers: ENOENT, EEXIST, ENOSPC ...) wherever the system's
// error has one, so messages read the same on every system.
namespace tolmar {

// Two names are one file when their identities are equal.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0; // the inode, or the file index on Windows
    bool operator==(const FileIdentity &) const = default;
};

struct FileStatus {
    enum class Kind { Regular, Folder, Other }; // Other: a device, a pipe, a socket
    Kind kind = Kind::Regular;
    std::uint64_t size = 0; // of a regular file
    FileIdentity identity;
};

// An open file of the system: move-only, closed with the object.
class SystemFile {
public:
    // How open() opens; combine with |.
    enum Flags : unsigned {
        Read = 1,
        Write = 2,
        Create = 4,     // made when missing
        Exclusive = 8,  // with Create: refused (EEXIST) when the name is taken
        Truncate = 16,  // emptied when it exists
        Append = 32,    // every write goes to the end
        NoFollow = 64,  // a symbolic link at the name is refused
        NoWait = 128,   // the opening does not wait for a pipe's other end; reads and writes wait as usual
        Private = 256,  // created for the user alone, else as a new document
        Sequential = 512, // read once from the start to the end
    };
    enum class Lock { Shared, Exclusive };

    SystemFile() = default;
    ~SystemFile();
    SystemFile(SystemFile &&other) noexcept;
    SystemFile &operator=(SystemFile &&other) noexcept;
    SystemFile(const SystemFile &) = delete;
    SystemFile &operator=(const SystemFile &) = delete;

    // A file that failed to open is not isOpen() and says why in error().
    static SystemFile open(const std::string &path, unsigned flags);
    // A new, empty file for writing beside `target`, under a hidden name of
    // its own (path()), to take the target's place later with
    // replaceFile(); it gets the permissions the target has, or those of a
    // new document.
    static SystemFile createBeside(const std::string &target);
    // The process's standard input, which this object never closes.
    static SystemFile standardInput();

    bool isOpen() const;
    const std::string &path() const { return m_path; }
    // Why the last step failed.
    const std::error_code &error() const { return m_error; }

    // Bytes read, 0 at the end, -1 on an error. A signal or Ctrl-C that cut
    // the wait short is an error of its own: std::errc::interrupted.
    std::ptrdiff_t read(char *buffer, std::size_t capacity);
    // All of it, or false.
    bool writeAll(const char *bytes, std::size_t size);
    bool rewind();
    bool truncate(std::uint64_t length);
    // On disk: the bytes and all that describes the file; or the bytes and
    // what is needed to read them back (syncData, cheaper).
    bool sync();
    bool syncData();
    // Locks the whole file without waiting, until it is closed or the
    // process ends however it ends. Refused with
    // std::errc::operation_would_block while another open file holds a lock
    // that excludes this one (in this process too). The lock does not stop
    // reads or writes through other open files.
    bool tryLock(Lock lock);
    std::optional<FileStatus> status();
    bool isTerminal() const;
    // False when the system reported a failure in closing (a write that
    // could not be completed).
    bool close();

private:
    SystemFile(std::intptr_t handle, std::string path, bool owned);

    std::intptr_t m_handle = -1; // a file descriptor, or a HANDLE on Windows
    bool m_owned = true;
    bool m_append = false; // writes go to the end (where the system does not do it)
    std::string m_path;
    std::error_code m_error;
};

// Of the file a name leads to (through symbolic links).
std::optional<FileStatus> fileStatus(const std::string &path, std::error_code &error);
// True when nothing has this name, not even a symbolic link that leads nowhere.
bool nameIsFree(const std::string &path);
// The file that a symbolic link at `path` leads to; `path` itself when it is
// no link.
std::string linkedFile(const std::string &path);
// Renames `from` to `to`, putting it in the place of a file of that name.
std::error_code replaceFile(const std::string &from, const std::string &to);
// Renames `from` to `to` only when `to` is free: std::errc::file_exists
// when it is taken, and nothing is changed.
std::error_code renameWithoutReplacing(const std::string &from, const std::string &to);
std::error_code removeFile(const std::string &path);
// Makes the folder and those above it; the folder itself is made the
// user's own, closed to others. False and `error` when it is not there.
bool makeUserFolder(const std::string &path, std::string &error);

// Where this program keeps what outlives a run (the session journals):
// $XDG_STATE_HOME/tolmar, else ~/.local/state/tolmar; on Windows
// %LOCALAPPDATA%/Tolmar. Empty when the system names none.
std::string stateFolder();
// Where this program's processes meet while they run (lock files): on
// Linux $XDG_RUNTIME_DIR/tolmar, else /tmp/tolmar-<uid>; on Windows
// %LOCALAPPDATA%/Tolmar/run, else one in the temporary folder. Created when
// missing; empty when it cannot be had safely (not a folder of the user's
// own).
std::string runtimeFolder();

// A UTF-8 name as std::filesystem takes it, and back: on Windows the plain
// std::string forms use the ANSI code page, not UTF-8.
inline std::filesystem::path filePath(const std::string &utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string pathText(const std::filesystem::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
// The same with '/' between the parts, as on Linux, on every system.
inline std::string genericPathText(const std::filesystem::path &path)
{
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

} // namespace tolmar
