// The real main window reading the simulated meter, offscreen, on virtual time.
#include "app/qt/Brevon.h"
#include "app/qt/JudgePanel.h"
#include "meter/qt/LcdWidget.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/UiDispatcher.h"
#include "platform/sim/SimulatedHidPlatform.h"
#include "platform/sim/SimulatedRun.h"
#include "platform/virtual/VirtualTime.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace tolmar {
namespace {

struct LiveWindow {
    LiveWindow()
    {
        window.emplace(MainFormPlatform{time, time, locale, prompts, shell, architecture, sim, ui});
        window->show();
        run.emplace(time, sim, ui);
    }
    ~LiveWindow()
    {
        run.reset();
        window.reset();
    }

    VirtualTime time;
    FixedLocale locale;
    ScriptedPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture{true};
    ManualUiDispatcher ui;
    SimulatedHidPlatform sim;
    std::optional<TFCOMM> window;
    std::optional<SimulatedRun> run;
};

TEST(LiveWindow, AClickOnUsbConnectionShowsLiveReadings)
{
    LiveWindow w;
    TFCOMM &window = *w.window;
    EXPECT_EQ(window.USBCon->text(), "USB Connection");
    QTest::mouseClick(window.USBCon, Qt::LeftButton);
    EXPECT_TRUE(window.USBCon->isChecked());
    EXPECT_EQ(window.USBCon->text(), "USB Disconnect");

    w.run->advance(1500);
    const LcdState first = window.Panel4->state();
    EXPECT_EQ(first, window.core().state().lcd);
    const std::string digits = first[LcdState::LcdD0].caption + first[LcdState::LcdDa].caption
        + first[LcdState::LcdDb].caption + first[LcdState::LcdDc].caption;
    EXPECT_NE(digits, "3999") << "the start-up digits gave way to the meter's";
    EXPECT_EQ(window.Panel6->T1VALUE->text().toStdString(), window.core().reading().ValueText);

    // Limits around nothing the meter shows: every reading fails, lamp red.
    window.Panel6->T1HI->setText("-5000");
    window.core().judge.T1HIChange("-5000");
    w.run->advance(1500);
    EXPECT_EQ(window.core().reading().JudgeText, "Fail");
    EXPECT_EQ(window.Panel6->judge->text(), "Fail");

    const QString output = QStringLiteral(TOLMAR_TEST_OUTPUT);
    QDir().mkpath(output);
    QCoreApplication::processEvents(); // the chart redraws once per turn of the event loop
    EXPECT_TRUE(window.grab().save(output + "/live-window.png"));

    QTest::mouseClick(window.USBCon, Qt::LeftButton);
    EXPECT_FALSE(window.USBCon->isChecked());
    EXPECT_EQ(window.USBCon->text(), "USB Connection");
    EXPECT_TRUE(w.prompts.shown.size() <= 1) << "only the limit-order check may have spoken";
}

} // namespace
} // namespace tolmar
