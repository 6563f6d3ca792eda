#pragma once

#include "platform/SystemFiles.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tolmar {

// The folder of the session journals: the program's state folder
// ($XDG_STATE_HOME/tolmar, else ~/.local/state/tolmar; %LOCALAPPDATA%/Tolmar
// on Windows); empty when the system names none.
std::string defaultJournalFolder();

// A journal file this program holds: open for writing and locked, so no
// other Tolmar takes it for a crashed session's. The lock goes with the
// process, also when it is killed.
class LockedFile {
public:
    LockedFile() = default;
    explicit LockedFile(SystemFile file) : m_file(std::move(file)) {}
    ~LockedFile() = default;
    LockedFile(LockedFile &&other) noexcept = default;
    LockedFile &operator=(LockedFile &&other) noexcept = default;
    LockedFile(const LockedFile &) = delete;
    LockedFile &operator=(const LockedFile &) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    SystemFile &file() { return m_file; }
    const std::string &path() const { return m_file.path(); }
    // Removes the file and lets it go.
    void remove();
    void close();

private:
    SystemFile m_file;
};

// The journals in one folder: "session-<process>-<ms>.journal" while a
// window runs (or after it crashed), "kept-<start of the session>.journal"
// once the user chose not to restore one.
class JournalFolder {
public:
    explicit JournalFolder(std::string path) : m_path(std::move(path)) {}
    const std::string &path() const { return m_path; }

    // A new journal for this window, the folder made first if need be
    // (private to the user). Nullopt and `error` when that fails.
    std::optional<LockedFile> createOwn(std::string &error) const;
    // The newest journal no running Tolmar holds, locked for this one.
    std::optional<LockedFile> takeOrphan() const;
    // Renames a journal to a kept one named after the session's start
    // ("2026-12-09T13:13:13.123+01:00" gives kept-2026-12-09_13-13-13.journal,
    // "-2" and on when taken) and lets it go. The new path, or nullopt and
    // `error`; the file stays as it was then.
    std::optional<std::string> keep(LockedFile &file, const std::string &created, std::string &error) const;
    // The name keep() gives now, for a question that names it.
    std::string keptPath(const std::string &created) const;

private:
    std::string m_path;
};

} // namespace tolmar
