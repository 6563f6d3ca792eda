#include "app/MainForm.h"

#include "platform/Architecture.h"
#include "platform/Clock.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"

#include <cstdio>

namespace tolmar {

MainForm::MainForm(const MainFormPlatform &platform, MainFormView &view)
    : ConTimer(platform.timers, 100, true)
    , Trecord(platform.timers, 1000, true)
    , Timer1(platform.timers, 1000, false)
    , Timer2(platform.timers, 1000, false)
    , timerChange(platform.timers, 1000, false)
    , Timer3(platform.timers, 1000, true)
    , Timer4(platform.timers, 2000, true)
    , m_platform(platform)
    , m_view(view)
{
    Timer3.setOnTimer([this] { Timer3Timer(); });
}

void MainForm::FormCreate()
{
    // Controls that only hold state are never seen.
    m_state.Memo1Visible = false;
    m_state.B2400Visible = false;
    m_state.B4800Visible = false;
    m_state.B9600Visible = false;

    // The limit edits filter keys with the system-default separator; an
    // unreadable locale leaves the box empty.
    m_state.systeminfomation = m_platform.locale.systemDecimalSeparator().value_or("");

    Timer4.setEnabled(false);
    m_state.statusPanels[0] = "Ready ";
    m_state.caption = captionText;
    m_state.caption += architectureSuffix(m_platform.architecture);
    changed();
}

bool MainForm::FormCloseQuery()
{
    const PromptAnswer answer =
        m_platform.prompts.show(PromptIcon::Confirmation, closeQuestion, PromptButtons::YesNo);
    // Only an explicit No keeps the window open.
    return answer != PromptAnswer::No;
}

void MainForm::BitBtn1Click()
{
    const PromptAnswer answer = m_platform.prompts.show(PromptIcon::Information, quitQuestion, PromptButtons::YesNo);
    if (answer == PromptAnswer::Yes)
        m_view.terminateApplication();
}

void MainForm::Timer3Timer()
{
    const LocalDateTime now = m_platform.clock.now();
    m_state.statusPanels[2] = formatStatusClock(now, m_platform.locale.shortDayName(now.dayOfWeek));
    changed();
}

void MainForm::modelClick()
{
    m_state.aboutVisible = true;
    changed();
}

void MainForm::TntBitBtn1Click()
{
    m_state.aboutVisible = false;
    changed();
}

void MainForm::TForm1Close()
{
    TntBitBtn1Click();
}

void MainForm::manualClick()
{
    m_platform.shell.openDocument(m_platform.shell.programDirectory() + "/" + helpFileName);
}

std::string formatStatusClock(const LocalDateTime &t, const std::string &dayName)
{
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d   %02d:%02d:%02d  ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text + dayName + " ";
}

} // namespace tolmar
