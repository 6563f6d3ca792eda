#pragma once

#include "record/ReadingTable.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace tolmar {

class Clock;
class GraphicControl;
class Locale;
class Prompts;
class Timer;
struct MeterReading;

// What the recording bar Panel5 and the Record menu show.
struct RecordingState {
    bool RecordSIChecked = true;   // "Sampling Interval": record at the interval, else every frame
    std::string RecordSITime = "1"; // the interval in whole seconds
    // False while the interval text cannot arm a sampling timer (empty, or
    // too large for one): frames are then not recorded.
    bool RecordSITimeValid = true;
    bool RepeatSetChecked = false;  // "Repeat": skip a reading equal to the last one recorded
    // Record menu: "1000", "5000", "10000", "50000", "100000", "limitless".
    std::array<bool, 6> recordLimitChecked = {false, false, true, false, false, false};
};

// Recording: when a reading goes into the reading table cds1, and the append
// step itself. Every decoded frame ends in INDataToTable (long frame) or
// INDataToTable1 (short frame); with "Sampling Interval" ticked they arm the
// one-shot sampling timers Timer1 / Timer2, whose ticks record the reading
// current then; unticked, the frame is recorded at once. Short-frame records
// also hand their value to the chart.
class Recording {
public:
    static constexpr const char *clearQuestion = "Are you sure that you want to delete this record?";
    static constexpr const char *RepeatSetCaption = "Repeat";
    static constexpr const char *RepeatSetHint = "Repeage Record";
    static constexpr const char *RecordSICaption = "Sampling Interval           'S";
    static constexpr const char *RecordSIHint = "Set the data logging interval.";
    static constexpr const char *RecordNewHint = "Close Data";
    static constexpr const char *OpenDataFilesHint = "Open old data files";
    static constexpr const char *saveasHint = "Save data files";
    static constexpr const char *BtPrintHint = "Print";
    static constexpr std::array<const char *, 6> recordLimitTexts = {"1000", "5000", "10000",
                                                                     "50000", "100000", "limitless"};
    static constexpr std::array<int, 6> recordLimits = {1000, 5000, 10000, 50000, 100000, 10000000};
    // The longest interval a timer can hold: 2^31 - 1 ms, in whole seconds.
    static constexpr int longestInterval = 2147483;

    struct Peers {
        const MeterReading &reading;
        Timer &Timer1; // one-shot sampling tick for long frames
        Timer &Timer2; // one-shot sampling tick for short frames
        Timer &Trecord; // counts SampleCountdown down every second
        const Clock &clock;
        const Locale &locale;
        Prompts &prompts;
        GraphicControl &chart;
    };

    Recording(ReadingTable &cds1, const Peers &peers);
    ~Recording();
    Recording(const Recording &) = delete;
    Recording &operator=(const Recording &) = delete;

    const RecordingState &state() const { return m_state; }
    const ReadingTable &table() const { return m_table; }

    // Start-up: the table opens empty, numbering starts at 0, limit 10000.
    void start();

    // Per decoded frame, after the judge.
    void INDataToTable();
    void INDataToTable1();
    // Timer handlers.
    void Timer1Timer();
    void Timer2Timer();
    void TrecordTimer();

    // The recording bar.
    void RecordSIClick(bool checked);
    void RepeatSetClick(bool checked);
    bool RecordSITimeKeyPress(char32_t key) const; // true: the key goes through
    void RecordSITimeChange(const std::string &text);
    // RecordNew ("Close Data") and the chart's btnNew: asks, then empties the
    // table and the chart and numbers from 1.
    void ClearReadingTable();

    // The Record menu, by item (0 = "1000" .. 5 = "limitless").
    void recordLimitClick(std::size_t item);
    void N10001Click() { recordLimitClick(0); }
    void N50001Click() { recordLimitClick(1); }
    void N100001Click() { recordLimitClick(2); }
    void N500001Click() { recordLimitClick(3); }
    void N1000001Click() { recordLimitClick(4); }
    void limitessClick() { recordLimitClick(5); }

    // Recording state; the window numbers records with NextRecordNo.
    int NextRecordNo = 0;
    int RecordedCount = 0;
    int RecordLimit = 10000;
    std::string LastRecordKey;
    int SampleCountdown = 0;

    // Told after every change of state() or of the table.
    std::function<void()> onChanged;
    // Told after each record appended by recording, with its index.
    std::function<void(std::size_t index)> onRecordAppended;
    // Told after each reading recording considered: the index of the record
    // it appended (none for a skipped repeat) and the value it gave the
    // chart (none for a long frame, or a text that is no number).
    std::function<void(std::optional<std::size_t> index, std::optional<double> chartValue)> onConsidered;
    // Told after Close Data emptied the table and the chart.
    std::function<void()> onCleared;

private:
    enum class Path { LongFrame, ShortFrame };

    bool limitGateOpen() const { return RecordedCount <= RecordLimit; }
    void LiveAppend(Path path);
    // The interval text as an arming conversion reads it; nullopt when it
    // does not convert into a timer's interval.
    std::optional<unsigned> armingInterval();
    // Interval recording: arms one sampling timer, stops the other; false
    // (and both stopped) when the interval text cannot arm a timer.
    bool armSamplingTimer(Timer &armed, Timer &other);
    int tolerantInterval() const;
    void changed();

    ReadingTable &m_table;
    Peers m_peers;
    RecordingState m_state;
};

} // namespace tolmar
