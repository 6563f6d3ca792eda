// The recording bar, the grid, the Record menu and the enlarged chart in the
// real main window, offscreen, on virtual time and scripted prompts.
#include "app/qt/AboutBox.h"
#include "app/qt/Brevon.h"
#include "app/qt/GraphicControlPanel.h"
#include "app/qt/JudgePanel.h"
#include "app/qt/ReadingGrid.h"
#include "app/qt/RecordingPanel.h"
#include "gui/Ink.h"
#include "gui/OffscreenWindow.h"
#include "meter/qt/LcdWidget.h"
#include "chart/qt/QtChartWidget.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tolmar {
namespace {

struct Window : test::OffscreenWindow {
    Window() { window.show(); }
    // Records appended as recording appends them, and told as it tells.
    void record(int count)
    {
        for (int i = 0; i < count; ++i) {
            ReadingRecord r;
            r.No = static_cast<int>(core().cds1.size());
            r.Time = 3600 * 1000;
            r.DCAC = "DC";
            r.Value = "1.000";
            r.Unit = "V";
            r.Auto = "pass";
            core().cds1.append(r);
        }
        core().recording.onChanged();
    }
};

TEST(RecordingWindow, TheRecordingBarHasItsControls)
{
    Window w;
    RecordingPanel *bar = w.window.Panel5;
    EXPECT_EQ(bar->objectName(), "Panel5");
    EXPECT_EQ(bar->geometry(), QRect(8, 184, 337, 33));

    const struct { const char *name; const char *caption; const char *hint; } controls[] = {
        {"RepeatSet", "Repeat", "Repeage Record"},
        {"RecordSI", "Sampling Interval           'S", "Set the data logging interval."},
        {"RecordSITime", "1", ""},
        {"RecordNew", "", "Close Data"},
        {"OpenDataFiles", "", "Open old data files"},
        {"saveas", "", "Save data files"},
        {"BtPrint", "", "Print"},
    };
    for (const auto &c : controls) {
        auto *control = bar->findChild<QWidget *>(c.name);
        ASSERT_NE(control, nullptr) << c.name;
        EXPECT_TRUE(control->isVisible()) << c.name;
        EXPECT_TRUE(control->isEnabled()) << c.name;
        EXPECT_EQ(control->toolTip(), c.hint) << c.name;
        EXPECT_TRUE(bar->rect().contains(control->geometry())) << c.name << " inside the bar";
        if (auto *box = qobject_cast<QCheckBox *>(control)) {
            EXPECT_EQ(box->text(), c.caption) << c.name;
        } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            EXPECT_EQ(edit->text(), c.caption) << c.name;
        } else {
            auto *button = qobject_cast<QToolButton *>(control);
            ASSERT_NE(button, nullptr) << c.name;
            EXPECT_FALSE(button->icon().pixmap(16, 16).isNull()) << c.name;
        }
    }
    EXPECT_FALSE(bar->RepeatSet->isChecked());
    EXPECT_TRUE(bar->RecordSI->isChecked());

    // Left to right, none over another but the interval, which lies over the
    // run of spaces in the "Sampling Interval" caption.
    const QWidget *order[] = {bar->RepeatSet, bar->RecordSI, bar->RecordNew, bar->OpenDataFiles, bar->saveas,
                              bar->BtPrint};
    for (std::size_t i = 1; i < std::size(order); ++i)
        EXPECT_LT(order[i - 1]->geometry().right(), order[i]->x()) << order[i]->objectName().toStdString();
    EXPECT_TRUE(bar->RecordSI->geometry().contains(QPoint(bar->RecordSITime->x(), bar->RecordSI->geometry().center().y())));
    EXPECT_LT(bar->RecordSITime->geometry().right(), bar->RecordSI->geometry().right());
    EXPECT_GE(bar->RecordSITime->width(), 20);
}

TEST(RecordingWindow, CheckBoxesAndTheIntervalReachTheCore)
{
    Window w;
    RecordingPanel *bar = w.window.Panel5;
    const Recording &recording = w.core().recording;

    QTest::mouseClick(bar->RepeatSet, Qt::LeftButton);
    EXPECT_TRUE(recording.state().RepeatSetChecked);
    QTest::mouseClick(bar->RecordSI, Qt::LeftButton, {}, QPoint(6, bar->RecordSI->height() / 2));
    EXPECT_FALSE(recording.state().RecordSIChecked);
    EXPECT_FALSE(bar->RecordSI->isChecked());

    // Only digits are typed in.
    bar->RecordSITime->selectAll();
    QTest::keyClicks(bar->RecordSITime, "2a5.");
    EXPECT_EQ(bar->RecordSITime->text(), "25");
    EXPECT_EQ(recording.state().RecordSITime, "25");
    EXPECT_TRUE(recording.state().RecordSITimeValid);
    const QColor normalBase = bar->RecordSITime->palette().color(QPalette::Base);
    EXPECT_EQ(bar->RecordSITime->toolTip(), "");

    // Emptied, it records nothing, and says so.
    QTest::keyClick(bar->RecordSITime, Qt::Key_Backspace);
    QTest::keyClick(bar->RecordSITime, Qt::Key_Backspace);
    EXPECT_EQ(recording.state().RecordSITime, "");
    EXPECT_FALSE(recording.state().RecordSITimeValid);
    EXPECT_NE(bar->RecordSITime->palette().color(QPalette::Base), normalBase);
    EXPECT_EQ(bar->RecordSITime->toolTip().toStdString(), RecordingPanel::intervalProblemHint);

    QTest::keyClicks(bar->RecordSITime, "3");
    EXPECT_TRUE(recording.state().RecordSITimeValid);
    EXPECT_EQ(bar->RecordSITime->palette().color(QPalette::Base), normalBase);
    EXPECT_EQ(bar->RecordSITime->toolTip(), "");
}

TEST(RecordingWindow, TheGridShowsTheTableAndFollowsIt)
{
    Window w;
    ReadingGrid *grid = w.window.DBGrid1;
    EXPECT_EQ(grid->geometry(), QRect(11, 216, 334, 321));
    w.record(100);
    EXPECT_TRUE(grid->following());
    EXPECT_EQ(grid->firstVisibleRow(), 100u - static_cast<std::size_t>(grid->visibleRowCount()));
    EXPECT_EQ(grid->cellText(99, 0), "99");
    EXPECT_EQ(grid->cellText(99, 1), "01:00:00");
}

// Both clear buttons ask first; only Yes empties the table.
TEST(RecordingWindow, CloseDataAndTheChartsClearAskAndEmptyTheTable)
{
    const struct { const char *name; QAbstractButton *(*button)(TFCOMM &); } buttons[] = {
        {"RecordNew", [](TFCOMM &w) -> QAbstractButton * { return w.Panel5->RecordNew; }},
        {"btnNew", [](TFCOMM &w) -> QAbstractButton * { return w.GroupBox1->btnNew; }},
    };
    for (const auto &b : buttons) {
        Window w;
        w.record(50);
        w.prompts.answers = {PromptAnswer::No};
        QTest::mouseClick(b.button(w.window), Qt::LeftButton);
        ASSERT_EQ(w.prompts.shown.size(), 1u) << b.name;
        EXPECT_EQ(w.prompts.shown[0].text, Recording::clearQuestion) << b.name;
        EXPECT_EQ(w.prompts.shown[0].buttons, PromptButtons::YesNo) << b.name;
        EXPECT_EQ(w.core().cds1.size(), 50u) << b.name;

        w.prompts.answers = {PromptAnswer::Yes};
        QTest::mouseClick(b.button(w.window), Qt::LeftButton);
        EXPECT_EQ(w.prompts.shown.size(), 2u) << b.name;
        EXPECT_TRUE(w.core().cds1.empty()) << b.name;
        EXPECT_EQ(w.window.DBGrid1->firstVisibleRow(), 0u) << b.name;
        EXPECT_EQ(w.window.DBGrid1->verticalScrollBar()->maximum(), 0) << b.name;
    }
}

// The file buttons open their dialogs (tests/gui/DataFilesWindowTest.cpp
// goes on from there); cancelled, nothing changes. Print does nothing yet.
TEST(RecordingWindow, CancelledFileDialogsAndPrintChangeNothing)
{
    Window w;
    w.record(5);
    for (QToolButton *button : {w.window.Panel5->OpenDataFiles, w.window.Panel5->saveas, w.window.Panel5->BtPrint})
        QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(w.fileDialogs.opened.size(), 2u);
    EXPECT_EQ(w.fileDialogs.opened[0].kind, FileDialog::Kind::Open);
    EXPECT_EQ(w.fileDialogs.opened[1].kind, FileDialog::Kind::Save);
    EXPECT_TRUE(w.prompts.shown.empty());
    EXPECT_EQ(w.core().cds1.size(), 5u);
}

TEST(RecordingWindow, TheRecordMenuMovesTheCheckMark)
{
    for (std::size_t item = 0; item < 6; ++item) {
        Window w;
        w.window.recordLimitItems[item]->trigger();
        EXPECT_EQ(w.core().recording.RecordLimit, Recording::recordLimits[item]) << item;
        for (std::size_t i = 0; i < 6; ++i)
            EXPECT_EQ(w.window.recordLimitItems[i]->isChecked(), i == item) << item << " " << i;
    }
}

TEST(RecordingWindow, NoMaximiseButtons)
{
    Window w;
    const Qt::WindowFlags main = w.window.windowFlags();
    EXPECT_FALSE(main & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(main & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w.window.minimumSize(), w.window.maximumSize());

    TForm1 *about = w.window.Form1;
    const Qt::WindowFlags dialog = about->windowFlags();
    EXPECT_EQ(dialog & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_FALSE(dialog & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(dialog & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(dialog & Qt::WindowCloseButtonHint);
    EXPECT_EQ(about->minimumSize(), about->maximumSize());
}

TEST(RecordingWindow, TheEnlargedChartCoversThePanels)
{
    Window w;
    QWidget *panel1 = w.window.Panel1;
    QTest::mouseClick(w.window.GroupBox1->btnfly, Qt::LeftButton);
    ASSERT_EQ(w.window.GroupBox1->geometry(), QRect(8, 5, 857, 68));

    const QObjectList stack = panel1->children(); // bottom to top
    QWidget *const covers[] = {w.window.GroupBox1, w.window.Chart1};
    QWidget *const covered[] = {w.window.Panel4, w.window.Panel6, w.window.USBCon, w.window.Panel5, w.window.DBGrid1};
    for (QWidget *cover : covers) {
        EXPECT_TRUE(cover->autoFillBackground()) << cover->objectName().toStdString();
        EXPECT_EQ(cover->palette().color(QPalette::Window), QColor(Qt::white)) << cover->objectName().toStdString();
        for (QWidget *under : covered)
            EXPECT_GT(stack.indexOf(cover), stack.indexOf(under))
                << cover->objectName().toStdString() << " over " << under->objectName().toStdString();
    }

    // Below the box's controls lies the LCD: none of its grey or its
    // segments may show through.
    const QImage image = panel1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int showingThrough = 0;
    for (int y = 55; y < 70; ++y)
        for (int x = 20; x < 300; ++x)
            showingThrough += qGray(image.pixel(x, y)) < 240;
    EXPECT_EQ(showingThrough, 0);

    // Back in place the box lets the judge panel's bottom line show.
    QTest::mouseClick(w.window.GroupBox1->btnChartZoomOut, Qt::LeftButton);
    EXPECT_EQ(w.window.GroupBox1->geometry(), QRect(352, 160, 513, 57));
    EXPECT_FALSE(w.window.GroupBox1->autoFillBackground());
    EXPECT_TRUE(w.window.Panel4->isVisible());
}

} // namespace
} // namespace tolmar
