#include "app/MainForm.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/NoHidPlatform.h"
#include "platform/UiDispatcher.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/virtual/VirtualTime.h"

#include <gtest/gtest.h>

#include <set>

namespace tolmar {
namespace {

struct RecordingView : MainFormView {
    void stateChanged() override { ++changes; }
    void terminateApplication() override { ++terminations; }
    int changes = 0;
    int terminations = 0;
};

// The main window's core on virtual time, 2024-03-05 14:07:08 (a Tuesday).
struct Fixture {
    explicit Fixture(bool x64 = true) : architecture(x64) {}
    VirtualTime time;
    FixedLocale locale;
    ScriptedPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture;
    NoHidPlatform noHid;
    InlineUiDispatcher dispatcher;
    RecordingView view;
    MainForm form{MainFormPlatform{time, time, locale, prompts, shell, architecture, noHid, dispatcher}, view};
};

TEST(MainFormStartUp, CaptionTellsTheMachine)
{
    {
        Fixture x64(true);
        EXPECT_EQ(x64.form.state().caption, "Dravik V3.0.1");
        x64.form.FormCreate();
        EXPECT_EQ(x64.form.state().caption, "Tolmar Interface Program Ver 3.01(x64)");
    }
    Fixture x86(false); // one controller at a time
    x86.form.FormCreate();
    EXPECT_EQ(x86.form.state().caption, "Tolmar Interface Program Ver 3.01(x86)");
}

TEST(MainFormStartUp, StateAfterFormCreate)
{
    Fixture f;
    f.locale.systemSeparator = ",";
    f.form.FormCreate();
    const MainFormState &s = f.form.state();
    EXPECT_EQ(s.statusPanels[0], "Ready ");
    EXPECT_EQ(s.statusPanels[1], "");
    EXPECT_EQ(s.statusPanels[2], "") << "the clock shows after its first tick";
    EXPECT_FALSE(s.Memo1Visible || s.B2400Visible || s.B4800Visible || s.B9600Visible);
    EXPECT_EQ(s.systeminfomation, ",");
    EXPECT_FALSE(s.aboutVisible);
    EXPECT_EQ(f.form.recording.state().recordLimitChecked,
              (std::array<bool, 6>{false, false, true, false, false, false}));
    EXPECT_EQ(f.form.recording.NextRecordNo, 0);
    EXPECT_EQ(f.form.recording.RecordLimit, 10000);
    EXPECT_TRUE(f.form.cds1.empty());
    EXPECT_GT(f.view.changes, 0);
}

TEST(MainFormStartUp, UnreadableSystemLocaleLeavesTheBoxEmpty)
{
    Fixture f;
    f.locale.systemSeparator = std::nullopt;
    f.form.FormCreate();
    EXPECT_EQ(f.form.state().systeminfomation, "");
}

TEST(MainFormStartUp, Timers)
{
    Fixture f;
    EXPECT_TRUE(f.form.Timer4.enabled()) << "running until start-up stops it";
    f.form.FormCreate();
    const struct { const char *name; const Timer &timer; unsigned interval; bool enabled; } timers[] = {
        {"ConTimer", f.form.ConTimer, 100, true},      {"Trecord", f.form.Trecord, 1000, true},
        {"Timer1", f.form.Timer1, 1000, false},        {"Timer2", f.form.Timer2, 1000, false},
        {"timerChange", f.form.timerChange, 1000, false}, {"Timer3", f.form.Timer3, 1000, true},
        {"Timer4", f.form.Timer4, 2000, false},
    };
    for (const auto &t : timers) {
        EXPECT_EQ(t.timer.interval(), t.interval) << t.name;
        EXPECT_EQ(t.timer.enabled(), t.enabled) << t.name;
    }
}

TEST(MainFormClock, ShowsDateTimeAndDayNameEverySecond)
{
    Fixture f;
    f.form.FormCreate();
    f.time.advance(1000);
    EXPECT_EQ(f.form.state().statusPanels[2], "2024-03-05   14:07:09  Tue ");
    f.locale.dayNames[2] = "Di";
    f.locale.dayNames[3] = "Mi";
    f.time.setNow({2024, 3, 5, 23, 59, 58, 0, 2});
    f.time.advance(1000);
    EXPECT_EQ(f.form.state().statusPanels[2], "2024-03-05   23:59:59  Di ");
    f.time.advance(1000);
    EXPECT_EQ(f.form.state().statusPanels[2], "2024-03-06   00:00:00  Mi ");
}

TEST(MainFormClock, FormatPattern)
{
    EXPECT_EQ(formatStatusClock({2024, 3, 5, 14, 7, 9, 500, 2}, "Tue"), "2024-03-05   14:07:09  Tue ");
    EXPECT_EQ(formatStatusClock({987, 12, 31, 0, 0, 0, 0, 0}, "Sun"), "0987-12-31   00:00:00  Sun ");
}

TEST(MainFormQuit, AsksOnceAndEndsOnYesOnly)
{
    const ScriptedPrompts::Shown question{PromptIcon::Information, "Are you sure you want to end Tolmar program?",
                                          PromptButtons::YesNo};
    Fixture f;
    f.form.FormCreate();
    f.prompts.answers = {PromptAnswer::No};
    f.form.BitBtn1Click();
    EXPECT_EQ(f.view.terminations, 0);
    f.time.advance(1000);
    EXPECT_FALSE(f.form.state().statusPanels[2].empty()) << "No leaves everything running";

    f.prompts.answers = {PromptAnswer::Yes};
    f.form.BitBtn1Click();
    EXPECT_EQ(f.view.terminations, 1);
    EXPECT_EQ(f.prompts.shown, (std::vector<ScriptedPrompts::Shown>{question, question}));
}

TEST(MainFormClose, OnlyNoRefuses)
{
    const struct { PromptAnswer answer; bool mayClose; } cases[] = {
        {PromptAnswer::Yes, true}, {PromptAnswer::No, false}, {PromptAnswer::None, true}, {PromptAnswer::Ok, true},
    };
    for (const auto &c : cases) {
        Fixture f;
        f.prompts.answers = {c.answer};
        EXPECT_EQ(f.form.FormCloseQuery(), c.mayClose);
        ASSERT_EQ(f.prompts.shown.size(), 1u);
        EXPECT_EQ(f.prompts.shown[0], (ScriptedPrompts::Shown{PromptIcon::Confirmation,
                                                              "You are ready to end  Dravik  application?",
                                                              PromptButtons::YesNo}));
        EXPECT_EQ(f.view.terminations, 0);
    }
}

TEST(MainFormHelp, AboutAndSoftwareHelp)
{
    Fixture f;
    f.form.FormCreate();
    f.form.modelClick();
    f.form.modelClick();
    EXPECT_TRUE(f.form.state().aboutVisible);
    f.form.TntBitBtn1Click();
    EXPECT_FALSE(f.form.state().aboutVisible);
    f.form.modelClick();
    f.form.TForm1Close();
    EXPECT_FALSE(f.form.state().aboutVisible);

    f.shell.directory = "/usr/lib/tolmar";
    f.form.manualClick();
    EXPECT_EQ(f.shell.opened, (std::vector<std::string>{"/usr/lib/tolmar/Dravik.chm"}));
    EXPECT_TRUE(f.prompts.shown.empty());
}

TEST(MainFormHelp, SoftwareHelpOpensTheHelpFileElseTheGuide)
{
    const std::string chm = "/usr/bin/Dravik.chm";
    const std::string installed = "/usr/share/doc/tolmar/guide/index.html";
    const std::string source = "/src/tolmar/docs/guide/index.html"; // beside build/app
    struct Case {
        const char *name;
        std::string directory;
        std::set<std::string> files;
        std::string opened;
    };
    const Case cases[] = {
        {"the help file before any guide", "/usr/bin", {chm, installed, source}, chm},
        {"no help file: the installed guide", "/usr/bin", {installed, "/docs/guide/index.html"}, installed},
        {"run from the build folder: the source tree's guide", "/src/tolmar/build/app", {source}, source},
        {"the installed guide before the source tree's", "/src/tolmar/build/app",
         {"/src/tolmar/build/share/doc/tolmar/guide/index.html", source},
         "/src/tolmar/build/share/doc/tolmar/guide/index.html"},
        {"a trailing slash changes nothing", "/usr/bin/", {installed}, installed},
        {"none: the help file as before", "/usr/bin", {"/usr/bin/index.html", "/usr/share/doc/tolmar/index.html"}, chm},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.form.FormCreate();
        f.shell.directory = c.directory;
        f.shell.files = c.files;
        f.form.manualClick();
        EXPECT_EQ(f.shell.opened, (std::vector<std::string>{c.opened}));
        EXPECT_TRUE(f.prompts.shown.empty());
    }
}

TEST(MainFormPrint, PreviewOfTheTableThenTheWindowRepainted)
{
    std::vector<std::string> log;
    struct Preview final : ReportPreview {
        explicit Preview(std::vector<std::string> &log) : log(log) {}
        void show(const ReportDocument &document) override
        {
            std::vector<ReportText> texts;
            document.pageTexts(document.pageCount() - 1, texts);
            std::string lastNo;
            for (const ReportText &t : texts)
                if (t.left == 1847 && t.font == report::ReportFont::Arial) // the No column
                    lastNo = t.text;
            log.push_back("preview of " + std::to_string(document.recordCount()) + " records, " +
                          std::to_string(document.pageCount()) + " pages, the last ending with No " + lastNo);
        }
        std::vector<std::string> &log;
    } preview(log);
    struct View final : MainFormView {
        explicit View(std::vector<std::string> &log) : log(log) {}
        void stateChanged() override {}
        void terminateApplication() override { log.push_back("terminate"); }
        void repaintWindow() override { log.push_back("repaint"); }
        std::vector<std::string> &log;
    } view(log);
    VirtualTime time;
    FixedLocale locale;
    ScriptedPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture(true);
    NoHidPlatform noHid;
    InlineUiDispatcher dispatcher;
    MainForm form{MainFormPlatform{.timers = time,
                                   .clock = time,
                                   .locale = locale,
                                   .prompts = prompts,
                                   .shell = shell,
                                   .architecture = architecture,
                                   .hid = noHid,
                                   .dispatcher = dispatcher,
                                   .reportPreview = &preview},
                  view};
    form.FormCreate();
    for (int no = 1; no <= 40; ++no) {
        ReadingRecord r;
        r.No = no;
        r.Time = 1000 * no;
        r.Value = "1.000";
        r.Unit = "k*";
        form.cds1.append(r);
    }
    form.BtPrintClick();
    EXPECT_EQ(log, (std::vector<std::string>{"preview of 40 records, 2 pages, the last ending with No 40", "repaint"}));
    EXPECT_TRUE(prompts.shown.empty());
}

} // namespace
} // namespace tolmar
