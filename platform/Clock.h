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
// Adds milliseconds to a local date and time (the calendar, no time zones).
LocalDateTime addMilliseconds(const LocalDateTime &t, long long ms);

} // namespace tolmar
