// The live link under strain while recording every frame: the cable pulled
// and plugged in again many times, and the simulated meter's faults. The
// checks on each frame are LinkSoak's (tests/link/LinkSoak.h); the thousand
// cycles run in bench/SoakBench.cpp.
#include "link/LinkSoak.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace tolmar {
namespace {

using test::LinkSoak;

std::size_t modeNamed(const char *name)
{
    const auto &modes = sim::SimulatedMeter::modes();
    for (std::size_t i = 0; i < modes.size(); ++i)
        if (std::strcmp(modes[i].name, name) == 0)
            return i;
    ADD_FAILURE() << "no meter mode " << name;
    return 0;
}

// Runs the session until `done`, at most two seconds.
void advanceUntil(LinkSoak &soak, const std::function<bool()> &done)
{
    for (int ms = 0; ms < 2000 && !done(); ++ms)
        soak.advance(1);
    ASSERT_TRUE(done());
}

long logLinesStartingWith(const MainForm &form, const std::string &prefix)
{
    const HistoryLog &log = form.HistoryListBox();
    long n = 0;
    for (std::size_t i = 0; i < log.size(); ++i)
        n += log.line(i).rfind(prefix, 0) == 0;
    return n;
}

TEST(LinkSoak, UnplugAndReplugWhileRecording)
{
    const struct {
        const char *name;
        bool repeat;
        std::uint64_t seed;
        const char *startMode;
        int cycles;
    } cases[] = {
        {"every frame recorded", false, 1, "DC voltage, auto range", 60},
        // Open probes read " 0L" frame after frame: "Repeat" suppresses them.
        {"Repeat ticked", true, 9, "Resistance, open probes", 40},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LinkSoak::Options options;
        options.repeat = c.repeat;
        options.meter.seed = c.seed;
        options.meter.startMode = modeNamed(c.startMode);
        LinkSoak soak(options);
        for (int cycle = 0; cycle < c.cycles; ++cycle) {
            const std::string fault = soak.replugCycle(cycle);
            ASSERT_EQ(fault, "");
        }
        EXPECT_EQ(soak.check(), "");
        EXPECT_EQ(soak.failedDecodes(), 0);
        EXPECT_GE(soak.decoded(), 2 * c.cycles);
        if (c.repeat) {
            EXPECT_GT(soak.suppressed(), 0);
        } else {
            EXPECT_EQ(soak.records(), soak.decoded());
        }
        EXPECT_EQ(logLinesStartingWith(*soak.form, "Removal of USB to Serial"), c.cycles);
        EXPECT_EQ(logLinesStartingWith(*soak.form, "Arrival of Device VID=1A86 PID=E008"), c.cycles);

        // After the last replug the session is as good as new.
        ASSERT_EQ(soak.replugCycle(c.cycles), "");
        EXPECT_EQ(soak.check(), "");
    }
}

TEST(LinkSoak, FaultsOfTheMeterWhileRecording)
{
    const char *const silentMeter = UsbLink::silentMeterMessage;
    const struct {
        const char *name;
        std::function<void(LinkSoak &)> fault;
        const char *box;      // the one box the fault shows, if any
        bool clickAfterwards; // the link dropped: the user clicks to go on
        const char *logged;   // a log line the fault leaves, if any
    } cases[] = {
        {"garbage between frames",
         [](LinkSoak &s) {
             advanceUntil(s, [&s] { return !s.form->assembler().BurstPending; });
             s.sim.injectGarbage(40);
         },
         nullptr, false, nullptr},
        {"garbage inside a frame",
         [](LinkSoak &s) {
             advanceUntil(s, [&s] { return s.form->assembler().BurstPending; });
             s.advance(5);
             s.sim.injectGarbage(7);
         },
         nullptr, false, nullptr},
        {"two seconds of noise", [](LinkSoak &s) { s.sim.injectGarbage(2000); }, nullptr, false, nullptr},
        // The reader's queue keeps 64 reports of the 300: the frame arrives cut.
        {"a frame cut short",
         [](LinkSoak &s) {
             advanceUntil(s, [&s] { return s.form->assembler().BurstPending; });
             s.stall(300);
         },
         nullptr, false, nullptr},
        {"read errors", [](LinkSoak &s) { s.sim.failReadStarts(3); }, nullptr, false, "READ ERROR: "},
        // Asked again after 600 reports without meter bytes: the meter answers.
        {"a meter silent for two seconds",
         [](LinkSoak &s) {
             s.sim.setMeterSilent(true);
             s.advance(2000);
             s.sim.setMeterSilent(false);
         },
         nullptr, false, nullptr},
        {"a meter silent until the link drops",
         [](LinkSoak &s) {
             s.sim.setMeterSilent(true);
             s.advance(4000);
             s.sim.setMeterSilent(false);
         },
         silentMeter, true, nullptr},
        // Not a fault: the user disconnects and connects again later; the
        // read handle kept open meanwhile holds the reports in between.
        {"disconnected for two seconds",
         [](LinkSoak &s) {
             s.click(false);
             s.advance(2000);
         },
         nullptr, true, nullptr},
        // A box's own event loop runs the timers and hand-overs: reading and
        // recording go on while it is open.
        {"a box open for ten seconds",
         [](LinkSoak &s) {
             const long before = s.decoded();
             s.prompts.openForMs = 10000;
             s.form->BitBtn1Click(); // the quit question, answered No
             EXPECT_GE(s.decoded() - before, 40) << "frames read while the box was open";
         },
         MainForm::quitQuestion, false, nullptr},
        // Nothing runs: the frame on its way is cut, the link timer asks again.
        {"the UI thread stalled for ten seconds", [](LinkSoak &s) { s.stall(10000); }, nullptr, false, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LinkSoak soak;
        ASSERT_EQ(soak.click(true), "");
        ASSERT_TRUE(soak.readFrames(5));
        c.fault(soak);
        if (c.clickAfterwards) {
            EXPECT_FALSE(soak.link().USBConDown);
            ASSERT_EQ(soak.click(true), "");
        }
        EXPECT_TRUE(soak.readFrames(10, 8000)) << "reading goes on afterwards";
        EXPECT_TRUE(soak.link().USBConDown);
        EXPECT_EQ(soak.check(), "");
        if (c.box) {
            EXPECT_EQ(soak.prompts.texts, std::vector<std::string>{c.box});
        } else {
            EXPECT_TRUE(soak.prompts.texts.empty());
        }
        if (c.logged) {
            EXPECT_GT(logLinesStartingWith(*soak.form, c.logged), 0);
        }
    }
}

} // namespace
} // namespace tolmar
