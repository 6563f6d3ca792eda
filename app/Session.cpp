#include "app/Session.h"

#include "chart/GraphicControl.h"
#include "files/ByteStreams.h"
#include "platform/BackgroundWork.h"
#include "platform/Clock.h"
#include "platform/Prompts.h"
#include "record/ReadingTable.h"
#include "record/Recording.h"

#include <algorithm>
#include <cstdio>

namespace tolmar {

struct Session::RestoreJob {
    LockedFile orphan;
    std::shared_ptr<WorkProgress> progress = std::make_shared<WorkProgress>();
    JournalContents contents;
    bool empty = false; // a file with no byte in it
    // The table as it was when the reading began: rows recorded meanwhile follow the restored ones.
    std::uint64_t generation = 0;
    JournalNumbering numbering;
};

namespace {

std::string twoDigits(int n)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

// "on 2026-12-09 at 13:13:13", "at 13:13:13" without a date; empty without a time.
std::string whenRecorded(const ReadingTable &rows, std::size_t index)
{
    const ReadingRecord record = rows.at(index);
    if (!record.Time || *record.Time < 0)
        return {};
    const int seconds = *record.Time / 1000;
    std::string when = "at " + twoDigits(seconds / 3600) + ":" + twoDigits(seconds / 60 % 60) + ":"
        + twoDigits(seconds % 60);
    if (const auto date = rows.dateOf(index)) {
        int year = 0, month = 0, day = 0;
        civilFromDays(date->day, year, month, day);
        char text[24];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
        when = "on " + std::string(text) + " " + when;
    }
    return when;
}

} // namespace

Session::Session(std::string folder, const SessionPeers &peers) : m_folder(std::move(folder)), m_peers(peers) {}

Session::~Session() = default;

JournalNumbering Session::numbering() const
{
    return {m_peers.recording.NextRecordNo, m_peers.recording.RecordedCount};
}

std::string Session::createdStamp() const
{
    const LocalDateTime t = m_peers.clock.now();
    const int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond, t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

void Session::start()
{
    if (m_folder.path().empty() || m_writer) {
        settled();
        return;
    }
    std::string error;
    auto file = m_folder.createOwn(error);
    if (!file) {
        if (m_peers.showStatusMessage)
            m_peers.showStatusMessage("No session journal: " + error);
        settled();
        return;
    }
    m_writer = std::make_unique<JournalWriter>(std::move(*file), writePeriod);
    beginJournal();

    auto orphan = m_folder.takeOrphan();
    if (!orphan) {
        settled();
        return;
    }
    auto job = std::make_shared<RestoreJob>();
    job->orphan = std::move(*orphan);
    job->generation = m_peers.table.generation();
    job->numbering = numbering();
    m_restoring = true;
    const std::string path = job->orphan.path();
    m_peers.work.start(
        "Reading the session Tolmar did not end", job->progress,
        [job, path] {
            FileSource source(path);
            if (!source.ok()) {
                job->contents.reason = "cannot read it: " + source.error();
                return;
            }
            job->empty = source.size() == 0;
            job->contents = readJournal(source, job->progress.get());
        },
        [this, job] {
            m_restoring = false;
            offerRestore(job);
            settled();
        });
}

void Session::settled()
{
    if (onSettled && !m_ended)
        onSettled();
    onSettled = nullptr;
}

void Session::catchUp(std::size_t end)
{
    if (!m_writer)
        return;
    const ReadingTable &table = m_peers.table;
    if (table.generation() != m_generation) {
        m_generation = table.generation();
        m_rows = 0;
        m_date.reset();
        m_numbering = numbering();
        const JournalNumbering now = m_numbering;
        m_writer->append([&](std::string &out) { journal::appendBegin(out, 'B', now); });
    }
    end = std::min(end, table.size());
    if (m_rows >= end)
        return;
    // The writer encodes them: a loaded file's million rows never hold up the window.
    m_writer->appendRows(table.snapshot(), m_rows, end);
    m_date = table.dateOf(end - 1);
    m_rows = end;
}

void Session::considered(std::optional<std::size_t> index, std::optional<double> chartValue)
{
    if (!m_writer)
        return;
    const JournalNumbering now = numbering();
    if (index) {
        catchUp(*index);
        const ReadingRecord record = m_peers.table.at(*index);
        const std::optional<RecordDate> date = m_peers.table.dateOf(*index);
        const bool dateChanged = !m_date || *m_date != date;
        m_writer->append([&](std::string &out) {
            if (dateChanged)
                journal::appendDate(out, date);
            journal::appendRecorded(out, record, chartValue);
        });
        m_date = date;
        m_rows = *index + 1;
        m_numbering = {record.No.value_or(m_numbering.next - 1) + 1, m_numbering.recorded + 1};
    } else if (chartValue) {
        m_writer->append([&](std::string &out) { journal::appendChartValue(out, *chartValue); });
        ++m_numbering.next;
    }
    if (m_numbering != now) {
        m_writer->append([&](std::string &out) { journal::appendNumbering(out, now); });
        m_numbering = now;
    }
}

void Session::cleared()
{
    if (!m_writer)
        return;
    // Table and chart are empty: nothing before matters, the file starts again.
    m_writer->truncate();
    beginJournal();
}

void Session::beginJournal()
{
    m_generation = m_peers.table.generation();
    m_rows = 0;
    m_date.reset();
    m_numbering = numbering();
    const std::string created = createdStamp();
    const JournalNumbering start = m_numbering;
    m_writer->append([&](std::string &out) {
        journal::appendHeader(out, created);
        journal::appendBegin(out, 'E', start);
    });
    catchUp(m_peers.table.size());
}

void Session::tableChanged()
{
    catchUp(m_peers.table.size());
}

void Session::poll()
{
    if (!m_writer || m_failureTold || !m_writer->failed())
        return;
    m_failureTold = true;
    if (m_peers.showStatusMessage)
        m_peers.showStatusMessage("The session journal stopped: " + m_writer->failure()
                                  + ". A crash would now lose the records.");
}

void Session::end()
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_writer)
        m_writer->remove();
    m_writer.reset();
}

void Session::flush()
{
    if (m_writer)
        m_writer->flush();
}

std::string Session::restoreQuestion(const JournalContents &contents, const std::string &keptPath)
{
    const std::size_t count = contents.rows.size();
    std::string text = "Tolmar did not end normally last time.\n\n";
    if (count == 0) {
        text += "Restore the " + std::to_string(contents.chartValues.size()) + " chart values of that session?";
    } else {
        text += "Restore the " + std::to_string(count) + (count == 1 ? " record" : " records") + " of that session?";
        const std::string when = whenRecorded(contents.rows, count - 1);
        if (!when.empty())
            text += std::string(count == 1 ? " It was" : " The last one was") + " recorded " + when + ".";
    }
    if (contents.damagedTail())
        text += "\n\nThe journal is damaged after them: what follows cannot be restored.";
    text += "\n\nNo keeps them in " + keptPath + ".";
    return text;
}

void Session::keepOrphan(LockedFile &orphan, const std::string &created, const std::string &why)
{
    std::string error;
    const auto kept = m_folder.keep(orphan, created, error);
    if (!kept) {
        // It stays where it is, and is offered again at the next start.
        m_peers.prompts.show(PromptIcon::Error,
                             why + "Tolmar could not keep it aside (" + error + "); it stays as " + orphan.path() + ".",
                             PromptButtons::Ok);
        orphan.close();
        return;
    }
    if (!why.empty())
        m_peers.prompts.show(PromptIcon::Error, why + "It is kept as " + *kept + ".", PromptButtons::Ok);
    else if (m_peers.showStatusMessage)
        m_peers.showStatusMessage("The earlier session is kept in " + *kept);
}

void Session::offerRestore(const std::shared_ptr<RestoreJob> &job)
{
    JournalContents &contents = job->contents;
    if (m_ended || job->progress->cancelled()) {
        job->orphan.close(); // asked again at the next start
        return;
    }
    if (job->empty || (contents.status != JournalContents::Status::Refused && contents.rows.empty()
                       && contents.chartValues.empty())) {
        job->orphan.remove(); // nothing was recorded in it
        return;
    }
    if (contents.status == JournalContents::Status::Refused) {
        keepOrphan(job->orphan, contents.created,
                   "The journal of a session Tolmar did not end, " + job->orphan.path() + ", cannot be restored: "
                       + contents.reason + ".\n\n");
        return;
    }
    const PromptAnswer answer = restoreWithoutAsking
        ? PromptAnswer::Yes
        : m_peers.prompts.show(PromptIcon::Confirmation, restoreQuestion(contents, m_folder.keptPath(contents.created)),
                               PromptButtons::YesNo);
    if (m_ended) {
        job->orphan.close();
        return;
    }
    if (answer == PromptAnswer::Yes)
        restore(job);
    else if (answer == PromptAnswer::No)
        keepOrphan(job->orphan, contents.created, {});
    else
        job->orphan.close(); // no answer: asked again at the next start
}

void Session::restore(const std::shared_ptr<RestoreJob> &job)
{
    JournalContents &contents = job->contents;
    ReadingTable &table = m_peers.table;
    Recording &recording = m_peers.recording;
    // Readings recorded while the journal was read follow the restored ones,
    // as they do a loaded packet's rows.
    const std::size_t restored = contents.rows.size();
    const bool untouched = table.empty() && table.generation() == job->generation
        && numbering() == job->numbering;
    for (std::size_t i = 0; i < table.size(); ++i)
        contents.rows.append(table.at(i), table.dateOf(i));
    table = std::move(contents.rows);
    m_peers.chart.restoreValues(contents.chartValues);
    if (untouched) {
        recording.NextRecordNo = contents.numbering.next;
        recording.RecordedCount = contents.numbering.recorded;
    } else {
        recording.NextRecordNo = std::max(recording.NextRecordNo, contents.numbering.next);
        recording.RecordedCount += contents.numbering.recorded;
    }
    if (m_peers.tableReplaced)
        m_peers.tableReplaced();
    if (recording.onChanged)
        recording.onChanged();
    if (!m_writer) {
        job->orphan.close();
        return;
    }

    // The journal goes on where the restored session's stopped; a damaged
    // one is kept aside as it is, and this window's journal takes the whole
    // session anew.
    const JournalNumbering numberingNow = numbering();
    if (contents.damagedTail()) {
        keepOrphan(job->orphan, contents.created, {});
        m_writer->truncate();
        const std::string created = createdStamp();
        m_writer->append([&](std::string &out) {
            journal::appendHeader(out, created);
            journal::appendBegin(out, 'E', numberingNow);
        });
        m_writer->appendChartValues(std::move(contents.chartValues));
        m_writer->appendRows(table.snapshot(), 0, table.size());
    } else {
        m_writer->adopt(std::move(job->orphan), contents.validBytes);
        m_writer->appendRows(table.snapshot(), restored, table.size());
    }
    m_writer->append([&](std::string &out) { journal::appendNumbering(out, numberingNow); });
    m_generation = table.generation();
    m_rows = table.size();
    m_date = table.empty() ? std::optional<std::optional<RecordDate>>() : table.dateOf(table.size() - 1);
    m_numbering = numberingNow;
}

} // namespace tolmar
