#include "record/Judge.h"

#include "meter/MeterReading.h"
#include "platform/Locale.h"
#include "platform/NumberText.h"
#include "platform/Prompts.h"
#include "platform/TextEncoding.h"
#include "platform/Timers.h"

#include <algorithm>

namespace tolmar {

namespace {

// A code point as UTF-8.
std::string utf8(char32_t c)
{
    std::string out;
    appendUtf8(out, c);
    return out;
}

// The first character (one UTF-8 sequence) of a text with blanks and
// control characters trimmed from both ends.
std::string_view firstCharacter(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    if (text.empty())
        return text;
    // A byte that starts no whole sequence is a character of its own.
    return text.substr(0, std::max<std::size_t>(1, utf8SequenceAt(text, 0)));
}

bool isDigit(char32_t key) { return key >= U'0' && key <= U'9'; }

} // namespace

bool limitKeyAccepted(char32_t key, std::string_view editText, std::string_view systeminfomation)
{
    const std::string_view separator = firstCharacter(systeminfomation);
    const std::string keyText = utf8(key);
    // One separator per number.
    if (!separator.empty() && keyText == separator && editText.find(separator) != std::string_view::npos)
        return false;
    // "'" and "`" pass as they always have; the change check rejects them.
    const bool common = key == U'\b' || key == U'\'' || key == U'+' || key == U'-' || key == U'`' || isDigit(key);
    if (separator == ".")
        return common || key == U'.';
    if (separator == ",")
        return common || key == U',';
    return true;
}

Judge::Judge(Timer &Timer4, Prompts &prompts, const Locale &locale)
    : m_timer4(Timer4), m_prompts(prompts), m_locale(locale)
{
    m_timer4.setOnTimer([this] { Timer4Timer(); });
}

Judge::~Judge()
{
    // The timer belongs to the main window and may outlive us.
    m_timer4.setOnTimer(nullptr);
}

void Judge::changed()
{
    if (onChanged)
        onChanged();
}

std::optional<double> judgedNumber(std::string_view text, std::string_view decimalSeparator)
{
    const auto value = parseFloat(text, decimalSeparator);
    if (!value || *value == Judge::notANumber)
        return std::nullopt;
    return value;
}

std::optional<double> Judge::number(std::string_view text) const
{
    return judgedNumber(text, m_locale.decimalSeparator());
}

void Judge::JudgeReading(MeterReading &reading)
{
    m_state.T1VALUE = reading.ValueText;
    const auto high = number(m_state.T1HI);
    const auto low = number(m_state.T1LO);
    if (!high || !low) {
        // Judging waits for valid limits; records keep the last JudgeText.
        changed();
        return;
    }
    // Displayed numbers against displayed limits: 1.500 V and 1500 mV are
    // different values here. An overload ("L" in the text) always fails.
    const auto value = number(reading.ValueText);
    const bool pass = value && !(*value < *low) && !(*value > *high);
    const JudgeColour colour = pass ? JudgeColour::Pass : JudgeColour::Fail;
    m_state.T1VALUEColour = colour;
    m_state.Shape1Colour = colour;
    m_state.judgeColour = colour;
    m_state.judge = pass ? "Pass" : "Fail";
    reading.JudgeText = pass ? "pass" : "Fail";
    changed();
}

void Judge::limitChange(std::string &edit, std::string &lastValid, const std::string &text)
{
    edit = text;
    m_timer4.setEnabled(true);
    if (!number(edit)) {
        m_prompts.show(PromptIcon::Error, inputError, PromptButtons::Ok);
        edit = lastValid;
    }
    lastValid = edit;
    changed();
}

void Judge::T1HIChange(const std::string &text)
{
    limitChange(m_state.T1HI, m_state.LastValidHigh, text);
}

void Judge::T1LOChange(const std::string &text)
{
    limitChange(m_state.T1LO, m_state.LastValidLow, text);
}

bool Judge::T1HIKeyPress(char32_t key, const std::string &systeminfomation) const
{
    return limitKeyAccepted(key, m_state.T1HI, systeminfomation);
}

bool Judge::T1LOKeyPress(char32_t key, const std::string &systeminfomation) const
{
    return limitKeyAccepted(key, m_state.T1LO, systeminfomation);
}

void Judge::Timer4Timer()
{
    const auto high = number(m_state.T1HI);
    const auto low = number(m_state.T1LO);
    if (!high || !low || !(*high < *low))
        return;
    // Stopped before the box: the message is shown once, not every 2 s.
    m_timer4.setEnabled(false);
    m_prompts.show(PromptIcon::Error, orderError, PromptButtons::Ok);
}

} // namespace tolmar
