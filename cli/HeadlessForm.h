#pragma once

#include "app/MainForm.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/Shell.h"
#include "platform/SystemLocale.h"

#include <memory>
#include <optional>
#include <string>

namespace tolmar::cli {

// The main window's core without a window, for the commands that run the
// program's own report handling.
class HeadlessForm final : private MainFormView {
public:
    // What differs between a replay (virtual time, no HID) and a live run.
    struct Setup {
        TimerEngine &timers;
        Clock &clock;
        Prompts &prompts;
        HidPlatform &hid;
        UiDispatcher &dispatcher;
    };

    // decimalSeparator replaces the locale's when given.
    HeadlessForm(std::optional<std::string> decimalSeparator, const Setup &setup)
        : m_locale(std::move(decimalSeparator))
        , m_form(MainFormPlatform{setup.timers, setup.clock, m_locale, setup.prompts, m_shell, m_architecture,
                                  setup.hid, setup.dispatcher},
                 *this)
    {
        m_form.FormCreate();
    }

    MainForm &form() { return m_form; }

private:
    void stateChanged() override {}
    void terminateApplication() override {}

    // The user's locale, or a fixed separator over it.
    class SeparatorLocale final : public Locale {
    public:
        explicit SeparatorLocale(std::optional<std::string> separator) : m_separator(std::move(separator)) {}
        std::string decimalSeparator() const override
        {
            return m_separator ? *m_separator : m_system->decimalSeparator();
        }
        std::optional<std::string> systemDecimalSeparator() const override { return m_system->systemDecimalSeparator(); }
        std::string shortDayName(int day) const override { return m_system->shortDayName(day); }
        std::string formatLongTime(const TimeOfDay &t) const override { return m_system->formatLongTime(t); }
        std::optional<TimeOfDay> parseLongTime(std::string_view text) const override
        {
            return m_system->parseLongTime(text);
        }

    private:
        std::optional<std::string> m_separator;
        std::unique_ptr<Locale> m_system = makeSystemLocale();
    };

    SeparatorLocale m_locale;
    RecordingShell m_shell;
    HostArchitecture m_architecture;
    MainForm m_form;
};

} // namespace tolmar::cli
