#pragma once

#include "meter/MeterReading.h"

#include <optional>
#include <string>
#include <string_view>

namespace tolmar {

class Locale;

// Told each time the full-scale rule sets MeterReading::FullScale (the LCD
// moves its bar maximum and the chart its vertical range at that moment).
class FullScaleListener {
public:
    virtual void fullScaleSet(int fullScale) = 0;

protected:
    ~FullScaleListener() = default;
};

// Why a decode stopped: the step and what could not be converted.
struct DecodeError {
    int step = 0;
    std::string what;
};

// Decodes one frame text into the MeterReading, step by step, so the display
// update can run its own steps between them. A step that fails returns false
// and leaves error() set; what earlier steps wrote stays in the reading, and
// the caller runs no further step. The steps carry the numbers of the display
// update's steps they belong to (LcdDisplay::run), the one numbering of a
// frame's update that the link log's "step N" refers to.
class FrameDecoder {
public:
    FrameDecoder(std::string_view frameText, MeterReading &reading);

    // 1: the user's decimal separator, read afresh for each frame.
    void readLocale(const Locale &locale);
    void setDecimalSeparator(std::string separator) { m_separator = std::move(separator); }
    // 4: PointMode from the "." at D3, D4 or D5 (the rightmost wins).
    bool findPointMode();
    // 5: the four digits around the point, and the "." point text.
    bool placeDigits();
    // 6: SignText from D1.
    bool takeSign();
    // 7: the letter L becomes the font's segment L "@".
    void mapLetters();
    // 8-9: clears the function texts; UnitText := the prefix character D7.
    bool startUnit();
    // 10: a short or long frame from its start byte.
    bool isComplete() const;
    // 10-11 (complete frames only): unit, function and full scale.
    bool decodeFunction(FullScaleListener *listener = nullptr);
    // 12: the point text takes the decimal separator.
    void finalPointTexts();
    // 13: ValueText.
    void formValueText();
    // 13: Nval.
    bool formCount();
    // 14: RangeModeText.
    bool readRangeMode();
    // 16 (long frames only): WaveformSamples.
    bool decodeWaveform();

    const std::optional<DecodeError> &error() const { return m_error; }
    // The function code decodeFunction() read, or -1 before it ran.
    int functionCode() const { return m_functionCode; }
    // The sub-mode character (text character 22).
    char subMode() const;
    bool isLongFrame() const;
    const std::string &decimalSeparator() const { return m_separator; }

private:
    std::optional<unsigned char> displayByte(int field, int step, const char *use);
    std::optional<int> signedByte(std::size_t byte, int step, const char *use);
    bool fail(int step, std::string what);
    void setFullScale(int value, FullScaleListener *listener);

    std::string_view m_text;
    MeterReading &m_reading;
    std::string m_separator = ".";
    int m_functionCode = -1;
    std::optional<DecodeError> m_error;
};

// Runs every decoding step in order, as the display update does without its
// painting. Returns the error of a step that failed.
std::optional<DecodeError> decodeFrame(std::string_view frameText, MeterReading &reading,
                                       const std::string &decimalSeparator,
                                       FullScaleListener *listener = nullptr);

} // namespace tolmar
