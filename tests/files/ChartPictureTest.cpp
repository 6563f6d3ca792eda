#include "files/ChartPicture.h"

#include "files/ByteStreams.h"
#include "platform/FileDialogs.h"
#include "platform/Prompts.h"
#include "tests/files/FileTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolmar {
namespace {

using namespace filetest;
using Shown = ScriptedPrompts::Shown;

// Hands out fixed bytes and counts how often it was asked.
class FixedPicture final : public ChartPictureSource {
public:
    std::string bitmap() override
    {
        ++taken;
        return bytes;
    }
    std::string bytes = std::string("BM") + std::string(2000, '\x7f') + std::string(1, '\0') + "end";
    int taken = 0;
};

// A real save file whose write or commit fails: sync and commit of the real
// file are only reached when they should be, so a save that went on after a
// failure would show in the target.
class BrokenSaveFile final : public SaveFile, public ByteSink {
public:
    enum class Fails { Write, Sync, Commit };
    BrokenSaveFile(const std::string &target, Fails fails) : m_inner(createAtomicSaveFile(target)), m_fails(fails) {}
    ByteSink &sink() override { return *this; }
    bool ok() const override { return m_inner->ok(); }
    bool sync() override { return m_fails == Fails::Sync ? fail() : m_inner->sync(); }
    bool commit() override { return m_fails == Fails::Commit ? fail() : m_inner->commit(); }
    std::string error() const override { return m_failed ? "Input/output error" : m_inner->error(); }
    bool write(const char *bytes, std::size_t size) override
    {
        if (m_fails != Fails::Write)
            return m_inner->sink().write(bytes, size);
        // Half of it reaches the disk first.
        m_inner->sink().write(bytes, size / 2);
        return fail();
    }

private:
    bool fail()
    {
        m_failed = true;
        return false;
    }
    std::unique_ptr<SaveFile> m_inner;
    Fails m_fails;
    bool m_failed = false;
};

class ChartPictureTest : public ::testing::Test {
protected:
    void make(std::function<std::unique_ptr<SaveFile>(const std::string &)> createFile = createAtomicSaveFile)
    {
        picture = std::make_unique<ChartPicture>(ChartPicturePlatform{prompts, dialogs, &source, createFile});
    }
    // The button, with `name` chosen in the dialog (nullopt: cancelled).
    void save(std::optional<std::string> name)
    {
        dialogs.names.push_back(std::move(name));
        picture->btnSaveClick();
    }
    static Shown cannotCreate(const std::string &name, const std::string &reason)
    {
        return {PromptIcon::Error, "Cannot create file \"" + name + "\". " + reason, PromptButtons::Ok};
    }
    static Shown replace(const std::string &name)
    {
        return {PromptIcon::Confirmation, name + " already exists.\nDo you want to replace it?",
                PromptButtons::YesNo};
    }

    ScriptedPrompts prompts;
    ScriptedFileDialogs dialogs;
    FixedPicture source;
    ScratchDir dir;
    std::unique_ptr<ChartPicture> picture;
};

TEST(ChartPictureNames, BmpInAnyCaseIsKeptEverythingElseGetsItAppended)
{
    const struct {
        const char *chosen;
        const char *saved;
    } cases[] = {
        {"graph", "graph.bmp"},
        {"graph.bmp", "graph.bmp"},
        {"graph.BMP", "graph.BMP"},
        {"graph.Bmp", "graph.Bmp"},
        {"graph.png", "graph.png.bmp"},
        {"graph.bmp.png", "graph.bmp.png.bmp"},
        {"graph.bmpx", "graph.bmpx.bmp"},
        {"graph.bm", "graph.bm.bmp"},
        {"graph.", "graph..bmp"},
        {"/home/u/graph", "/home/u/graph.bmp"},
        // A dot in a folder's name is no extension of the file's.
        {"/home/u/charts.bmp/graph", "/home/u/charts.bmp/graph.bmp"},
        {"/home/u.v/graph", "/home/u.v/graph.bmp"},
        {"/home/u/.bmp", "/home/u/.bmp"},
        {"/home/u/graph.BMP", "/home/u/graph.BMP"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(pictureFileName(c.chosen), c.saved) << c.chosen;
}

TEST_F(ChartPictureTest, TheDialogAsksForABitmapName)
{
    make();
    save(std::nullopt);
    ASSERT_EQ(dialogs.opened.size(), 1u);
    const FileDialog &d = dialogs.opened[0];
    EXPECT_EQ(d.kind, FileDialog::Kind::Save);
    EXPECT_EQ(d.Filter, "Bitmaps (*.bmp)|*.bmp");
    EXPECT_TRUE(d.overwritePrompt);
    EXPECT_TRUE(d.hideReadOnly);
    // The extension is the handler's business, whatever the dialog does.
    EXPECT_EQ(d.DefaultExt, "");
    EXPECT_EQ(d.FileName, "");
}

TEST_F(ChartPictureTest, ACancelledDialogChangesNothing)
{
    make();
    save(dir.file("graph.bmp"));
    ASSERT_EQ(source.taken, 1);
    source.bytes = "BM another picture";

    save(std::nullopt);
    EXPECT_EQ(source.taken, 1) << "no picture is drawn";
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"graph.bmp"});
    EXPECT_NE(readFile(dir.file("graph.bmp")), source.bytes);
    EXPECT_EQ(picture->SavePictureDialog1.FileName, dir.file("graph.bmp")) << "the last chosen name stays";
}

TEST_F(ChartPictureTest, TheDialogOffersTheNameChosenLast)
{
    make();
    save(dir.file("first"));
    save(std::nullopt);
    save(dir.file("second.png"));
    save(std::nullopt);
    ASSERT_EQ(dialogs.opened.size(), 4u);
    // As chosen, not as saved: the next name typed gets its .bmp again.
    EXPECT_EQ(dialogs.opened[0].FileName, "");
    EXPECT_EQ(dialogs.opened[1].FileName, dir.file("first"));
    EXPECT_EQ(dialogs.opened[2].FileName, dir.file("first"));
    EXPECT_EQ(dialogs.opened[3].FileName, dir.file("second.png"));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"first.bmp", "second.png.bmp"}));
}

TEST_F(ChartPictureTest, TheFileHoldsTheSourcesBytesAndNothingIsSaid)
{
    make();
    const struct {
        const char *chosen;
        const char *written;
    } cases[] = {
        {"graph", "graph.bmp"},
        {"b.bmp", "b.bmp"},
        {"c.BMP", "c.BMP"},
        {"d.png", "d.png.bmp"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.chosen);
        save(dir.file(c.chosen));
        EXPECT_TRUE(sameBytes(readFile(dir.file(c.written)), source.bytes));
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"b.bmp", "c.BMP", "d.png.bmp", "graph.bmp"}))
        << "nothing else, no temporary file";
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(source.taken, 4);
}

TEST_F(ChartPictureTest, ANameTheDialogAskedAboutReplacesTheFile)
{
    make();
    writeFile(dir.file("graph.bmp"), "the picture saved before");
    save(dir.file("graph.bmp"));
    EXPECT_TRUE(sameBytes(readFile(dir.file("graph.bmp")), source.bytes));
    EXPECT_TRUE(prompts.shown.empty()) << "the dialog asked already";
}

TEST_F(ChartPictureTest, AFileTheAppendedExtensionWouldReplaceIsAskedAbout)
{
    const std::string previous = "the picture saved before";
    const struct {
        PromptAnswer answer; // None: the box was closed
        bool replaced;
    } cases[] = {
        {PromptAnswer::Yes, true},
        {PromptAnswer::No, false},
        {PromptAnswer::None, false},
    };
    make();
    for (const auto &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        prompts.shown.clear();
        prompts.answers = {c.answer};
        writeFile(dir.file("graph.bmp"), previous);
        save(dir.file("graph"));
        EXPECT_EQ(prompts.shown, std::vector<Shown>{replace(dir.file("graph.bmp"))});
        EXPECT_EQ(readFile(dir.file("graph.bmp")), c.replaced ? source.bytes : previous);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"graph.bmp"});
    }
    // Nothing there: no question.
    prompts.shown.clear();
    save(dir.file("other.png"));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(sameBytes(readFile(dir.file("other.png.bmp")), source.bytes));
}

TEST_F(ChartPictureTest, AFileThatCannotBeCreatedIsReportedWithItsReason)
{
    make();
    std::filesystem::create_directory(dir.file("taken.bmp"));
    const struct {
        const char *chosen;
        const char *name;
        const char *reason;
    } cases[] = {
        {"missing/graph", "missing/graph.bmp", "No such file or directory"},
        {"taken", "taken.bmp", "Is a directory"},
        {"taken.bmp", "taken.bmp", "Is a directory"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.chosen);
        prompts.shown.clear();
        save(dir.file(c.chosen));
        EXPECT_EQ(prompts.shown, std::vector<Shown>{cannotCreate(dir.file(c.name), c.reason)});
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"taken.bmp"});
}

TEST_F(ChartPictureTest, AFailureOnTheWayLeavesTheOldFile)
{
    const std::string previous = "the picture saved before";
    for (const auto fails : {BrokenSaveFile::Fails::Write, BrokenSaveFile::Fails::Sync, BrokenSaveFile::Fails::Commit}) {
        SCOPED_TRACE(static_cast<int>(fails));
        prompts.shown.clear();
        make([fails](const std::string &target) { return std::make_unique<BrokenSaveFile>(target, fails); });
        writeFile(dir.file("graph.bmp"), previous);
        save(dir.file("graph.bmp"));
        EXPECT_EQ(prompts.shown, std::vector<Shown>{cannotCreate(dir.file("graph.bmp"), "Input/output error")});
        EXPECT_EQ(readFile(dir.file("graph.bmp")), previous);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"graph.bmp"}) << "no temporary file left";
    }
}

TEST_F(ChartPictureTest, AChartThatCannotBeDrawnWritesNoFile)
{
    make();
    source.bytes.clear();
    writeFile(dir.file("graph.bmp"), "the picture saved before");
    save(dir.file("graph.bmp"));
    EXPECT_EQ(prompts.shown,
              std::vector<Shown>{cannotCreate(dir.file("graph.bmp"), "The chart could not be drawn.")});
    EXPECT_EQ(readFile(dir.file("graph.bmp")), "the picture saved before");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"graph.bmp"});
}

TEST_F(ChartPictureTest, AnEmptyChosenNameSavesNothing)
{
    make();
    save("");
    EXPECT_EQ(source.taken, 0);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(dir.entries().empty());
}

TEST(ChartPictureWithoutAWindow, TheButtonDoesNothing)
{
    ScriptedPrompts prompts;
    ScriptedFileDialogs dialogs;
    dialogs.names = {std::string("graph")};
    ChartPicture picture(ChartPicturePlatform{prompts, dialogs});
    picture.btnSaveClick();
    EXPECT_TRUE(dialogs.opened.empty());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_FALSE(picture.savePicture("graph.bmp"));
}

} // namespace
} // namespace tolmar
