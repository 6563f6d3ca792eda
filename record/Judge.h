#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tolmar {

class Locale;
class Prompts;
class Timer;
struct MeterReading;

// Colours of the judge panel: the system's info colour while nothing has
// been judged, green (0, 128, 0) for a pass, red (255, 0, 0) for a fail.
enum class JudgeColour { Info, Pass, Fail };

// What the judge panel Panel6 shows.
struct JudgeState {
    std::string T1HI = "4000";
    std::string T1LO = "-4000";
    std::string T1VALUE = "0";
    JudgeColour T1VALUEColour = JudgeColour::Info;
    std::string judge; // caption: empty, "Pass" or "Fail"
    JudgeColour judgeColour = JudgeColour::Info;
    JudgeColour Shape1Colour = JudgeColour::Info;
    // The last limit texts that were numbers; empty until the first edit.
    std::string LastValidHigh;
    std::string LastValidLow;
};

// The limit judge: compares each reading's displayed value with the high and
// low limits typed into the judge panel, guards the two limit edits and
// checks every two seconds (on Timer4) that the limits are in order.
class Judge {
public:
    static constexpr const char *T1_HICaption = "Set High Limit:";
    static constexpr const char *T1_LOCaption = "Set Low Limit:";
    static constexpr const char *T1_ValueCaption = "Measure Value:";
    static constexpr const char *limitHint = "Please enter a number here.";
    static constexpr const char *inputError = "Numerical input errors";
    static constexpr const char *orderError = "The upper limit must be greater than the lower limit!";
    // What a failed conversion yields, so this number is never a limit.
    static constexpr double notANumber = -999999;

    Judge(Timer &Timer4, Prompts &prompts, const Locale &locale);
    ~Judge();
    Judge(const Judge &) = delete;
    Judge &operator=(const Judge &) = delete;

    const JudgeState &state() const { return m_state; }
    // Called after every change of state(), so the window can paint it.
    std::function<void()> onChanged;

    // The display update's judge step: T1VALUE := ValueText, then Pass or
    // Fail into the panel and reading.JudgeText while both limits are numbers.
    void JudgeReading(MeterReading &reading);

    // The limit edits' change handlers, with the edit's new text.
    void T1HIChange(const std::string &text);
    void T1LOChange(const std::string &text);
    // Key filters: true lets the key through. systeminfomation is the hidden
    // box holding the system-default decimal separator; backspace is U+0008.
    bool T1HIKeyPress(char32_t key, const std::string &systeminfomation) const;
    bool T1LOKeyPress(char32_t key, const std::string &systeminfomation) const;
    // The limit-order check.
    void Timer4Timer();

    // The value of a text that counts as a number with the user's decimal
    // separator: it converts completely and is not -999999.
    std::optional<double> number(std::string_view text) const;

private:
    void limitChange(std::string &edit, std::string &lastValid, const std::string &text);
    void changed();

    Timer &m_timer4;
    Prompts &m_prompts;
    const Locale &m_locale;
    JudgeState m_state;
};

// The value of a text as the judge reads limits and displayed values: it
// converts completely with the decimal separator and is not -999999.
std::optional<double> judgedNumber(std::string_view text, std::string_view decimalSeparator);

// The limit key filter for an edit holding editText.
bool limitKeyAccepted(char32_t key, std::string_view editText, std::string_view systeminfomation);

} // namespace tolmar
