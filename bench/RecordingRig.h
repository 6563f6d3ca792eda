#pragma once

// What the benchmarks of recording share: a meter whose readings drift, the
// window's recording with its timers, clock, locale and chart, and the
// counters of heap and processor time.
#include "chart/GraphicControl.h"
#include "chart/PointStore.h"
#include "meter/MeterReading.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/Timers.h"
#include "platform/virtual/VirtualTime.h"
#include "record/ReadingTable.h"
#include "record/Recording.h"

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace benchrig {

inline std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Readings of a V DC range drifting slowly with noise in the last digit:
// "dd.dd" as the meter's display text, judged pass.
struct DriftingMeter {
    std::mt19937 random{12345};
    double volts = 12.0;
    void next(tolmar::MeterReading &r)
    {
        volts += std::normal_distribution<double>(0, 0.02)(random);
        volts = std::clamp(volts, 0.0, 39.99);
        char text[16];
        std::snprintf(text, sizeof text, "%05.2f", volts);
        r.ValueText = text;
        r.Nval = static_cast<float>(std::lround(volts * 100));
    }
};

// What the window gives recording: its timers, clock, locale and chart.
struct RecordingRig {
    tolmar::VirtualTime time{tolmar::LocalDateTime{2026, 10, 24, 22, 30, 0, 0, 6, 120}};
    tolmar::FixedLocale locale;
    tolmar::ScriptedPrompts prompts;
    tolmar::Timer Timer1{time, 1000, false};
    tolmar::Timer Timer2{time, 1000, false};
    tolmar::Timer Trecord{time, 1000, true};
    tolmar::Timer timerChange{time, 1000, false};
    tolmar::PointStore Chart1;
    tolmar::GraphicControl chart{Chart1, timerChange, prompts};
    tolmar::MeterReading reading;
    tolmar::ReadingTable cds1;
    tolmar::Recording recording{cds1, {reading, Timer1, Timer2, Trecord, time, locale, prompts, chart}};

    RecordingRig()
    {
        chart.createChartPager();
        chart.resetSeries();
        chart.setStartVerticalRange();
        recording.start();
        recording.RecordSIClick(false); // every frame
        recording.limitessClick();
        reading.FunctionText = "DC";
        reading.UnitText = " V";
        reading.JudgeText = "pass";
    }
};

// Processor time of this thread: on a machine busy with other work, wall
// time says more about the others than about us.
inline double cpuNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

} // namespace benchrig
