#include "files/JournalFolder.h"

#include "platform/System.h"

#include <algorithm>
#include <atomic>
#include <chrono>
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

// Locks an open journal; false when another process holds it.
bool lockFile(LockedFile &file)
{
    return file.file().tryLock(SystemFile::Lock::Exclusive);
}

} // namespace

std::string defaultJournalFolder()
{
    return stateFolder();
}

void LockedFile::remove()
{
    // Removed while still locked: no other Tolmar can take it in between.
    if (m_file.isOpen())
        removeFile(m_file.path());
    close();
}

void LockedFile::close()
{
    m_file.close();
}

std::optional<LockedFile> JournalFolder::createOwn(std::string &error) const
{
    // The journals show what was measured: the user's own.
    if (!makeUserFolder(m_path, error))
        return std::nullopt;
    static std::atomic<unsigned> serial{0};
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    const std::string path = m_path + "/" + sessionPrefix + std::to_string(processId()) + "-" + std::to_string(ms)
        + "-" + std::to_string(serial++) + suffix;
    LockedFile file(SystemFile::open(path, SystemFile::Write | SystemFile::Create | SystemFile::Exclusive
                                               | SystemFile::Append | SystemFile::Private));
    if (!file.isOpen()) {
        error = "cannot create " + path + ": " + file.file().error().message();
        return std::nullopt;
    }
    if (!lockFile(file)) {
        error = "cannot lock " + path + ": " + file.file().error().message();
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
    for (const auto &entry : std::filesystem::directory_iterator(filePath(m_path), code)) {
        const std::string name = pathText(entry.path().filename());
        std::error_code entryCode;
        if (name.rfind(sessionPrefix, 0) != 0 || !endsWith(name, suffix) || !entry.is_regular_file(entryCode))
            continue;
        candidates.push_back({m_path + "/" + name, entry.last_write_time(entryCode)});
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate &a, const Candidate &b) { return a.written > b.written; });
    for (const Candidate &candidate : candidates) {
        LockedFile file(SystemFile::open(candidate.path, SystemFile::Write | SystemFile::Append | SystemFile::NoFollow));
        if (!file.isOpen())
            continue;
        if (!lockFile(file))
            continue; // a running Tolmar's
        // Its owner may have ended and removed it between our open and our
        // lock: only the file still under that name is an orphan.
        std::error_code gone;
        const auto opened = file.file().status();
        const auto named = fileStatus(candidate.path, gone);
        if (!opened || !named || opened->identity != named->identity)
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
        if (nameIsFree(path))
            return path;
    }
    return keptName(m_path, stamp, mostKeptOfOneTime);
}

std::optional<std::string> JournalFolder::keep(LockedFile &file, const std::string &created, std::string &error) const
{
    const std::string stamp = stampOf(created);
    for (int n = 1; n < mostKeptOfOneTime; ++n) {
        const std::string path = keptName(m_path, stamp, n);
        // Never in the place of a file that is there: no kept journal is overwritten.
        const std::error_code moved = renameWithoutReplacing(file.path(), path);
        if (!moved) {
            file.close();
            return path;
        }
        if (moved != std::errc::file_exists) {
            error = moved.message();
            return std::nullopt;
        }
    }
    error = "too many kept journals of that time";
    return std::nullopt;
}

} // namespace tolmar
