#include "meter/FrameDecoder.h"

#include "meter/ReadingFrame.h"
#include "platform/Locale.h"
#include "platform/NumberText.h"

namespace tolmar {

namespace {
std::string quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

// Bytes above 128 are negative: 129..255 become -127..-1, 128 stays +128.
int signedFromByte(int byte)
{
    return byte > 128 ? byte - 256 : byte;
}
} // namespace

FrameDecoder::FrameDecoder(std::string_view frameText, MeterReading &reading)
    : m_text(frameText), m_reading(reading)
{
}

void FrameDecoder::readLocale(const Locale &locale)
{
    m_separator = locale.decimalSeparator();
}

bool FrameDecoder::fail(int step, std::string what)
{
    m_error = DecodeError{step, std::move(what)};
    return false;
}

std::optional<unsigned char> FrameDecoder::displayByte(int field, int step, const char *use)
{
    const std::size_t byte = frame::displayFieldByte + static_cast<std::size_t>(field) - 1;
    const std::string_view digits = frame::byteText(m_text, byte);
    if (const auto value = hexByte(digits))
        return static_cast<unsigned char>(*value);
    const std::string where = std::string(use) + ": display byte D" + std::to_string(field) + " (frame byte "
        + std::to_string(byte) + ")";
    if (digits.size() < 2)
        fail(step, where + " is missing, the frame text has " + std::to_string(m_text.size()) + " characters");
    else
        fail(step, where + " " + quoted(digits) + " is not a hexadecimal byte");
    return std::nullopt;
}

std::optional<int> FrameDecoder::signedByte(std::size_t byte, int step, const char *use)
{
    const std::string_view digits = frame::byteText(m_text, byte);
    if (const auto value = hexByte(digits))
        return signedFromByte(*value);
    fail(step, std::string(use) + ": frame byte " + std::to_string(byte) + " " + quoted(digits)
                   + " is not a hexadecimal byte");
    return std::nullopt;
}

bool FrameDecoder::findPointMode()
{
    m_reading.PointMode = 4;
    static constexpr struct { int field; int mode; } points[] = {{3, 0}, {4, 1}, {5, 2}};
    for (const auto &point : points) {
        const auto byte = displayByte(point.field, 4, "decimal point");
        if (!byte)
            return false;
        if (*byte == '.')
            m_reading.PointMode = point.mode;
    }
    return true;
}

bool FrameDecoder::placeDigits()
{
    m_reading.Point0Text.clear();
    m_reading.Point1Text.clear();
    m_reading.Point2Text.clear();
    // The display field byte each digit comes from, skipping the point.
    int fields[4] = {2, 3, 4, 5};
    std::string *pointText = nullptr;
    switch (m_reading.PointMode) {
    case 0: fields[1] = 4; fields[2] = 5; fields[3] = 6; pointText = &m_reading.Point0Text; break;
    case 1: fields[2] = 5; fields[3] = 6; pointText = &m_reading.Point1Text; break;
    case 2: fields[3] = 6; pointText = &m_reading.Point2Text; break;
    default: break;
    }
    std::string *digits[4] = {&m_reading.Digit0, &m_reading.DigitA, &m_reading.DigitB, &m_reading.DigitC};
    for (int i = 0; i < 4; ++i) {
        const auto byte = displayByte(fields[i], 5, "digit");
        if (!byte)
            return false;
        digits[i]->assign(1, static_cast<char>(*byte));
    }
    if (pointText)
        *pointText = ".";
    return true;
}

bool FrameDecoder::takeSign()
{
    const auto byte = displayByte(1, 6, "sign");
    if (!byte)
        return false;
    m_reading.SignText = *byte == '-' ? "-" : "";
    return true;
}

void FrameDecoder::mapLetters()
{
    for (std::string *digit : {&m_reading.Digit0, &m_reading.DigitA, &m_reading.DigitB, &m_reading.DigitC})
        if (*digit == "L")
            *digit = "@";
}

bool FrameDecoder::startUnit()
{
    m_reading.FunctionText.clear();
    m_reading.RangeModeText.clear();
    m_reading.UnitText.clear();
    const auto byte = displayByte(7, 9, "unit prefix");
    if (!byte)
        return false;
    m_reading.UnitText.assign(1, static_cast<char>(*byte));
    return true;
}

bool FrameDecoder::isComplete() const
{
    return frame::isCompleteFrame(m_text);
}

bool FrameDecoder::isLongFrame() const
{
    return m_text.size() == frame::longFrameLength;
}

char FrameDecoder::subMode() const
{
    return frame::charAt(m_text, frame::subModeChar);
}

void FrameDecoder::setFullScale(int value, FullScaleListener *listener)
{
    m_reading.FullScale = value;
    if (listener)
        listener->fullScaleSet(value);
}

bool FrameDecoder::decodeFunction(FullScaleListener *listener)
{
    const char codeChar = frame::charAt(m_text, frame::functionCodeChar);
    const auto code = parseInteger(std::string_view(&codeChar, 1));
    if (!code)
        return fail(10, "function code: frame character 14 " + quoted(std::string_view(&codeChar, 1))
                           + " is not a decimal digit");
    m_functionCode = *code;

    MeterReading &r = m_reading;
    const std::string prefix = r.UnitText;
    const bool sub0 = subMode() == '0';
    switch (*code) {
    case 0: // voltage
        r.UnitText = prefix == "V" ? "V" : prefix + "V";
        r.FunctionText = sub0 ? "DC" : "AC";
        break;
    case 1: // current; the prefix "A" stands for the micro range
        r.UnitText = prefix == "A" ? "uA" : prefix + "A";
        r.FunctionText = sub0 ? "DC" : "AC";
        break;
    case 2: // frequency, or duty cycle with sub-mode 1
        r.UnitText = prefix + "Hz";
        r.FunctionText = "Frequency";
        if (subMode() == '1') {
            r.UnitText = "Duty";
            r.FunctionText = "Duty";
        }
        break;
    case 3:
        r.UnitText = prefix + "F";
        r.FunctionText = "CAP";
        break;
    case 4:
        r.UnitText = prefix + "*";
        r.FunctionText = "OHM";
        break;
    case 5:
        r.UnitText = prefix + "*&";
        r.FunctionText = "OHM";
        break;
    case 6: // diode: the point always shows after the first digit
        r.UnitText = prefix + "V)";
        r.FunctionText = "Diode";
        r.PointMode = 0;
        break;
    default: // 7, 8, 9 select nothing
        return true;
    }

    // Full scale from where the point stands: the low hex digit of bytes 23,
    // 24, 25 (D3, D4, D5) reads "E" for the "." (0x2E). Every test that holds
    // overwrites the one before.
    const bool pointD3 = frame::charAt(m_text, 48) == 'E';
    const bool pointD4 = frame::charAt(m_text, 50) == 'E';
    const bool pointD5 = frame::charAt(m_text, 52) == 'E';
    const bool anyPoint = pointD3 || pointD4 || pointD5;
    if (*code == 2) {
        if (pointD3)
            setFullScale(10, listener);
        return true;
    }
    if (pointD3)
        setFullScale(4, listener);
    if (pointD4)
        setFullScale(40, listener);
    // A current range with the point at D4 and no milli or micro annunciator
    // is the 10 A range.
    if (*code == 1 && pointD4 && prefix != "m" && prefix != "u" && prefix != "A")
        setFullScale(10, listener);
    if (pointD5)
        setFullScale(400, listener);
    if (!anyPoint) {
        switch (*code) {
        case 0: setFullScale(r.FunctionText == "DC" ? 1000 : 750, listener); break;
        case 1: setFullScale(4000, listener); break;
        case 3: setFullScale(100, listener); break;
        default: setFullScale(1000, listener); break; // resistance, diode
        }
    }
    return true;
}

void FrameDecoder::finalPointTexts()
{
    MeterReading &r = m_reading;
    switch (r.PointMode) {
    case 0: r.Point0Text = m_separator; break;
    case 1: r.Point1Text = m_separator; break;
    case 2: r.Point2Text = m_separator; break;
    default: break;
    }
    if (r.DigitA + r.DigitB == "@0")
        r.Point2Text.clear();
}

void FrameDecoder::formValueText()
{
    const MeterReading &r = m_reading;
    std::string value = r.SignText + r.Digit0 + r.Point0Text + r.DigitA + r.Point1Text;
    if (r.DigitB == "@")
        value += "L" + r.Point2Text; // the overload leaves the last digit out
    else
        value += r.DigitB + r.Point2Text + r.DigitC;
    m_reading.ValueText = std::move(value);
}

bool FrameDecoder::formCount()
{
    MeterReading &r = m_reading;
    const std::string overload = r.SignText + r.DigitA + r.DigitB;
    if (overload == "0@" || overload == "-0@") {
        r.Nval = 0;
        return true;
    }
    const std::string digits = r.SignText + r.Digit0 + r.DigitA + r.DigitB + r.DigitC;
    const auto count = parseInteger(digits);
    if (!count)
        return fail(13, "count: " + quoted(digits) + " is not a decimal integer");
    r.Nval = static_cast<float>(*count);
    return true;
}

bool FrameDecoder::readRangeMode()
{
    const auto flag = signedByte(frame::rangeModeByte, 14, "range mode");
    if (!flag)
        return false;
    m_reading.RangeModeText = *flag == 1 ? "AUTO" : "";
    return true;
}

bool FrameDecoder::decodeWaveform()
{
    const auto offset = signedByte(frame::waveformOffsetByte, 16, "waveform offset");
    if (!offset)
        return false;
    for (int i = 0; i < MeterReading::waveformLength; ++i) {
        const std::size_t first = frame::waveformByte + 2 * static_cast<std::size_t>(i);
        const auto a = signedByte(first, 16, "waveform sample");
        if (!a)
            return false;
        const auto b = signedByte(first + 1, 16, "waveform sample");
        if (!b)
            return false;
        // The sample is the value of the pair farther from zero; on a tie the second.
        const int sample = *a * *a > *b * *b ? *a : *b;
        m_reading.WaveformSamples[static_cast<std::size_t>(i)] = sample + *offset;
    }
    return true;
}

std::optional<DecodeError> decodeFrame(std::string_view frameText, MeterReading &reading,
                                       const std::string &decimalSeparator, FullScaleListener *listener)
{
    FrameDecoder d(frameText, reading);
    d.setDecimalSeparator(decimalSeparator);
    if (!d.findPointMode() || !d.placeDigits() || !d.takeSign())
        return d.error();
    d.mapLetters();
    if (!d.startUnit())
        return d.error();
    if (d.isComplete() && !d.decodeFunction(listener))
        return d.error();
    d.finalPointTexts();
    d.formValueText();
    if (!d.formCount() || !d.readRangeMode())
        return d.error();
    if (d.isLongFrame() && !d.decodeWaveform())
        return d.error();
    return std::nullopt;
}

} // namespace tolmar
