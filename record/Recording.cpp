#include "record/Recording.h"

#include "chart/GraphicControl.h"
#include "meter/MeterReading.h"
#include "platform/Clock.h"
#include "platform/Locale.h"
#include "platform/NumberText.h"
#include "platform/Prompts.h"
#include "platform/Timers.h"

#include <cmath>

namespace tolmar {

namespace {

std::optional<unsigned> intervalMs(const std::string &text)
{
    const auto seconds = parseInteger(text);
    if (!seconds || *seconds < 0 || *seconds > Recording::longestInterval)
        return std::nullopt;
    return static_cast<unsigned>(*seconds) * 1000u;
}

std::int32_t millisecondsOfDay(const LocalDateTime &t)
{
    return ((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
}

} // namespace

Recording::Recording(ReadingTable &cds1, const Peers &peers) : m_table(cds1), m_peers(peers)
{
    m_peers.Timer1.setOnTimer([this] { Timer1Timer(); });
    m_peers.Timer2.setOnTimer([this] { Timer2Timer(); });
    m_peers.Trecord.setOnTimer([this] { TrecordTimer(); });
}

Recording::~Recording()
{
    // The timers belong to the main window and may outlive us.
    m_peers.Timer1.setOnTimer(nullptr);
    m_peers.Timer2.setOnTimer(nullptr);
    m_peers.Trecord.setOnTimer(nullptr);
}

void Recording::changed()
{
    if (onChanged)
        onChanged();
}

void Recording::start()
{
    m_table.clear();
    NextRecordNo = 0; // the first record after start-up is number 0
    RecordedCount = 0;
    RecordLimit = 10000;
    changed();
}

std::optional<unsigned> Recording::armingInterval()
{
    const auto interval = intervalMs(m_state.RecordSITime);
    if (m_state.RecordSITimeValid != interval.has_value()) {
        m_state.RecordSITimeValid = interval.has_value();
        changed();
    }
    return interval;
}

int Recording::tolerantInterval() const
{
    const std::string &text = m_state.RecordSITime;
    if (text.empty() || text == "-" || text == "+")
        return 0;
    // Only digits can be typed; a pasted text that is no number counts as 0.
    return parseInteger(text).value_or(0);
}

bool Recording::armSamplingTimer(Timer &armed, Timer &other)
{
    // An interval that cannot arm the timer records nothing: no tick may
    // record this frame later either.
    const auto interval = armingInterval();
    if (!interval) {
        m_peers.Timer1.setEnabled(false);
        m_peers.Timer2.setEnabled(false);
        return false;
    }
    // Enabling a running timer, or giving it the interval it has, keeps its
    // period: a steady stream of frames ticks once per interval.
    armed.setEnabled(true);
    other.setEnabled(false);
    armed.setInterval(*interval);
    return true;
}

void Recording::INDataToTable()
{
    if (!limitGateOpen())
        return;
    if (m_state.RecordSIChecked) {
        armSamplingTimer(m_peers.Timer1, m_peers.Timer2); // nothing is recorded now
        return;
    }
    m_peers.Timer1.setEnabled(false);
    m_peers.Timer2.setEnabled(false);
    LiveAppend(Path::LongFrame);
}

void Recording::INDataToTable1()
{
    if (!limitGateOpen())
        return;
    if (m_state.RecordSIChecked) {
        armSamplingTimer(m_peers.Timer2, m_peers.Timer1);
        return;
    }
    m_peers.Timer1.setEnabled(false);
    m_peers.Timer2.setEnabled(false);
    m_peers.Trecord.setEnabled(true);
    LiveAppend(Path::ShortFrame);
}

void Recording::Timer1Timer()
{
    if (limitGateOpen() && (!m_state.RecordSIChecked || SampleCountdown == 0))
        LiveAppend(Path::LongFrame);
    m_peers.Timer1.setEnabled(false);
    m_peers.Timer2.setEnabled(false);
}

void Recording::Timer2Timer()
{
    if (limitGateOpen()) {
        m_peers.Trecord.setEnabled(true);
        LiveAppend(Path::ShortFrame);
    }
    m_peers.Timer1.setEnabled(false);
    m_peers.Timer2.setEnabled(false);
}

void Recording::TrecordTimer()
{
    if (m_state.RecordSIChecked && SampleCountdown > 0)
        --SampleCountdown;
}

void Recording::LiveAppend(Path path)
{
    if (!limitGateOpen())
        return; // the record limit is reached: nothing at all happens
    const MeterReading &r = m_peers.reading;
    std::string key = r.ValueText;
    key += r.FunctionText;
    key += r.UnitText;
    key += r.RangeModeText;
    std::optional<std::size_t> appended;
    if (!m_state.RepeatSetChecked || key != LastRecordKey) {
        LastRecordKey = std::move(key);
        SampleCountdown = tolerantInterval();
        ++RecordedCount;
        ReadingRecord record;
        record.Value = r.ValueText;
        if (path == Path::LongFrame)
            record.Nval = static_cast<std::int32_t>(std::lround(r.Nval)); // a whole count; 0 for an overload
        const LocalDateTime now = m_peers.clock.now();
        record.Time = millisecondsOfDay(now);
        record.No = NextRecordNo;
        record.DCAC = r.FunctionText;
        record.Unit = r.UnitText;
        record.Auto = r.JudgeText;
        m_table.append(record, RecordDate{static_cast<std::int32_t>(daysFromCivil(now.year, now.month, now.day)),
                                          static_cast<std::int16_t>(now.utcOffsetMinutes)});
        appended = m_table.size() - 1;
        if (onRecordAppended)
            onRecordAppended(*appended);
    }
    // Also for a suppressed repeat: gaps in No mark them.
    ++NextRecordNo;
    std::optional<double> chartValue;
    if (path == Path::ShortFrame) {
        // The chart gets every considered reading. A value text that is no
        // number and no overload has no place on it: the chart skips it.
        chartValue = r.isOverload() ? std::optional<double>(r.FullScale)
                                    : parseFloat(r.ValueText, m_peers.locale.decimalSeparator());
        if (chartValue)
            m_peers.chart.recordValue(*chartValue); // AddValue, then edtCurPage
    }
    if (onConsidered)
        onConsidered(appended, chartValue);
    changed();
}

void Recording::RecordSIClick(bool checked)
{
    // Takes effect at the next decoded frame.
    m_state.RecordSIChecked = checked;
    changed();
}

void Recording::RepeatSetClick(bool checked)
{
    m_state.RepeatSetChecked = checked;
    changed();
}

bool Recording::RecordSITimeKeyPress(char32_t key) const
{
    return (key >= U'0' && key <= U'9') || key == U'\b';
}

void Recording::RecordSITimeChange(const std::string &text)
{
    m_state.RecordSITime = text;
    m_state.RecordSITimeValid = intervalMs(text).has_value();
    SampleCountdown = tolerantInterval();
    changed();
}

void Recording::ClearReadingTable()
{
    if (m_peers.prompts.show(PromptIcon::Confirmation, clearQuestion, PromptButtons::YesNo) != PromptAnswer::Yes)
        return;
    m_table.clear();
    m_peers.chart.clearChart();
    NextRecordNo = 1;
    RecordedCount = 0;
    if (onCleared)
        onCleared();
    changed();
}

void Recording::recordLimitClick(std::size_t item)
{
    if (item >= recordLimits.size())
        return;
    // The count stays: a smaller limit than the count stops recording at
    // once, a larger one resumes it.
    RecordLimit = recordLimits[item];
    for (std::size_t i = 0; i < m_state.recordLimitChecked.size(); ++i)
        m_state.recordLimitChecked[i] = i == item;
    changed();
}

} // namespace tolmar
