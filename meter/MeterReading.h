#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tolmar {

// The current reading: one instance for the program's life, overwritten field
// by field by each decode. Texts are byte strings, as the meter sends them; unit
// texts use the LCD symbol font's characters ("*" ohm, "+" micro, "@" segment L,
// ")" diode, "&" second resistance symbol).
struct MeterReading {
    static constexpr int waveformLength = 160;

    std::string SignText;               // "-" or empty
    std::string Digit0, DigitA, DigitB, DigitC; // the four displayed characters, "L" mapped to "@"
    int PointMode = 4;                  // point after Digit0 (0), DigitA (1), DigitB (2); 4 = none
    std::string Point0Text, Point1Text, Point2Text; // the separator after each digit, or empty
    std::string ValueText = "40";       // sign, digits and separator; "L" marks an overload
    float Nval = 0;                     // the displayed digits as a signed count; 0 for an overload
    std::string UnitText;               // prefix character plus unit symbols
    std::string FunctionText;           // "DC", "AC", "Frequency", "Duty", "CAP", "OHM", "Diode" or empty
    std::string RangeModeText;          // "AUTO" or empty
    int FullScale = 40;                 // full scale of the active range
    std::string JudgeText;              // "pass" or "Fail", written by the judge
    std::array<int, waveformLength> WaveformSamples{}; // long frames only

    // An overload shows "L" (the font's "@") as its third character.
    bool isOverload() const { return DigitB == "@"; }
};

// A value text that shows an overload: the meter's "L" ("0.L", "-0L"), or a
// file's "OL". Such a text is no number, and the judge fails it.
inline bool isOverloadText(std::string_view valueText)
{
    return valueText.find('L') != std::string_view::npos;
}

} // namespace tolmar
