#include "meter/LcdDisplay.h"

#include "meter/FrameDecoder.h"
#include "meter/ReadingFrame.h"
#include "platform/NumberText.h"

#include <climits>
#include <cmath>

namespace tolmar {

namespace {
using L = LcdState;

// Shows the dot of a point mode (0, 1, 2) and hides the others; 4 shows none.
void showPointDot(LcdState &lcd, int pointMode)
{
    for (int dot = 0; dot < L::DotCount; ++dot)
        lcd.dots[static_cast<std::size_t>(dot)] = dot == pointMode;
}

// Elements of the function table for a decoded function code.
void showFunction(LcdState &lcd, int code, const std::string &prefix, const MeterReading &r)
{
    const bool dc = r.FunctionText == "DC";
    switch (code) {
    case 0:
    case 1:
        lcd.show(code == 0 ? L::LcdV : L::LCDA);
        if (code == 1 && prefix == "A")
            lcd.show(L::LCDu);
        lcd.show(L::LcdDc1, dc);
        lcd.show(L::LcdAC, !dc);
        break;
    case 2:
        lcd.show(L::LcdAuto); // the meter ranges frequency automatically
        if (r.FunctionText == "Duty")
            lcd.show(L::LCDBF);
        else
            lcd.show(L::LCDHz);
        break;
    case 3:
        lcd.show(L::LCDF);
        lcd.show(L::LcdAuto);
        break;
    case 4:
        lcd.show(L::LCDohm);
        break;
    case 5:
        lcd.show(L::LCDFm);
        lcd.show(L::LCDohm);
        break;
    case 6:
        lcd.show(L::LCDDI);
        lcd.show(L::LcdV);
        break;
    default:
        break;
    }
}

// Each time the full-scale rule fires: the bar's maximum, and for a short
// frame the chart's vertical range.
class FullScaleFollower final : public FullScaleListener {
public:
    FullScaleFollower(LcdState &lcd, LcdDisplayPeers &peers, bool moveChart)
        : m_lcd(lcd), m_peers(peers), m_moveChart(moveChart)
    {
    }
    void fullScaleSet(int fullScale) override
    {
        m_lcd.barMaximum = fullScale;
        if (m_moveChart) {
            m_peers.SetMaxValue(fullScale);
            m_peers.SetMinValue(-fullScale);
        }
    }

private:
    LcdState &m_lcd;
    LcdDisplayPeers &m_peers;
    bool m_moveChart;
};

int barPositionOf(double value)
{
    const double whole = std::fabs(std::trunc(value));
    return whole >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(whole);
}
} // namespace

LcdDisplay::LcdDisplay(MeterReading &reading, LcdState &lcd, const Locale &locale, LcdDisplayPeers &peers)
    : m_reading(reading), m_lcd(lcd), m_locale(locale), m_peers(peers)
{
}

std::optional<DecodeError> LcdDisplay::run(std::string_view frameText)
{
    MeterReading &r = m_reading;
    LcdState &lcd = m_lcd;
    FrameDecoder decoder(frameText, r);

    // 1-2: the locale, the activity lamp lit, the link timer's divider reset.
    decoder.readLocale(m_locale);
    lcd.CONok = true;
    lcd.CONokN = false;
    m_peers.resetLinkTickDivider();
    lcd.hide(L::LcdDc1);

    // 3: the recording and auto-range annunciators straight from their flag bytes.
    lcd.show(L::LCDRec, frame::byteText(frameText, frame::recordFlagByte) == "01");
    lcd.show(L::LcdAuto, frame::byteText(frameText, frame::rangeModeByte) == "01");

    // 4-7: point, digits, sign, the letter L.
    if (!decoder.findPointMode() || !decoder.placeDigits())
        return decoder.error();
    showPointDot(lcd, r.PointMode);
    if (!decoder.takeSign())
        return decoder.error();
    lcd.show(L::LcdFH, r.SignText == "-");
    decoder.mapLetters();
    lcd[L::LcdD0].caption = r.Digit0;
    lcd[L::LcdDa].caption = r.DigitA;
    lcd[L::LcdDb].caption = r.DigitB;
    lcd[L::LcdDc].caption = r.DigitC;

    // 8: every unit and function annunciator off.
    r.FunctionText.clear();
    r.RangeModeText.clear();
    r.UnitText.clear();
    for (const L::Label label : {L::LcdV, L::Lcdm, L::LCDohm, L::LCDk, L::LCDM1, L::LCDF, L::LCDn, L::LCDu, L::LCDA,
                                 L::LCDHz, L::LCDBF, L::LCDFm, L::LCDDI, L::LcdAC})
        lcd.hide(label);

    // 9: the prefix.
    if (!decoder.startUnit())
        return decoder.error();
    const std::string prefix = r.UnitText;
    if (prefix == "m")
        lcd.show(L::Lcdm);
    else if (prefix == "K" || prefix == "k")
        lcd.show(L::LCDk);
    else if (prefix == "M")
        lcd.show(L::LCDM1);
    else if (prefix == "n")
        lcd.show(L::LCDn);
    else if (prefix == "u")
        lcd.show(L::LCDu);

    // 10-11: function, unit and full scale; a long frame's chart shows the
    // waveform's fixed range instead of the full scale.
    if (decoder.isComplete()) {
        const bool longFrame = frameText.size() == frame::longFrameLength;
        FullScaleFollower follower(lcd, m_peers, !longFrame);
        if (!decoder.decodeFunction(&follower))
            return decoder.error();
        showFunction(lcd, decoder.functionCode(), prefix, r);
        if (longFrame) {
            m_peers.SetMaxValue(60);
            m_peers.SetMinValue(-60);
        }
    }

    // 12: the final point dot and texts.
    showPointDot(lcd, r.PointMode);
    decoder.finalPointTexts();
    if (r.DigitA + r.DigitB == "@0")
        lcd.dots[L::LcdP2] = false;

    // 13: the value and the count. 14: the range mode and the judge.
    decoder.formValueText();
    if (!decoder.formCount() || !decoder.readRangeMode())
        return decoder.error();
    if (!m_peers.JudgeReading())
        return DecodeError{14, "judge: the limits or the value do not convert"};

    // 15: the bar: full on overload, else the whole part of the shown value.
    if (r.DigitA + r.DigitB == "0@") {
        lcd.barPosition = lcd.barMaximum;
    } else {
        const std::string shown = m_peers.T1VALUE();
        const auto value = parseFloat(shown, decoder.decimalSeparator());
        if (!value)
            return DecodeError{15, "bar graph: the value \"" + shown + "\" is not a number"};
        lcd.barPosition = barPositionOf(*value);
    }

    // 16: recording, and the waveform of a long frame.
    if (frameText.size() == frame::longFrameLength) {
        m_peers.showWaveformValue(r.ValueText, r.UnitText);
        m_peers.INDataToTable();
        if (!decoder.decodeWaveform())
            return decoder.error();
        m_peers.showWaveformPage(r.WaveformSamples);
    } else {
        m_peers.showPageControls();
        m_peers.INDataToTable1();
    }

    // 17: frames in a row make the two lamp pictures alternate.
    lcd.CONok = lcd.ActivityPhase;
    lcd.ActivityPhase = !lcd.ActivityPhase;
    lcd.CONokN = !lcd.CONok;
    return std::nullopt;
}

} // namespace tolmar
