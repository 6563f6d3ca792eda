#pragma once

#include "app/MainForm.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/posix/PosixLocale.h"
#include "platform/virtual/VirtualTime.h"

#include <memory>
#include <optional>
#include <string>

namespace tolmar::cli {

// The main window's core without a window, for the commands that run the
// program's own report handling. Time stands still unless the command
// advances it.
class HeadlessForm final : private MainFormView {
public:
    // decimalSeparator replaces the locale's when given.
    explicit HeadlessForm(std::optional<std::string> decimalSeparator = std::nullopt);

    MainForm &form() { return m_form; }
    VirtualTime &time() { return m_time; }
    const ScriptedPrompts &prompts() const { return m_prompts; }

private:
    void stateChanged() override {}
    void terminateApplication() override {}

    // The user's locale, or a fixed separator over it.
    class SeparatorLocale final : public Locale {
    public:
        explicit SeparatorLocale(std::optional<std::string> separator) : m_separator(std::move(separator)) {}
        std::string decimalSeparator() const override
        {
            return m_separator ? *m_separator : m_posix.decimalSeparator();
        }
        std::optional<std::string> systemDecimalSeparator() const override { return m_posix.systemDecimalSeparator(); }
        std::string shortDayName(int day) const override { return m_posix.shortDayName(day); }
        std::string formatLongTime(const TimeOfDay &t) const override { return m_posix.formatLongTime(t); }
        std::optional<TimeOfDay> parseLongTime(std::string_view text) const override
        {
            return m_posix.parseLongTime(text);
        }

    private:
        std::optional<std::string> m_separator;
        PosixLocale m_posix;
    };

    VirtualTime m_time;
    SeparatorLocale m_locale;
    ScriptedPrompts m_prompts;
    RecordingShell m_shell;
    HostArchitecture m_architecture;
    MainForm m_form;
};

inline HeadlessForm::HeadlessForm(std::optional<std::string> decimalSeparator)
    : m_locale(std::move(decimalSeparator))
    , m_form(MainFormPlatform{m_time, m_time, m_locale, m_prompts, m_shell, m_architecture}, *this)
{
    m_form.FormCreate();
}

} // namespace tolmar::cli
