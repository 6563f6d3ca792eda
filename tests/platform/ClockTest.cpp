#include "platform/Clock.h"

#include <gtest/gtest.h>

namespace tolmar {
namespace {

TEST(Calendar, DayOfWeekOfKnownDates)
{
    const struct { int y, m, d, dow; } cases[] = {
        {1970, 1, 1, 4}, {2024, 3, 5, 2}, {2000, 2, 29, 2}, {1969, 12, 27, 6}, {2026, 12, 8, 2}, {1900, 1, 1, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(dayOfWeek(c.y, c.m, c.d), c.dow) << c.y << "-" << c.m << "-" << c.d;
}

TEST(Calendar, AddMillisecondsCarriesAcrossDaysMonthsAndLeapYears)
{
    const LocalDateTime start{2024, 2, 28, 23, 59, 59, 999, 3};
    EXPECT_EQ(addMilliseconds(start, 1), (LocalDateTime{2024, 2, 29, 0, 0, 0, 0, 4}));
    EXPECT_EQ(addMilliseconds(start, 86'400'001), (LocalDateTime{2024, 3, 1, 0, 0, 0, 0, 5}));
    EXPECT_EQ(addMilliseconds(start, -999 - 59'000), (LocalDateTime{2024, 2, 28, 23, 59, 0, 0, 3}));
}

TEST(SystemClock, GivesAPlausibleLocalTime)
{
    const LocalDateTime now = SystemClock().now();
    EXPECT_GE(now.year, 2024);
    EXPECT_EQ(now.dayOfWeek, dayOfWeek(now.year, now.month, now.day));
}

} // namespace
} // namespace tolmar
