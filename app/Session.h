#pragma once

#include "files/Journal.h"
#include "files/JournalFolder.h"
#include "files/JournalWriter.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tolmar {

class BackgroundWork;
class Clock;
class GraphicControl;
class Prompts;
class ReadingTable;
class Recording;

struct SessionPeers {
    ReadingTable &table;
    Recording &recording;
    GraphicControl &chart;
    Prompts &prompts;
    BackgroundWork &work;
    const Clock &clock;
    std::function<void()> tableReplaced;                         // the grid shows other rows
    std::function<void(const std::string &)> showStatusMessage; // once, in the status bar
};

// The window's crash-safe session: every change of the reading table, the
// numbering and the chart's recorded values goes to a journal in the
// user's state folder while the window runs (JournalWriter, beside the UI
// thread), and a normal end removes it. At start a journal that no running
// Tolmar holds is a crashed session's: its records are offered back.
class Session {
public:
    static constexpr std::chrono::milliseconds writePeriod{250};

    // An empty folder: no journal (tests, the CLI).
    Session(std::string folder, const SessionPeers &peers);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // After the window's start-up: starts this window's journal and looks
    // for a crashed session's.
    void start();
    // What recording did with a reading (Recording::onConsidered).
    void considered(std::optional<std::size_t> index, std::optional<double> chartValue);
    // Close Data emptied table and chart.
    void cleared();
    // A file's rows were appended, or replaced the table.
    void tableChanged();
    // Once a second: a journal that stopped is told, once.
    void poll();
    // The session ended normally: its journal goes.
    void end();

    bool journalling() const { return m_writer && !m_writer->failed(); }
    std::string journalPath() const { return m_writer ? m_writer->path() : std::string(); }
    // Blocks until what is journalled so far is on disk (tests, benchmarks).
    void flush();
    // True while a crashed session's journal is being read.
    bool restoring() const { return m_restoring; }

    // Restore a crashed session's records without asking (a logging
    // machine that starts Tolmar by itself).
    bool restoreWithoutAsking = false;
    // Told once start-up is through with a crashed session (at once when
    // there is none): what waited for it may go on.
    std::function<void()> onSettled;

    // Texts of the restore question and its answers.
    static std::string restoreQuestion(const JournalContents &contents, const std::string &keptPath);

private:
    struct RestoreJob;
    JournalNumbering numbering() const;
    // Journals what the table holds beyond what is journalled, up to `end`;
    // a replaced table begins again.
    void catchUp(std::size_t end);
    // The journal's first lines: its header, then the table and chart as they are.
    void beginJournal();
    void offerRestore(const std::shared_ptr<RestoreJob> &job);
    void settled();
    void restore(const std::shared_ptr<RestoreJob> &job);
    void keepOrphan(LockedFile &orphan, const std::string &created, const std::string &why);
    std::string createdStamp() const; // the local time now, as ISO 8601

    JournalFolder m_folder;
    SessionPeers m_peers;
    std::unique_ptr<JournalWriter> m_writer;
    // What the journal holds: the table of this generation up to m_rows,
    // the date of its last row, the numbering its lines imply.
    std::uint64_t m_generation = 0;
    std::size_t m_rows = 0;
    std::optional<std::optional<RecordDate>> m_date; // unset: the next row writes its date
    JournalNumbering m_numbering;
    bool m_failureTold = false;
    bool m_restoring = false;
    bool m_ended = false;
};

} // namespace tolmar
