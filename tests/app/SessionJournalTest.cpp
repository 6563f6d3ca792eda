// The window's session journal: a crashed session's records come back at
// the next start, or are kept aside, and a normal end leaves nothing.
// A window that goes without its normal end (its core destroyed) lets its
// journal go like a killed process does; the writer's last pass stands for
// the second before the crash.
#include "files/ByteStreams.h"
#include "files/FileTestSupport.h"
#include "files/Journal.h"
#include "files/JournalFolder.h"
#include "files/TextTable.h"
#include "record/RecordingSession.h"

#include <gtest/gtest.h>

#ifdef __linux__
#include <sys/mount.h>
#endif

namespace tolmar {
namespace {

using filetest::ScratchDir;
using test::RecordingSession;
using test::voltFrame;

// Records n frames, one a second, each recorded as it comes.
void record(RecordingSession &s, int first, int count)
{
    s.recording().RecordSIClick(false);
    for (int n = first; n < first + count; ++n)
        s.playEvery(voltFrame(n), 1000);
}

std::vector<std::string> journals(const ScratchDir &dir)
{
    std::vector<std::string> names;
    for (const std::string &name : dir.entries())
        if (name.ends_with(".journal"))
            names.push_back(name);
    return names;
}

std::vector<std::string> withPrefix(const std::vector<std::string> &names, const std::string &prefix)
{
    std::vector<std::string> found;
    for (const std::string &name : names)
        if (name.starts_with(prefix))
            found.push_back(name);
    return found;
}

TEST(SessionJournal, ACrashedSessionComesBackWhole)
{
    ScratchDir dir;
    std::vector<filetest::Row> before;
    std::vector<std::optional<RecordDate>> dates;
    std::int64_t chartPoints = 0;
    {
        RecordingSession crashed(dir.path());
        // Past midnight: the records of two days.
        crashed.time.advance(((23 - 14) * 60 + 59) * 60 * 1000 + 55 * 1000);
        record(crashed, 0, 12);
        before = filetest::rowsOf(crashed.table());
        for (std::size_t i = 0; i < crashed.table().size(); ++i)
            dates.push_back(crashed.table().dateOf(i));
        chartPoints = crashed.chartValues();
        ASSERT_EQ(before.size(), 12u);
        ASSERT_NE(dates.front(), dates.back());
    }
    RecordingSession next(dir.path(), {PromptAnswer::Yes});
    ASSERT_EQ(next.prompts.shown.size(), 1u);
    EXPECT_EQ(next.prompts.shown[0].text,
              "Tolmar did not end normally last time.\n\nRestore the 12 records of that session? The last one was "
              "recorded on 2024-03-06 at 00:00:06.\n\nNo keeps them in "
                  + dir.path() + "/kept-2024-03-05_14-00-00.journal.");
    EXPECT_EQ(filetest::rowsOf(next.table()), before);
    for (std::size_t i = 0; i < dates.size(); ++i)
        EXPECT_EQ(next.table().dateOf(i), dates[i]) << i;
    EXPECT_EQ(next.chartValues(), chartPoints);
    // Numbering goes on, and so does the journal: one file, the restored one.
    record(next, 100, 1);
    EXPECT_EQ(next.numbers().back(), 12);
    next.form.session.flush();
    EXPECT_EQ(journals(dir).size(), 1u);
    FileSource source(next.form.session.journalPath());
    const JournalContents journal = readJournal(source);
    EXPECT_EQ(journal.rows.size(), 13u);
    EXPECT_EQ(journal.numbering, (JournalNumbering{13, 13}));
}

TEST(SessionJournal, NoKeepsTheJournalAsADatedFileAndNoAnswerAsksAgain)
{
    ScratchDir dir;
    {
        RecordingSession crashed(dir.path());
        record(crashed, 0, 3);
    }
    {
        RecordingSession dismissed(dir.path(), {PromptAnswer::None});
        EXPECT_EQ(dismissed.prompts.shown.size(), 1u);
        EXPECT_TRUE(dismissed.table().empty());
        dismissed.form.session.end();
    }
    {
        RecordingSession declined(dir.path(), {PromptAnswer::No});
        ASSERT_EQ(declined.prompts.shown.size(), 1u) << "asked again";
        EXPECT_TRUE(declined.table().empty());
        declined.form.session.end();
    }
    EXPECT_EQ(journals(dir), std::vector<std::string>{"kept-2024-03-05_14-00-00.journal"});
    RecordingSession later(dir.path());
    EXPECT_TRUE(later.prompts.shown.empty()) << "a kept journal is not offered again";
    FileSource kept(dir.file("kept-2024-03-05_14-00-00.journal"));
    EXPECT_EQ(readJournal(kept).rows.size(), 3u);
}

TEST(SessionJournal, ANormalEndLeavesNoJournalAndARunningTolmarsIsNotOffered)
{
    ScratchDir dir;
    // Another window's journal, held by it while it runs.
    std::string error;
    std::optional<LockedFile> running = JournalFolder(dir.path()).createOwn(error);
    ASSERT_TRUE(running) << error;
    filetest::writeFile(running->path(), "not even read");
    {
        RecordingSession quit(dir.path());
        EXPECT_TRUE(quit.prompts.shown.empty());
        record(quit, 0, 2);
        EXPECT_EQ(withPrefix(journals(dir), "session-").size(), 2u);
        quit.prompts.answers = {PromptAnswer::Yes};
        quit.form.BitBtn1Click();
    }
    {
        RecordingSession closed(dir.path());
        record(closed, 0, 2);
        closed.prompts.answers = {PromptAnswer::No};
        EXPECT_FALSE(closed.form.FormCloseQuery());
        EXPECT_EQ(withPrefix(journals(dir), "session-").size(), 2u) << "No keeps the window and its journal";
        closed.prompts.answers = {PromptAnswer::Yes};
        EXPECT_TRUE(closed.form.FormCloseQuery());
    }
    EXPECT_EQ(journals(dir), std::vector<std::string>{std::filesystem::path(running->path()).filename().string()});
}

TEST(SessionJournal, CloseDataAndLoadedFilesAreJournalledToo)
{
    ScratchDir dir;
    std::vector<filetest::Row> before;
    {
        RecordingSession crashed(dir.path());
        record(crashed, 0, 5);
        crashed.prompts.answers = {PromptAnswer::Yes};
        crashed.form.RecordNewClick(); // Close Data: numbering from 1
        record(crashed, 10, 2);
        crashed.form.dataFiles.LoadTable(TOLMAR_TEST_DATA "/files/text-short-frame.txt", false);
        ASSERT_TRUE(crashed.form.dataFiles.lastLoad().loaded()) << crashed.form.dataFiles.lastLoad().error;
        record(crashed, 20, 1);
        before = filetest::rowsOf(crashed.table());
        ASSERT_EQ(before.size(), 4u); // two recorded, one loaded, one recorded
    }
    RecordingSession next(dir.path(), {PromptAnswer::Yes});
    EXPECT_EQ(filetest::rowsOf(next.table()), before);
    EXPECT_EQ(next.recording().RecordedCount, 3);
    record(next, 30, 1);
    EXPECT_EQ(next.numbers().back(), 4);
}

TEST(SessionJournal, RecordsTakenWhileTheJournalIsReadFollowTheRestoredOnes)
{
    ScratchDir dir;
    {
        RecordingSession crashed(dir.path());
        record(crashed, 0, 3);
    }
    DeferredBackgroundWork work;
    RecordingSession next(dir.path(), {PromptAnswer::Yes}, &work);
    ASSERT_EQ(work.jobs.size(), 1u) << "the journal is read beside the window";
    record(next, 50, 2);
    work.runOne();
    EXPECT_EQ(next.numbers(), (std::vector<int>{0, 1, 2, 0, 1}));
    EXPECT_EQ(next.table().at(3).Value, "00.50");
    record(next, 60, 1);
    EXPECT_EQ(next.numbers().back(), 3);
    next.form.session.flush();
    FileSource source(next.form.session.journalPath());
    const JournalContents journal = readJournal(source);
    EXPECT_EQ(filetest::rowsOf(journal.rows), filetest::rowsOf(next.table()));
    EXPECT_EQ(journal.numbering, (JournalNumbering{4, 6}));
    EXPECT_EQ(journals(dir).size(), 1u);
}

// Writes a journal by hand for a window to find at its start.
void plant(const ScratchDir &dir, const std::string &bytes)
{
    filetest::writeFile(dir.file("session-1-1-0.journal"), bytes);
}

TEST(SessionJournal, ADamagedJournalRestoresWhatStandsBeforeTheDamageAndIsKept)
{
    ScratchDir dir;
    std::string bytes;
    journal::appendHeader(bytes, "2024-03-01T08:00:00.000+01:00");
    journal::appendBegin(bytes, 'E', {0, 0});
    journal::appendRecorded(bytes, filetest::recordOf({0, 1000, "DC", "1.00", "V", "", {}, 4}), 1.0);
    journal::appendRecorded(bytes, filetest::recordOf({1, 2000, "DC", "2.00", "V", "", {}, 4}), 2.0);
    bytes[bytes.size() - 5] ^= 1; // the last line's check
    journal::appendRecorded(bytes, filetest::recordOf({2, 3000, "DC", "3.00", "V", "", {}, 4}), 3.0);
    plant(dir, bytes);

    RecordingSession next(dir.path(), {PromptAnswer::Yes});
    ASSERT_EQ(next.prompts.shown.size(), 1u);
    EXPECT_NE(next.prompts.shown[0].text.find("Restore the 1 record of that session? It was recorded at 00:00:01."),
              std::string::npos);
    EXPECT_NE(next.prompts.shown[0].text.find("The journal is damaged after them"), std::string::npos);
    EXPECT_EQ(next.numbers(), std::vector<int>{0});
    EXPECT_EQ(next.chartValues(), 1);
    // The damaged file is kept as it was; this window's journal holds the session.
    EXPECT_EQ(filetest::readFile(dir.file("kept-2024-03-01_08-00-00.journal")), bytes);
    next.form.session.flush();
    FileSource source(next.form.session.journalPath());
    const JournalContents journal = readJournal(source);
    EXPECT_EQ(journal.status, JournalContents::Status::Restorable);
    EXPECT_EQ(filetest::rowsOf(journal.rows), filetest::rowsOf(next.table()));
    EXPECT_EQ(journal.chartValues, std::vector<double>{1.0});
    EXPECT_EQ(journal.numbering, (JournalNumbering{1, 1}));
}

TEST(SessionJournal, AJournalOfAnotherVersionIsRefusedAndKept)
{
    ScratchDir dir;
    const std::string body = "TOLMAR-JOURNAL\t7\t2030-01-01T00:00:00.000+00:00";
    char crc[10];
    std::snprintf(crc, sizeof crc, "\t%08x", crc32(body));
    plant(dir, body + crc + "\nwhatever comes in format 7\n");

    RecordingSession next(dir.path());
    ASSERT_EQ(next.prompts.shown.size(), 1u);
    EXPECT_EQ(next.prompts.shown[0].icon, PromptIcon::Error);
    EXPECT_EQ(next.prompts.shown[0].text,
              "The journal of a session Tolmar did not end, " + dir.file("session-1-1-0.journal")
                  + ", cannot be restored: it was written by another version of Tolmar (journal format 7).\n\nIt is "
                    "kept as "
                  + dir.file("kept-2030-01-01_00-00-00.journal") + ".");
    EXPECT_TRUE(next.table().empty());
}

TEST(SessionJournal, AnEmptyJournalGoesWithoutAQuestion)
{
    ScratchDir dir;
    plant(dir, "");
    {
        RecordingSession next(dir.path());
        EXPECT_TRUE(next.prompts.shown.empty());
        next.form.session.end();
    }
    EXPECT_TRUE(journals(dir).empty());
}

#ifdef __linux__ // a tmpfs
// A full disk stops the journal once, says so in the status bar, and leaves
// what was written restorable. Needs a small tmpfs, so root (CI runs as root).
TEST(SessionJournal, AFullDiskStopsTheJournalAndSaysSoOnce)
{
    ScratchDir dir;
    if (::mount("tolmar-full", dir.path().c_str(), "tmpfs", 0, "size=8k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount(path.c_str()); }
    } unmount{dir.path()};

    std::string path;
    {
        RecordingSession s(dir.path());
        path = s.form.session.journalPath();
        ASSERT_FALSE(path.empty());
        record(s, 0, 30);
        s.form.session.flush();
        record(s, 30, 300); // 8 KiB holds about 150 lines
        s.form.session.flush();
        record(s, 330, 3);  // the status clock's ticks look at the journal
        EXPECT_FALSE(s.form.session.journalling());
        EXPECT_EQ(s.table().size(), 333u) << "recording goes on";
        EXPECT_EQ(s.view.statusMessages,
                  std::vector<std::string>{"The session journal stopped: No space left on device. A crash would now "
                                           "lose the records."});
    }
    FileSource source(path);
    const JournalContents journal = readJournal(source);
    EXPECT_NE(journal.status, JournalContents::Status::Refused);
    EXPECT_GE(journal.rows.size(), 30u);
    EXPECT_LT(journal.rows.size(), 333u);
    for (std::size_t i = 0; i < journal.rows.size(); ++i)
        EXPECT_EQ(journal.rows.at(i).No, static_cast<std::int32_t>(i));
}
#endif

} // namespace
} // namespace tolmar
