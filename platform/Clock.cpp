#include "platform/Clock.h"

#include "platform/System.h"

#include <chrono>
#include <ctime>

namespace tolmar {

LocalDateTime SystemClock::now() const
{
    using namespace std::chrono;
    const auto since = system_clock::now().time_since_epoch();
    const auto ms = duration_cast<milliseconds>(since).count();
    const std::time_t secs = static_cast<std::time_t>(ms / 1000);
    std::tm tm{};
    localTime(secs, tm);
    LocalDateTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = static_cast<int>(ms % 1000);
    t.dayOfWeek = tm.tm_wday;
    // The local time less the universal one (what tm_gmtoff holds where
    // there is one); whole minutes in every zone in use.
    const long long localSeconds =
        daysFromCivil(t.year, t.month, t.day) * 86'400LL + (t.hour * 60LL + t.minute) * 60 + t.second;
    t.utcOffsetMinutes = static_cast<int>((localSeconds - static_cast<long long>(secs)) / 60);
    return t;
}

// Howard Hinnant's algorithms.
long long daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int &y, int &m, int &d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

int dayOfWeek(int year, int month, int day)
{
    const long long z = daysFromCivil(year, month, day);
    return static_cast<int>((z % 7 + 11) % 7); // 1970-01-01 was a Thursday
}

LocalDateTime addMilliseconds(const LocalDateTime &t, long long ms)
{
    const long long dayMs = 86'400'000LL;
    long long days = daysFromCivil(t.year, t.month, t.day);
    long long tod = ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond + ms;
    long long carry = tod / dayMs;
    tod %= dayMs;
    if (tod < 0) {
        tod += dayMs;
        --carry;
    }
    days += carry;
    LocalDateTime r;
    civilFromDays(days, r.year, r.month, r.day);
    r.millisecond = static_cast<int>(tod % 1000);
    r.second = static_cast<int>(tod / 1000 % 60);
    r.minute = static_cast<int>(tod / 60'000 % 60);
    r.hour = static_cast<int>(tod / 3'600'000);
    r.dayOfWeek = dayOfWeek(r.year, r.month, r.day);
    r.utcOffsetMinutes = t.utcOffsetMinutes;
    return r;
}

} // namespace tolmar
