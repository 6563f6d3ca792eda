#include "platform/Timers.h"
#include "platform/virtual/VirtualTime.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tolmar {
namespace {

struct Ticks {
    VirtualTime time;
    std::vector<std::int64_t> at;
    void attach(Timer &timer)
    {
        timer.setOnTimer([this] { at.push_back(time.elapsedMs()); });
    }
};

TEST(Timer, TicksEveryIntervalWhileEnabled)
{
    Ticks t;
    Timer timer(t.time, 100, true);
    t.attach(timer);
    t.time.advance(350);
    EXPECT_EQ(t.at, (std::vector<std::int64_t>{100, 200, 300}));
    timer.setEnabled(false);
    t.time.advance(500);
    EXPECT_EQ(t.at.size(), 3u);
}

TEST(Timer, EnablingAnEnabledTimerKeepsItsPeriod)
{
    Ticks t;
    Timer timer(t.time, 100, true);
    t.attach(timer);
    t.time.advance(60);
    timer.setEnabled(true);
    timer.setInterval(100); // the same interval: no restart either
    t.time.advance(60);
    EXPECT_EQ(t.at, (std::vector<std::int64_t>{100}));
}

TEST(Timer, AChangedIntervalRestartsThePeriod)
{
    Ticks t;
    Timer timer(t.time, 100, true);
    t.attach(timer);
    t.time.advance(60);
    timer.setInterval(50);
    t.time.advance(120);
    EXPECT_EQ(t.at, (std::vector<std::int64_t>{110, 160}));
}

TEST(Timer, ReEnablingStartsAFreshPeriod)
{
    Ticks t;
    Timer timer(t.time, 1000, false);
    t.attach(timer);
    t.time.advance(300);
    timer.setEnabled(true);
    t.time.advance(1000);
    EXPECT_EQ(t.at, (std::vector<std::int64_t>{1300}));
}

TEST(Timer, IntervalZeroOrNoHandlerNeverTicks)
{
    VirtualTime time;
    Timer zero(time, 0, true);
    int zeroTicks = 0;
    zero.setOnTimer([&] { ++zeroTicks; });
    Timer silent(time, 10, true);
    time.advance(1000);
    EXPECT_EQ(zeroTicks, 0);
    EXPECT_FALSE(zero.ticking());
    EXPECT_FALSE(silent.ticking());
    EXPECT_TRUE(silent.enabled());
}

TEST(VirtualTime, FiresDueTimersInOrderAndLetsHandlersStopOthers)
{
    VirtualTime time;
    std::vector<std::string> log;
    auto a = std::make_unique<Timer>(time, 30, true);
    Timer b(time, 20, true);
    a->setOnTimer([&] { log.push_back("a" + std::to_string(time.elapsedMs())); });
    b.setOnTimer([&] {
        log.push_back("b" + std::to_string(time.elapsedMs()));
        if (time.elapsedMs() == 60)
            a.reset(); // destroyed from inside another timer's tick
    });
    time.advance(100);
    // At 60 both are due; a's period began first (at 30, b's at 40), so a
    // fires first, then b destroys it and a never fires at 90.
    EXPECT_EQ(log, (std::vector<std::string>{"b20", "a30", "b40", "a60", "b60", "b80", "b100"}));
}

TEST(VirtualTime, ClockFollowsTheAdvance)
{
    VirtualTime time({2024, 12, 31, 23, 59, 59, 500, 0});
    time.advance(600);
    const LocalDateTime now = time.now();
    EXPECT_EQ(now, (LocalDateTime{2025, 1, 1, 0, 0, 0, 100, 3}));
}

} // namespace
} // namespace tolmar
