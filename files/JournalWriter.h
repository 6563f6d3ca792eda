#pragma once

#include "files/JournalFolder.h"
#include "record/ReadingTable.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tolmar {

// Writes a session journal beside the UI thread. The UI thread appends
// lines to a queue under a short lock and never waits for the disk; the
// writer takes the queue every `period`, writes it and syncs it to disk,
// so a crash or a power cut loses at most about that long. A write that
// fails (a full disk) stops the journal: failure() says why, and what is
// appended after is dropped.
class JournalWriter {
public:
    // Queued bytes beyond this mean the disk does not keep up: the journal
    // stops rather than fill the memory.
    static constexpr std::size_t maxQueuedBytes = 64u << 20;

    JournalWriter(LockedFile file, std::chrono::milliseconds period);
    // Writes what is queued and lets the file go; it stays on disk.
    ~JournalWriter();
    JournalWriter(const JournalWriter &) = delete;
    JournalWriter &operator=(const JournalWriter &) = delete;

    // Appends lines: `encode(std::string &)` adds them to the queue. Cheap:
    // no allocation once the queue's buffer has grown, no system call.
    template <typename Encode>
    void append(Encode encode)
    {
        if (m_failed.load(std::memory_order_relaxed))
            return;
        std::lock_guard lock(m_mutex);
        if (m_queue.empty() || m_queue.back().kind != Item::Kind::Bytes)
            m_queue.push_back(bytesItem());
        std::string &bytes = m_queue.back().bytes;
        const std::size_t before = bytes.size();
        encode(bytes);
        m_queuedBytes += bytes.size() - before;
        if (m_queuedBytes > maxQueuedBytes)
            failLocked("the disk does not keep up");
    }
    // Rows [first, end) of a snapshot as loaded rows, encoded by the writer.
    void appendRows(ReadingTableSnapshot rows, std::size_t first, std::size_t end);
    // Chart values without rows, encoded by the writer.
    void appendChartValues(std::vector<double> values);
    // Empties the file; what is appended after starts it again.
    void truncate();
    // Goes on in another journal (a crashed session's, restored): this
    // one's file is removed, the other is cut to `length` bytes first.
    void adopt(LockedFile file, std::uint64_t length);
    // Blocks until everything appended so far is on disk (or has failed).
    void flush();
    // Stops the writer and removes the file: the session ended normally.
    void remove();

    // Why the journal stopped; empty while it runs. Any thread.
    std::string failure() const;
    bool failed() const { return m_failed.load(std::memory_order_relaxed); }
    // The file written now.
    std::string path() const;

private:
    struct Item {
        enum class Kind { Bytes, Rows, ChartValues, Truncate, Adopt };
        Kind kind = Kind::Bytes;
        std::string bytes;
        ReadingTableSnapshot rows;
        std::size_t first = 0, end = 0;
        std::vector<double> values;
        LockedFile file;
        std::uint64_t length = 0;
    };
    Item bytesItem();
    void push(Item item);
    void run();
    // Writer thread: false (and the journal failed) when a write fails.
    bool process(Item &item, std::string &scratch);
    bool writeAll(const std::string &bytes);
    void failLocked(std::string why);

    const std::chrono::milliseconds m_period;
    mutable std::mutex m_mutex; // guards everything below up to m_thread
    std::condition_variable m_wake;  // the writer: urgent work, or stop
    std::condition_variable m_drained; // flush(): a pass ended
    std::deque<Item> m_queue;
    std::size_t m_queuedBytes = 0;
    std::string m_spare; // a written buffer, kept for its capacity
    bool m_urgent = false;
    bool m_stop = false;
    bool m_writing = false; // the writer holds items taken off the queue
    std::uint64_t m_passes = 0;
    std::string m_failure;
    std::atomic<bool> m_failed{false};
    // The file is the writer's while it runs; its path is read under the lock.
    LockedFile m_file;
    std::string m_path;
    std::thread m_thread;
};

} // namespace tolmar
