#pragma once

#include "meter/FrameDecoder.h"
#include "meter/LcdState.h"
#include "meter/MeterReading.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tolmar {

class Locale;

// What the display update drives beyond the LCD panel: the link timer's tick
// divider, the chart, the judge and the reading table. The main window
// implements it.
class LcdDisplayPeers {
public:
    // ConTickCount := 0: a frame arrived, the link timer starts counting anew.
    virtual void resetLinkTickDivider() = 0;
    // The chart's vertical axis; each call acts only when the value changes.
    virtual void SetMaxValue(int value) = 0;
    virtual void SetMinValue(int value) = 0;
    // Judges the reading and shows ValueText in T1VALUE; false when a
    // conversion failed (the update then stops).
    virtual bool JudgeReading() = 0;
    // The text of the measure-value box T1VALUE.
    virtual std::string T1VALUE() const = 0;
    // Long frame: the page controls give way to Edit1 (the value) and Label6
    // (the unit); a short frame brings the page controls back.
    virtual void showWaveformValue(const std::string &valueText, const std::string &unitText) = 0;
    virtual void showPageControls() = 0;
    // The reading goes to recording: INDataToTable after a long frame,
    // INDataToTable1 after a short one.
    virtual void INDataToTable() = 0;
    virtual void INDataToTable1() = 0;
    // The long frame's 160 samples become a chart page of their own.
    virtual void showWaveformPage(const std::array<int, MeterReading::waveformLength> &samples) = 0;

protected:
    ~LcdDisplayPeers() = default;
};

// The one display update per complete frame: decodes the frame into the
// reading and, step by step in between, sets the LCD panel, the activity lamp
// and the peers. A failed conversion ends it where it happens; what was set
// before stays.
class LcdDisplay {
public:
    LcdDisplay(MeterReading &reading, LcdState &lcd, const Locale &locale, LcdDisplayPeers &peers);

    // Returns the decode error that stopped the update, if any.
    std::optional<DecodeError> run(std::string_view frameText);

private:
    MeterReading &m_reading;
    LcdState &m_lcd;
    const Locale &m_locale;
    LcdDisplayPeers &m_peers;
};

} // namespace tolmar
