#include "files/DataFiles.h"

#include "files/ByteStreams.h"
#include "platform/BackgroundWork.h"
#include "platform/FileDialogs.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "record/ReadingTable.h"
#include "tests/files/FileTestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tolmar {
namespace {

using namespace filetest;
using Shown = ScriptedPrompts::Shown;

const Row shortFrame{.No = 1, .Time = ms(14, 5, 7, 250), .DCAC = "DC", .Value = "00.66", .Unit = " V",
                     .Auto = "pass", .changeState = rowStateInserted};
const Row longFrame{.No = 2, .Time = ms(9, 30, 0), .DCAC = "OHM", .Value = "1.234", .Unit = "K*", .Auto = "Fail",
                    .Nval = 1234, .changeState = rowStateInserted};
const Row later{.No = 3, .Time = ms(15, 0, 0), .DCAC = "AC", .Value = "0.500", .Unit = " V",
                .changeState = rowStateInserted};

// The short frame record as it comes back from its exported text.
const Row shortFrameImported{.No = 1, .Time = ms(14, 5, 7), .DCAC = "DC", .Value = "00.66", .Unit = "V",
                             .Auto = "pass", .changeState = rowStateInserted};
// The long frame record as its packet gives it back (no RowState: 0).
const Row longFrameLoaded{.No = 2, .Time = ms(9, 30, 0), .DCAC = "OHM", .Value = "1.234", .Unit = "K*",
                          .Auto = "Fail", .Nval = 1234};

// A save file that takes `budget` bytes and then fails, but otherwise is the
// real one: sync and commit pass whatever was written on, so a save that
// commits after a failed write would show in the target.
class FailingSaveFile final : public SaveFile, public ByteSink {
public:
    FailingSaveFile(const std::string &target, std::size_t budget)
        : m_inner(createAtomicSaveFile(target)), m_budget(budget)
    {
    }
    ByteSink &sink() override { return *this; }
    bool ok() const override { return m_inner->ok(); }
    bool sync() override { return m_inner->sync(); }
    bool commit() override { return m_inner->commit(); }
    std::string error() const override { return m_failed ? "Input/output error" : m_inner->error(); }
    bool write(const char *bytes, std::size_t size) override
    {
        if (m_failed)
            return false;
        if (size > m_budget) {
            m_inner->sink().write(bytes, m_budget);
            m_failed = true;
            return false;
        }
        m_budget -= size;
        return m_inner->sink().write(bytes, size);
    }

private:
    std::unique_ptr<SaveFile> m_inner;
    std::size_t m_budget;
    bool m_failed = false;
};

class DataFilesTest : public ::testing::Test {
protected:
    // The handlers over `work`; `createFile` replaces the atomic save file.
    void make(BackgroundWork &work,
              std::function<std::unique_ptr<SaveFile>(const std::string &)> createFile = createAtomicSaveFile)
    {
        files = std::make_unique<DataFiles>(table, DataFilesPlatform{locale, prompts, dialogs, work, createFile});
        files->onTableChanged = [this](bool replaced) { changes.push_back(replaced); };
        files->onExported = [this] { ++exports; };
    }
    void makeInline() { make(inlineWork); }

    // Saves under `name` through the save button.
    void saveAs(const std::string &name)
    {
        dialogs.names.push_back(name);
        files->saveasClick();
    }
    void open(const std::string &name)
    {
        dialogs.names.push_back(name);
        files->SpeedButton2Click();
    }

    static Shown saved(const std::string &name)
    {
        return {PromptIcon::Plain, "save table to specified file: " + name + " Scuss!", PromptButtons::Ok};
    }
    static Shown exportFailed(const std::string &name)
    {
        return {PromptIcon::Plain, "Could not save table to specified file: " + name, PromptButtons::Ok};
    }
    static Shown packetFailed(const std::string &name, const std::string &reason)
    {
        return {PromptIcon::Error, "Cannot create file \"" + name + "\". " + reason, PromptButtons::Ok};
    }
    static Shown loadFailed() { return {PromptIcon::Error, "Failed to Load File!", PromptButtons::Ok, "Error"}; }

    // The boxes shown, compared without the caption where the caption is the
    // platform's own (the plain boxes and the save error).
    std::vector<Shown> shownWithoutCaptions() const
    {
        std::vector<Shown> shown = prompts.shown;
        for (Shown &s : shown)
            if (s.text != loadFailed().text)
                s.caption.clear();
        return shown;
    }

    FixedLocale locale;
    ScriptedPrompts prompts;
    ScriptedFileDialogs dialogs;
    InlineBackgroundWork inlineWork;
    DeferredBackgroundWork deferred;
    ReadingTable table;
    ScratchDir dir;
    std::vector<bool> changes;
    int exports = 0;
    std::unique_ptr<DataFiles> files;
};

TEST(DataFileNames, ExtensionsAndKinds)
{
    const struct {
        const char *name;
        const char *extension;
        bool packet;
        bool csv = false;
    } cases[] = {
        {"table.csv", ".csv", false, true},
        {"table.CSV", ".CSV", false, true},
        {"table.Csv", ".Csv", false, true},
        {"table.csv.txt", ".txt", false, false},
        {"table.csvx", ".csvx", false, false},
        {"dir.csv/table", "", false, false},
        {"table.xml", ".xml", true},
        {"/home/u/table.xml", ".xml", true},
        {"table.XML", ".XML", false},
        {"table.Xml", ".Xml", false},
        {"table.xls", ".xls", false},
        {"table.txt", ".txt", false},
        {"table", "", false},
        {"table.", ".", false},
        {"table.xml.txt", ".txt", false},
        {"table.txt.xml", ".xml", true},
        {"dir.xml/table", "", false},
        {"dir.v2/table.xml", ".xml", true},
        {".xml", ".xml", true},
        {"table.xmll", ".xmll", false},
        {"", "", false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(fileExtension(c.name), c.extension) << c.name;
        EXPECT_EQ(isPacketFileName(c.name), c.packet) << c.name;
        EXPECT_EQ(isCsvFileName(c.name), c.csv) << c.name;
        EXPECT_EQ(tableFileKind(c.name), c.packet ? TableFileKind::Packet : c.csv ? TableFileKind::Csv : TableFileKind::Text);
    }
}

TEST_F(DataFilesTest, TheSaveDialogOpensEmptyWithItsSettings)
{
    makeInline();
    files->SaveDialog2.FileName = "left over";
    dialogs.names = {std::nullopt, dir.file("t.xls"), std::nullopt};
    files->saveasClick();
    files->saveasClick();
    files->saveasClick();
    ASSERT_EQ(dialogs.opened.size(), 3u);
    for (const FileDialog &d : dialogs.opened) {
        EXPECT_EQ(d.kind, FileDialog::Kind::Save);
        EXPECT_EQ(d.Filter, "Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt|Comma-separated values (*.csv)|*.csv");
        EXPECT_EQ(d.DefaultExt, "xls");
        EXPECT_TRUE(d.overwritePrompt);
        EXPECT_TRUE(d.hideReadOnly);
        EXPECT_EQ(d.FileName, "") << "emptied before each opening";
    }
}

TEST_F(DataFilesTest, TheOpenDialogKeepsItsNameBetweenOpenings)
{
    makeInline();
    const std::string name = goldenPath("packet-short-frame.xml");
    dialogs.names = {name, std::nullopt, std::nullopt};
    files->SpeedButton2Click();
    files->SpeedButton2Click();
    files->SpeedButton2Click();
    ASSERT_EQ(dialogs.opened.size(), 3u);
    for (const FileDialog &d : dialogs.opened) {
        EXPECT_EQ(d.kind, FileDialog::Kind::Open);
        EXPECT_EQ(d.Filter, "Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt|Comma-separated values (*.csv)|*.csv");
        EXPECT_EQ(d.DefaultExt, "");
        EXPECT_FALSE(d.overwritePrompt);
    }
    EXPECT_EQ(dialogs.opened[0].FileName, "");
    EXPECT_EQ(dialogs.opened[1].FileName, name);
    EXPECT_EQ(dialogs.opened[2].FileName, name) << "Cancel keeps it";
}

TEST_F(DataFilesTest, CancelDoesNothing)
{
    appendRows(table, {shortFrame});
    makeInline();
    dialogs.names = {std::nullopt, std::nullopt};
    files->saveasClick();
    files->SpeedButton2Click();
    EXPECT_EQ(dialogs.opened.size(), 2u);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(dir.entries().empty());
    EXPECT_EQ(rowsOf(table), std::vector<Row>{shortFrame});
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(exports, 0);
}

TEST_F(DataFilesTest, OnlyALowerCaseXmlNameSavesAPacket)
{
    std::filesystem::create_directory(dir.file("folder.xml"));
    const struct {
        const char *name;
        bool packet;
    } cases[] = {
        {"t.xml", true}, {"t.XML", false}, {"t.xls", false}, {"t.txt", false},
        // The dialog appends "xls" to a typed name without one before we see
        // it; a name that reaches us without one is used as it is.
        {"t", false}, {"t.txt.xml", true}, {"t.xml.txt", false}, {"folder.xml/t", false},
    };
    appendRows(table, {shortFrame});
    makeInline();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        prompts.shown.clear();
        exports = 0;
        const std::string name = dir.file(c.name);
        saveAs(name);
        const std::string bytes = readFile(name);
        if (c.packet) {
            EXPECT_TRUE(sameBytes(bytes, golden("packet-short-frame.xml")));
            EXPECT_TRUE(prompts.shown.empty()) << "a saved packet says nothing";
            EXPECT_EQ(exports, 0);
        } else {
            EXPECT_TRUE(sameBytes(bytes, golden("text-short-frame.txt")));
            EXPECT_EQ(shownWithoutCaptions(), std::vector<Shown>{saved(name)});
            EXPECT_EQ(exports, 1);
        }
    }
    EXPECT_TRUE(changes.empty()) << "saving does not change the table";
    EXPECT_EQ(rowsOf(table), std::vector<Row>{shortFrame});
}

TEST_F(DataFilesTest, SavesReplaceTheFileAndAnEmptyTableSavesItsFrame)
{
    makeInline();
    writeFile(dir.file("t.xml"), "previous");
    writeFile(dir.file("t.txt"), "previous");
    files->SaveTableFile(dir.file("t.xml"));
    files->SaveTableFile(dir.file("t.txt"));
    EXPECT_TRUE(sameBytes(readFile(dir.file("t.xml")), golden("packet-empty.xml")));
    EXPECT_TRUE(sameBytes(readFile(dir.file("t.txt")), golden("text-empty.txt")));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"t.txt", "t.xml"})) << "no temporary file left";
}

TEST_F(DataFilesTest, ExportTableWritesTextWhateverTheName)
{
    appendRows(table, {shortFrame});
    makeInline();
    files->ExportTable(dir.file("t.xml"));
    EXPECT_TRUE(sameBytes(readFile(dir.file("t.xml")), golden("text-short-frame.txt")));
    EXPECT_EQ(shownWithoutCaptions(), std::vector<Shown>{saved(dir.file("t.xml"))});
    EXPECT_EQ(exports, 1);
}

TEST_F(DataFilesTest, AMissingFolderFailsTheSave)
{
    appendRows(table, {shortFrame});
    makeInline();
    const std::string packet = dir.file("missing/t.xml");
    const std::string text = dir.file("missing/t.txt");
    saveAs(packet);
    saveAs(text);
    EXPECT_EQ(shownWithoutCaptions(),
              (std::vector<Shown>{packetFailed(packet, "No such file or directory"), exportFailed(text)}));
    EXPECT_TRUE(dir.entries().empty());
    EXPECT_EQ(rowsOf(table), std::vector<Row>{shortFrame});
}

TEST_F(DataFilesTest, AFolderInTheWayFailsTheSave)
{
    std::filesystem::create_directory(dir.file("t.xml"));
    std::filesystem::create_directory(dir.file("t.txt"));
    makeInline();
    saveAs(dir.file("t.xml"));
    saveAs(dir.file("t.txt"));
    EXPECT_EQ(shownWithoutCaptions(), (std::vector<Shown>{packetFailed(dir.file("t.xml"), "Is a directory"),
                                                          exportFailed(dir.file("t.txt"))}));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"t.txt", "t.xml"}));
}

TEST_F(DataFilesTest, AFullDeviceFailsTheSave)
{
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no writable /dev/full";
    // The packet needs a name ending in ".xml": a link to the device.
    std::filesystem::create_symlink("/dev/full", dir.file("full.xml"));
    appendRows(table, {shortFrame});
    makeInline();
    saveAs(dir.file("full.xml"));
    saveAs("/dev/full");
    EXPECT_EQ(shownWithoutCaptions(),
              (std::vector<Shown>{packetFailed(dir.file("full.xml"), "No space left on device"),
                                  exportFailed("/dev/full")}));
}

TEST_F(DataFilesTest, AWriteFailingHalfWayLeavesThePreviousFile)
{
    for (int i = 0; i < 200; ++i)
        table.append(recordOf({.No = i, .Time = i * 1000, .DCAC = "DC", .Value = std::to_string(i), .Unit = " V"}));
    make(inlineWork, [](const std::string &target) { return std::make_unique<FailingSaveFile>(target, 3000); });
    const std::string previous = "the table saved before\r\n";
    for (const char *name : {"t.xml", "t.txt"}) {
        SCOPED_TRACE(name);
        prompts.shown.clear();
        writeFile(dir.file(name), previous);
        saveAs(dir.file(name));
        EXPECT_TRUE(sameBytes(readFile(dir.file(name)), previous));
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"t.txt", "t.xml"})) << "no temporary file left";
    EXPECT_EQ(shownWithoutCaptions(), std::vector<Shown>{exportFailed(dir.file("t.txt"))});
}

TEST_F(DataFilesTest, AWriteFailureNamesItsReason)
{
    appendRows(table, {shortFrame});
    make(inlineWork, [](const std::string &target) { return std::make_unique<FailingSaveFile>(target, 100); });
    saveAs(dir.file("t.xml"));
    EXPECT_EQ(shownWithoutCaptions(), std::vector<Shown>{packetFailed(dir.file("t.xml"), "Input/output error")});
    EXPECT_TRUE(dir.entries().empty());
}

#ifdef __linux__ // POSIX permission bits and symbolic links
TEST_F(DataFilesTest, SavingOverAFileKeepsItsPermissions)
{
    namespace fs = std::filesystem;
    appendRows(table, {shortFrame});
    makeInline();
    writeFile(dir.file("t.xml"), "previous");
    fs::permissions(dir.file("t.xml"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    saveAs(dir.file("t.xml"));
    EXPECT_TRUE(sameBytes(readFile(dir.file("t.xml")), golden("packet-short-frame.xml")));
    EXPECT_EQ(fs::status(dir.file("t.xml")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(DataFilesTest, SavingThroughASymbolicLinkWritesTheFileItPointsTo)
{
    // The link stays a link: the file behind it gets the table.
    namespace fs = std::filesystem;
    appendRows(table, {shortFrame});
    makeInline();
    fs::create_directory(dir.file("real"));
    for (const char *name : {"t.xml", "t.txt"}) {
        SCOPED_TRACE(name);
        writeFile(dir.file("real/") + name, "previous");
        fs::create_symlink(std::string("real/") + name, dir.file(name));
        saveAs(dir.file(name));
        EXPECT_TRUE(fs::is_symlink(dir.file(name)));
        EXPECT_NE(readFile(dir.file("real/") + name), "previous");
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"real", "t.txt", "t.xml"}));
    EXPECT_EQ(shownWithoutCaptions(), std::vector<Shown>{saved(dir.file("t.txt"))});
}
#endif

TEST_F(DataFilesTest, ANameAsLongAsTheSystemAllowsSaves)
{
    // The temporary file beside it must not need a longer name.
    appendRows(table, {shortFrame});
    makeInline();
    const std::string name = dir.file(std::string(251, 'a') + ".xml"); // 255 bytes
    saveAs(name);
    EXPECT_TRUE(prompts.shown.empty()) << (prompts.shown.empty() ? "" : prompts.shown[0].text);
    EXPECT_TRUE(std::filesystem::exists(name));
}

TEST_F(DataFilesTest, APacketLoadReplacesTheTable)
{
    appendRows(table, {shortFrame, later});
    makeInline();
    open(goldenPath("packet-long-frame.xml"));
    EXPECT_EQ(rowsOf(table), std::vector<Row>{longFrameLoaded});
    EXPECT_EQ(changes, std::vector<bool>{true});
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(DataFilesTest, ATextLoadAppendsEveryTime)
{
    appendRows(table, {longFrame});
    makeInline();
    open(goldenPath("text-short-frame.txt"));
    open(goldenPath("text-short-frame.txt"));
    EXPECT_EQ(rowsOf(table), (std::vector<Row>{longFrame, shortFrameImported, shortFrameImported}));
    EXPECT_EQ(changes, (std::vector<bool>{false, false}));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(DataFilesTest, EmptyFirstEmptiesTheTableBeforeATextLoad)
{
    appendRows(table, {longFrame});
    makeInline();
    files->LoadTable(goldenPath("text-short-frame.txt"), true);
    EXPECT_EQ(rowsOf(table), std::vector<Row>{shortFrameImported});
}

TEST_F(DataFilesTest, ASavedTableLoadsBack)
{
    appendRows(table, {shortFrame, longFrame});
    makeInline();
    saveAs(dir.file("t.xml"));
    table.clear();
    open(dir.file("t.xml"));
    Row a = shortFrame, b = longFrame;
    a.changeState = b.changeState = 0; // saved without a change log
    EXPECT_EQ(rowsOf(table), (std::vector<Row>{a, b}));
}

TEST_F(DataFilesTest, ARefusedPacketKeepsTheTable)
{
    appendRows(table, {shortFrame, later});
    makeInline();
    std::string bad = golden("packet-long-frame.xml");
    bad.replace(bad.find("No=\"2\""), 6, "No=\"2x\"");
    writeFile(dir.file("bad.xml"), bad);
    open(dir.file("bad.xml"));
    EXPECT_EQ(prompts.shown, std::vector<Shown>{loadFailed()});
    EXPECT_EQ(rowsOf(table), (std::vector<Row>{shortFrame, later}));
    EXPECT_TRUE(changes.empty());
    // And the table is still usable.
    table.append(recordOf(longFrame));
    EXPECT_EQ(table.size(), 3u);
}

TEST_F(DataFilesTest, AMissingFileFailsToLoad)
{
    appendRows(table, {shortFrame});
    makeInline();
    open(dir.file("missing.xml"));
    open(dir.file("missing.txt"));
    open(dir.path()); // a folder
    EXPECT_EQ(prompts.shown, (std::vector<Shown>{loadFailed(), loadFailed(), loadFailed()}));
    EXPECT_EQ(rowsOf(table), std::vector<Row>{shortFrame});
    EXPECT_TRUE(changes.empty());
}

// A ".csv" name (any case) saves comma-separated values, with the records'
// dates; the open button reads them back with their dates, and refuses a
// file with a bad line whole.
TEST_F(DataFilesTest, CommaSeparatedValuesSaveAndLoadBackWithTheirDates)
{
    const RecordDate date{20796, 60};
    table.append(recordOf(shortFrame), date);
    table.append(recordOf(longFrame));
    makeInline();
    for (const char *name : {"t.csv", "T.CSV"}) {
        SCOPED_TRACE(name);
        prompts.shown.clear();
        saveAs(dir.file(name));
        EXPECT_EQ(shownWithoutCaptions(), std::vector<Shown>{saved(dir.file(name))});
        EXPECT_EQ(readFile(dir.file(name)).rfind("\xEF\xBB\xBFNo,Time,Func,Value,Display,Unit,Judge,Nval\r\n", 0), 0u);
    }
    ReadingTable before;
    before.append(recordOf(later));
    std::swap(table, before);
    open(dir.file("t.csv"));
    std::vector<Row> expected = asRecorded({shortFrame, longFrame});
    expected.insert(expected.begin(), later);
    EXPECT_EQ(rowsOf(table), expected);
    EXPECT_EQ(table.dateOf(1), date);
    EXPECT_EQ(table.dateOf(2), std::nullopt);
    EXPECT_EQ(changes, std::vector<bool>{false});

    writeFile(dir.file("bad.csv"), readFile(dir.file("t.csv")) + "4,25:00:00.000,DC,,1,V,,\r\n");
    open(dir.file("bad.csv"));
    EXPECT_EQ(prompts.shown.back(), loadFailed());
    EXPECT_EQ(files->lastLoad().line, 4u);
    EXPECT_EQ(table.size(), 3u) << "a refused file adds nothing";
    EXPECT_EQ(changes, std::vector<bool>{false});
}

TEST_F(DataFilesTest, AFailingTextLineKeepsTheLinesBeforeIt)
{
    appendRows(table, {longFrame});
    makeInline();
    writeFile(dir.file("t.txt"), golden("text-short-frame.txt") + "\r\n" + "2\t10:00:00\r\n");
    open(dir.file("t.txt"));
    EXPECT_EQ(prompts.shown, std::vector<Shown>{loadFailed()});
    EXPECT_EQ(rowsOf(table), (std::vector<Row>{longFrame, shortFrameImported}));
    EXPECT_EQ(changes, std::vector<bool>{false}) << "the rows read are shown";
}

// The work runs beside the user interface: recording goes on meanwhile.

TEST_F(DataFilesTest, ASaveWritesTheTableAsItWasWhenItStarted)
{
    appendRows(table, {shortFrame});
    make(deferred);
    saveAs(dir.file("t.xml"));
    saveAs(dir.file("t.txt")); // not shown: the first save still runs
    ASSERT_EQ(deferred.jobs.size(), 1u);
    EXPECT_TRUE(files->busy());
    EXPECT_EQ(dialogs.opened.size(), 1u);
    files->SpeedButton2Click();
    EXPECT_EQ(dialogs.opened.size(), 1u) << "the open button waits too";
    table.append(recordOf(later));
    deferred.runOne();
    EXPECT_FALSE(files->busy());
    EXPECT_TRUE(sameBytes(readFile(dir.file("t.xml")), golden("packet-short-frame.xml")));

    dialogs.names.clear();
    saveAs(dir.file("t.txt"));
    ASSERT_EQ(deferred.jobs.size(), 1u);
    table.append(recordOf(longFrame));
    EXPECT_TRUE(prompts.shown.empty()) << "the message comes when the save has ended";
    deferred.runOne();
    EXPECT_EQ(readFile(dir.file("t.txt")), std::string("No\tTime\tFunc\tValue\tUnit\tJudge\r\n") + "1\t14:05:07\tDC\t00.66\tV\tpass\r\n3\t15:00:00\tAC\t0.500\tV\tNULL\r\n");
    EXPECT_EQ(shownWithoutCaptions(), std::vector<Shown>{saved(dir.file("t.txt"))});
    EXPECT_EQ(exports, 1);
    EXPECT_EQ(table.size(), 3u);
}

TEST_F(DataFilesTest, RecordsAppendedDuringATextImportComeFirst)
{
    appendRows(table, {longFrame});
    make(deferred);
    open(goldenPath("text-short-frame.txt"));
    ASSERT_EQ(deferred.jobs.size(), 1u);
    EXPECT_TRUE(files->busy());
    files->saveasClick();
    EXPECT_EQ(dialogs.opened.size(), 1u) << "the save button waits";
    table.append(recordOf(later));
    EXPECT_TRUE(changes.empty());
    deferred.runOne();
    EXPECT_FALSE(files->busy());
    EXPECT_EQ(rowsOf(table), (std::vector<Row>{longFrame, later, shortFrameImported}));
    EXPECT_EQ(changes, std::vector<bool>{false});
}

TEST_F(DataFilesTest, APacketLoadKeepsWhatWasRecordedMeanwhileAfterItsRows)
{
    appendRows(table, {shortFrame});
    make(deferred);
    open(goldenPath("packet-long-frame.xml"));
    ASSERT_EQ(deferred.jobs.size(), 1u);
    table.append(recordOf(later));
    EXPECT_EQ(table.size(), 2u) << "nothing changes before the load ends";
    deferred.runOne();
    EXPECT_EQ(rowsOf(table), (std::vector<Row>{longFrameLoaded, later}));
    EXPECT_EQ(changes, std::vector<bool>{true});

    // Emptied while loading: everything recorded since the clear follows.
    open(goldenPath("packet-long-frame.xml"));
    table.clear();
    table.append(recordOf(later));
    deferred.runOne();
    EXPECT_EQ(rowsOf(table), (std::vector<Row>{longFrameLoaded, later}));
}

TEST_F(DataFilesTest, ACancelledLoadChangesNothing)
{
    appendRows(table, {shortFrame});
    make(deferred);
    for (const char *golden : {"packet-long-frame.xml", "text-long-frame.txt"}) {
        SCOPED_TRACE(golden);
        open(goldenPath(golden));
        ASSERT_EQ(deferred.jobs.size(), 1u);
        ASSERT_TRUE(deferred.jobs.front().progress);
        deferred.jobs.front().progress->cancel();
        deferred.runOne();
        EXPECT_FALSE(files->busy());
    }
    EXPECT_EQ(rowsOf(table), std::vector<Row>{shortFrame});
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(changes.empty());
}

TEST_F(DataFilesTest, ACancelledSaveKeepsTheOldFileAndSaysItFailed)
{
    appendRows(table, {shortFrame});
    make(deferred);
    for (const char *name : {"t.xml", "t.txt"}) {
        writeFile(dir.file(name), "previous");
        saveAs(dir.file(name));
        ASSERT_EQ(deferred.jobs.size(), 1u);
        ASSERT_TRUE(deferred.jobs.front().progress);
        deferred.jobs.front().progress->cancel();
        deferred.runOne();
        EXPECT_FALSE(files->busy());
        EXPECT_EQ(readFile(dir.file(name)), "previous") << name;
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"t.txt", "t.xml"})) << "no temporary file left";
    EXPECT_EQ(shownWithoutCaptions(), (std::vector<Shown>{packetFailed(dir.file("t.xml"), "Operation cancelled"),
                                                          exportFailed(dir.file("t.txt"))}));
}

TEST_F(DataFilesTest, AFailedLoadInTheBackgroundKeepsTheTable)
{
    appendRows(table, {shortFrame});
    make(deferred);
    open(dir.file("missing.xml"));
    if (!deferred.jobs.empty()) // a missing file may fail before any work starts
        deferred.runOne();
    EXPECT_FALSE(files->busy());
    EXPECT_EQ(prompts.shown, std::vector<Shown>{loadFailed()});
    EXPECT_EQ(rowsOf(table), std::vector<Row>{shortFrame});
}

} // namespace
} // namespace tolmar
