#include "platform/Clock.h"
#include "platform/System.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

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

TEST(SystemClock, GivesTheUtcOffsetOfTheZone)
{
    const char *const was = std::getenv("TZ");
    const std::string saved = was ? was : "";
    // POSIX zone texts need no zone database: "XYZ-5:30" is UTC+5:30.
    const struct { const char *zone; int offset; } cases[] = {{"UTC0", 0}, {"XYZ-5:30", 330}, {"XYZ+3", -180}};
    for (const auto &c : cases) {
        setEnvironment("TZ", c.zone);
        tzset();
        EXPECT_EQ(SystemClock().now().utcOffsetMinutes, c.offset) << c.zone;
    }
    setEnvironment("TZ", was ? saved.c_str() : nullptr);
    tzset();
}

TEST(Calendar, DaysFromCivilAndBack)
{
    const struct { int y, m, d; long long days; } cases[] = {
        {1970, 1, 1, 0}, {1969, 12, 31, -1}, {2000, 3, 1, 11017}, {2026, 12, 9, 20796},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(daysFromCivil(c.y, c.m, c.d), c.days) << c.y << "-" << c.m << "-" << c.d;
        int y = 0, m = 0, d = 0;
        civilFromDays(c.days, y, m, d);
        EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
    }
}

} // namespace
} // namespace tolmar
