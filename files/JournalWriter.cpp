#include "files/JournalWriter.h"

#include "files/Journal.h"

namespace tolmar {

namespace {
// The writer encodes loaded rows in pieces of about this size.
constexpr std::size_t pieceBytes = 1u << 20;
} // namespace

JournalWriter::JournalWriter(LockedFile file, std::chrono::milliseconds period)
    : m_period(period), m_file(std::move(file)), m_path(m_file.path())
{
    m_thread = std::thread([this] { run(); });
}

JournalWriter::~JournalWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void JournalWriter::remove()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_queue.clear(); // nothing more is needed on disk
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
    m_file.remove();
}

JournalWriter::Item JournalWriter::bytesItem()
{
    Item item;
    item.bytes = std::move(m_spare);
    item.bytes.clear();
    return item;
}

void JournalWriter::push(Item item)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_failed.load(std::memory_order_relaxed) || m_stop)
            return;
        const bool urgent = item.kind == Item::Kind::Truncate || item.kind == Item::Kind::Adopt;
        m_queue.push_back(std::move(item));
        if (!urgent)
            return;
        m_urgent = true;
    }
    m_wake.notify_one();
}

void JournalWriter::appendRows(ReadingTableSnapshot rows, std::size_t first, std::size_t end)
{
    if (first >= end)
        return;
    Item item;
    item.kind = Item::Kind::Rows;
    item.rows = std::move(rows);
    item.first = first;
    item.end = end;
    push(std::move(item));
}

void JournalWriter::appendChartValues(std::vector<double> values)
{
    if (values.empty())
        return;
    Item item;
    item.kind = Item::Kind::ChartValues;
    item.values = std::move(values);
    push(std::move(item));
}

void JournalWriter::truncate()
{
    Item item;
    item.kind = Item::Kind::Truncate;
    push(std::move(item));
}

void JournalWriter::adopt(LockedFile file, std::uint64_t length)
{
    Item item;
    item.kind = Item::Kind::Adopt;
    item.file = std::move(file);
    item.length = length;
    push(std::move(item));
}

void JournalWriter::flush()
{
    std::unique_lock lock(m_mutex);
    // A pass under way may have taken its items before the last appends.
    const std::uint64_t wanted = m_passes + (m_writing ? 2 : 1);
    m_urgent = true;
    m_wake.notify_one();
    m_drained.wait(lock, [&] { return m_passes >= wanted || m_failed.load() || m_stop; });
}

std::string JournalWriter::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

std::string JournalWriter::path() const
{
    std::lock_guard lock(m_mutex);
    return m_path;
}

void JournalWriter::failLocked(std::string why)
{
    if (m_failed.load(std::memory_order_relaxed))
        return;
    m_failure = std::move(why);
    m_failed.store(true, std::memory_order_relaxed);
    m_queue.clear();
    m_queuedBytes = 0;
}

void JournalWriter::run()
{
    std::deque<Item> items;
    std::string scratch;
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait_for(lock, m_period, [&] { return m_urgent || m_stop; });
        items.swap(m_queue);
        m_queuedBytes = 0;
        m_urgent = false;
        const bool stop = m_stop;
        m_writing = true;
        lock.unlock();

        bool wrote = false;
        bool good = true;
        for (Item &item : items) {
            if (!(good = process(item, scratch)))
                break;
            wrote = true;
        }
        if (good && wrote && !m_file.file().syncData()) {
            good = false;
            lock.lock();
            failLocked("cannot sync to disk: " + m_file.file().error().message());
            lock.unlock();
        }
        // Keep one buffer's capacity for the next appends.
        std::string spare;
        for (Item &item : items)
            if (item.kind == Item::Kind::Bytes && item.bytes.capacity() > spare.capacity())
                spare = std::move(item.bytes);
        items.clear();

        lock.lock();
        if (m_spare.capacity() < spare.capacity())
            m_spare = std::move(spare);
        m_writing = false;
        ++m_passes;
        m_drained.notify_all();
        if (stop)
            return;
    }
}

bool JournalWriter::writeAll(const std::string &bytes)
{
    if (m_file.file().writeAll(bytes.data(), bytes.size()))
        return true;
    const std::string why = m_file.file().error().message();
    std::lock_guard lock(m_mutex);
    failLocked(why);
    return false;
}

bool JournalWriter::process(Item &item, std::string &scratch)
{
    switch (item.kind) {
    case Item::Kind::Bytes:
        return writeAll(item.bytes);
    case Item::Kind::Rows:
        // In pieces: a loaded file of millions of rows never sits here whole.
        for (std::size_t first = item.first; first < item.end;) {
            scratch.clear();
            std::size_t end = first;
            while (end < item.end && scratch.size() < pieceBytes) {
                const std::size_t step = std::min<std::size_t>(item.end - end, 1024);
                journal::appendRows(scratch, item.rows, end, end + step);
                end += step;
            }
            if (!writeAll(scratch))
                return false;
            first = end;
        }
        return true;
    case Item::Kind::ChartValues:
        scratch.clear();
        for (const double value : item.values) {
            journal::appendChartValue(scratch, value);
            if (scratch.size() >= pieceBytes) {
                if (!writeAll(scratch))
                    return false;
                scratch.clear();
            }
        }
        return writeAll(scratch);
    case Item::Kind::Truncate:
        if (!m_file.file().truncate(0)) {
            std::lock_guard lock(m_mutex);
            failLocked("cannot empty the journal: " + m_file.file().error().message());
            return false;
        }
        return true;
    case Item::Kind::Adopt: {
        if (!item.file.file().truncate(item.length)) {
            std::lock_guard lock(m_mutex);
            failLocked("cannot go on in the restored journal: " + item.file.file().error().message());
            return false;
        }
        // The restored journal is complete on disk before this one goes.
        if (!item.file.file().syncData()) {
            std::lock_guard lock(m_mutex);
            failLocked("cannot sync to disk: " + item.file.file().error().message());
            return false;
        }
        m_file.remove();
        std::lock_guard lock(m_mutex);
        m_file = std::move(item.file);
        m_path = m_file.path();
        return true;
    }
    }
    return true;
}

} // namespace tolmar
