#pragma once

namespace tolmar {

// A local calendar date and time of day, as the desktop clock shows it.
struct LocalDateTime {
    int year = 1970;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int dayOfWeek = 4; // 0 = Sunday .. 6 = Saturday
    // Local time minus UTC then, in minutes (+60 for CET, +120 for CEST): the
    // hour after a change from summer time repeats its times of day, and
    // this tells them apart.
    int utcOffsetMinutes = 0;

    bool operator==(const LocalDateTime &) const = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
};

// The machine's local time.
class SystemClock final : public Clock {
public:
    LocalDateTime now() const override;
};

// Civil-calendar helpers shared by the clocks.
int dayOfWeek(int year, int month, int day);
// Adds milliseconds to a local date and time (the calendar, no time zones;
// the UTC offset stays as it was).
LocalDateTime addMilliseconds(const LocalDateTime &t, long long ms);
// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
long long daysFromCivil(int year, int month, int day);
void civilFromDays(long long days, int &year, int &month, int &day);

} // namespace tolmar
