// The real main window, offscreen, on virtual time and scripted prompts.
#include "app/qt/AboutBox.h"
#include "app/qt/GraphicControlPanel.h"
#include "app/qt/Brevon.h"
#include "app/qt/StatusBar.h"
#include "gui/OffscreenWindow.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/NoHidPlatform.h"
#include "platform/UiDispatcher.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/virtual/VirtualTime.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace tolmar {
namespace {

using Window = test::OffscreenWindow;

TEST(MainWindow, CaptionStatusBarAndClock)
{
    Window w;
    w.locale.dayNames[2] = "Di";
    w.window.show();
    EXPECT_EQ(w.window.windowTitle(), "Tolmar Interface Program Ver 3.01(x64)");
    EXPECT_EQ(w.window.TntStatusBar1->panelText(0), "Ready ");
    EXPECT_EQ(w.window.TntStatusBar1->panelText(2), "");
    w.time.advance(1000);
    EXPECT_EQ(w.window.TntStatusBar1->panelText(2), "2024-03-05   14:07:09  Di ");

    const struct { int left, width; Qt::Alignment align; } panels[] = {
        {0, 200, Qt::AlignLeft}, {200, 300, Qt::AlignHCenter}, {500, 374, Qt::AlignRight}};
    for (int i = 0; i < 3; ++i) {
        const QLabel *label = w.window.TntStatusBar1->panel(i);
        EXPECT_EQ(label->x(), panels[i].left) << i;
        EXPECT_EQ(label->width(), panels[i].width) << i;
        EXPECT_TRUE(label->alignment() & panels[i].align) << i;
    }
}

TEST(MainWindow, FixedSizeAndRegions)
{
    Window w;
    w.window.show();
    EXPECT_EQ(w.window.centralWidget()->size(), QSize(876, 563));
    EXPECT_EQ(w.window.minimumSize(), w.window.maximumSize()) << "not resizable";
    EXPECT_FALSE(w.window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w.window.centralWidget()->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(w.window.Panel1->font().pixelSize(), 11);
    EXPECT_TRUE(w.window.Panel1->font().bold());

    const struct { const char *name; QRect rect; } regions[] = {
        {"USBCon", {27, 6, 150, 22}},      {"BitBtn1", {688, 3, 121, 25}},   {"Panel4", {10, 31, 335, 154}},
        {"Panel5", {8, 184, 337, 33}},     {"DBGrid1", {11, 216, 334, 321}}, {"Panel6", {350, 34, 515, 127}},
        {"GroupBox1", {352, 160, 513, 57}}, {"Chart1", {352, 216, 513, 326}}, {"TntStatusBar1", {1, 538, 874, 24}},
    };
    for (const auto &r : regions) {
        const QWidget *widget = w.window.Panel1->findChild<QWidget *>(r.name);
        ASSERT_NE(widget, nullptr) << r.name;
        EXPECT_EQ(widget->geometry(), r.rect) << r.name;
        EXPECT_TRUE(widget->isVisible()) << r.name;
    }
    EXPECT_EQ(w.window.USBCon->text(), "USB Connection");
    EXPECT_EQ(w.window.USBCon->toolTip(), "USB Connect");
    EXPECT_EQ(w.window.BitBtn1->text(), "&QUIT");
    EXPECT_EQ(w.window.BitBtn1->font().pixelSize(), 14);
    EXPECT_TRUE(w.window.BitBtn1->font().bold() && w.window.BitBtn1->font().italic());
    EXPECT_EQ(w.window.GroupBox1->title(), "Graphic Control");
}

TEST(MainWindow, Menus)
{
    Window w;
    w.window.show();
    const QList<QAction *> top = w.window.menuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[0]->text(), "Connect");
    EXPECT_FALSE(top[0]->isVisible());
    EXPECT_EQ(top[1]->text(), "&Record");
    EXPECT_EQ(top[2]->text(), "&View") << "the addition's menu, between Record and Help";
    EXPECT_EQ(top[3]->text(), "&Help");

    EXPECT_EQ(w.window.START->text(), "START");
    EXPECT_EQ(w.window.START->shortcut(), QKeySequence("Ctrl+A"));
    EXPECT_TRUE(w.window.actions().contains(w.window.START)) << "Ctrl+A works with the menu hidden";
    EXPECT_EQ(w.window.STOP->text(), "STOP");

    const QList<QAction *> record = w.window.Record->actions();
    ASSERT_EQ(record.size(), 7);
    EXPECT_TRUE(record[0]->isSeparator());
    const char *texts[] = {"1000", "5000", "10000", "50000", "100000", "limitless"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(record[i + 1]->text(), texts[i]);
        EXPECT_EQ(record[i + 1]->isChecked(), i == 2) << texts[i];
    }
    const QList<QAction *> help = w.window.Help->actions();
    ASSERT_EQ(help.size(), 2);
    EXPECT_EQ(help[0]->text(), "About");
    EXPECT_EQ(help[1]->text(), "Software Help");

    // View opens each of its windows once; chosen again, the same one comes to the front.
    const QList<QAction *> all = w.window.View->actions();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[2]->menu(), w.window.ViewCable) << "then the Cable submenu";
    const QList<QAction *> view = all.mid(0, 2);
    EXPECT_EQ(view[0]->text(), "Statistics");
    EXPECT_EQ(view[1]->text(), "Trend");
    for (QAction *item : view) {
        const auto windowsTitled = [&] {
            int n = 0;
            for (QWidget *top : QApplication::topLevelWidgets())
                n += top->isVisible() && top->windowTitle() == item->text();
            return n;
        };
        item->trigger();
        item->trigger();
        EXPECT_EQ(windowsTitled(), 1) << item->text().toStdString();
    }
}

TEST(MainWindow, StartUpStateOfTheCore)
{
    Window w;
    const MainForm &core = w.window.core();
    EXPECT_FALSE(core.state().Memo1Visible || core.state().B2400Visible || core.state().B4800Visible
                 || core.state().B9600Visible);
    EXPECT_TRUE(core.ConTimer.enabled() && core.Trecord.enabled() && core.Timer3.enabled());
    EXPECT_FALSE(core.Timer1.enabled() || core.Timer2.enabled() || core.timerChange.enabled()
                 || core.Timer4.enabled());
}

TEST(MainWindow, QuitButtonAsksAndEndsOnYes)
{
    Window w;
    w.window.show();
    w.prompts.answers = {PromptAnswer::No};
    QTest::mouseClick(w.window.BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(w.window.terminated());
    EXPECT_TRUE(w.window.isVisible());

    w.prompts.answers = {PromptAnswer::Yes};
    QTest::mouseClick(w.window.BitBtn1, Qt::LeftButton);
    EXPECT_TRUE(w.window.terminated());
    ASSERT_EQ(w.prompts.shown.size(), 2u);
    EXPECT_EQ(w.prompts.shown[1].text, "Are you sure you want to end Tolmar program?");
    EXPECT_EQ(w.prompts.shown[1].icon, PromptIcon::Information);
    // Ending the program asks nothing more, even if the window is closed now.
    EXPECT_TRUE(w.window.close());
    EXPECT_EQ(w.prompts.shown.size(), 2u);
}

TEST(MainWindow, CloseBoxAsksItsOwnQuestion)
{
    Window w;
    w.window.show();
    w.prompts.answers = {PromptAnswer::No};
    EXPECT_FALSE(w.window.close());
    EXPECT_TRUE(w.window.isVisible());
    w.prompts.answers = {PromptAnswer::Yes};
    EXPECT_TRUE(w.window.close());
    EXPECT_FALSE(w.window.isVisible());
    ASSERT_EQ(w.prompts.shown.size(), 2u);
    EXPECT_EQ(w.prompts.shown[0].text, "You are ready to end  Dravik  application?");
    EXPECT_EQ(w.prompts.shown[0].icon, PromptIcon::Confirmation);
    EXPECT_EQ(w.prompts.shown[0].buttons, PromptButtons::YesNo);
}

TEST(MainWindow, AboutBoxIsOneWindowShownWithoutBlocking)
{
    Window w;
    w.window.show();
    TForm1 *about = w.window.Form1;
    EXPECT_FALSE(about->isVisible());
    w.window.model->trigger();
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    w.window.model->trigger();
    EXPECT_EQ(w.window.findChildren<TForm1 *>().size(), 1);
    EXPECT_EQ(about->windowTitle(), "Tolmar");
    EXPECT_EQ(about->size(), QSize(437, 218));
    EXPECT_EQ(about->TntMemo1->geometry(), QRect(128, 64, 177, 65));
    EXPECT_EQ(about->TntMemo1->toPlainText(),
              "                2011-8-29\n\n              version : 3.0.1\n\n  ");
    EXPECT_EQ(about->TntBitBtn1->text(), "QUIT");
    EXPECT_EQ(about->TntBitBtn1->geometry(), QRect(200, 160, 81, 25));

    QTest::mouseClick(about->TntBitBtn1, Qt::LeftButton);
    EXPECT_FALSE(about->isVisible());
    w.window.model->trigger();
    EXPECT_TRUE(about->isVisible());
    about->close(); // the title bar's close box
    EXPECT_FALSE(about->isVisible());
    EXPECT_FALSE(w.window.core().state().aboutVisible);
}

TEST(MainWindow, SoftwareHelpOpensTheHelpFileBesideTheProgram)
{
    Window w;
    w.window.manual->trigger();
    EXPECT_EQ(w.shell.opened, (std::vector<std::string>{"/opt/tolmar/Dravik.chm"}));
    EXPECT_TRUE(w.prompts.shown.empty());
}

} // namespace
} // namespace tolmar
