// Saving and loading on a real worker thread while the "UI thread" (the
// test) keeps appending records, as recording does: the file holds the table
// as it was when the save started, a load takes effect in one step at its
// end. Run under ThreadSanitizer by scripts/test.sh.
#include "TempFolder.h"
#include "files/ByteStreams.h"
#include "files/DataFiles.h"
#include "files/Packet.h"
#include "platform/BackgroundWork.h"
#include "platform/FileDialogs.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/UiDispatcher.h"
#include "record/ReadingTable.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace tolmar {
namespace {

// Work on its own thread; the finishing step is posted to the test's queue.
class ThreadedWork final : public BackgroundWork {
public:
    explicit ThreadedWork(ManualUiDispatcher &ui) : m_ui(ui) {}
    ~ThreadedWork() override
    {
        for (std::thread &t : m_threads)
            t.join();
    }
    void start(const std::string &, std::shared_ptr<WorkProgress>, std::function<void()> work,
               std::function<void()> finished) override
    {
        m_threads.emplace_back([this, work = std::move(work), finished = std::move(finished)]() mutable {
            work();
            m_ui.post(std::move(finished));
        });
    }

private:
    ManualUiDispatcher &m_ui;
    std::vector<std::thread> m_threads;
};

ReadingRecord record(int no)
{
    ReadingRecord r;
    r.No = no;
    r.Time = no * 10;
    r.DCAC = "DC";
    r.Value = no % 2 ? "1.234" : "1.235";
    r.Unit = " V";
    r.Auto = "pass";
    return r;
}

class DataFilesOnAWorker : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = test::makeTempFolder("tolmar-files-");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Appends records until the work's finishing step is queued, then runs
    // it: the UI thread never waits for the worker. At least one record
    // comes after the work started, however fast the worker is.
    int recordUntilFinished(int next)
    {
        do {
            table.append(record(next++));
            if (next % 1000 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(50));
        } while (ui.pending() == 0);
        EXPECT_TRUE(files.busy()) << "busy until the finishing step ran";
        ui.runAll();
        EXPECT_FALSE(files.busy());
        return next;
    }

    std::string dir;
    ReadingTable table;
    FixedLocale locale;
    ScriptedPrompts prompts;
    NoFileDialogs dialogs;
    ManualUiDispatcher ui;
    ThreadedWork work{ui};
    DataFiles files{table, {locale, prompts, dialogs, work}};
};

TEST_F(DataFilesOnAWorker, RecordingGoesOnWhileATableIsSavedAndLoaded)
{
    constexpr int before = 200'000;
    for (int i = 0; i < before; ++i)
        table.append(record(i));

    // The packet holds the table as it was when the save began.
    const std::string packet = dir + "/log.xml";
    files.SaveTableFile(packet);
    int next = recordUntilFinished(before);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_GT(table.size(), static_cast<std::size_t>(before));
    {
        FileSource source(packet);
        ReadingTable saved;
        ASSERT_TRUE(readPacket(source, saved).loaded());
        ASSERT_EQ(saved.size(), static_cast<std::size_t>(before));
        EXPECT_EQ(saved.at(before - 1).No, before - 1);
    }

    // Loading it back replaces the table; what was recorded meanwhile
    // follows the loaded rows.
    const int loadFrom = next;
    files.LoadTable(packet, false);
    next = recordUntilFinished(next);
    ASSERT_EQ(table.size(), static_cast<std::size_t>(before + next - loadFrom));
    EXPECT_EQ(table.at(before - 1).No, before - 1);
    EXPECT_EQ(table.at(before).No, loadFrom);
    EXPECT_EQ(table.at(table.size() - 1).No, next - 1);

    // An export, imported again while recording: the imported rows come
    // after the records appended meanwhile.
    const std::string text = dir + "/log.txt";
    const std::size_t exported = table.size();
    const auto lastExported = table.at(exported - 1).No;
    files.SaveTableFile(text);
    next = recordUntilFinished(next);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "save table to specified file: " + text + " Scuss!");
    const std::size_t beforeImport = table.size();
    files.LoadTable(text, false);
    recordUntilFinished(next);
    ASSERT_GT(table.size(), beforeImport + exported);
    const std::size_t recordedMeanwhile = table.size() - beforeImport - exported;
    EXPECT_EQ(table.at(beforeImport + recordedMeanwhile).No, 0) << "the first imported row";
    EXPECT_EQ(table.at(table.size() - 1).No, lastExported) << "the last imported row";
}

} // namespace
} // namespace tolmar
