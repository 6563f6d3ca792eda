// The file buttons of the recording bar in the real main window, offscreen:
// scripted file dialogs, and file work at once, deferred, or on the real
// workers.
#include "app/qt/Brevon.h"
#include "app/qt/ReadingGrid.h"
#include "app/qt/RecordingPanel.h"
#include "gui/OffscreenWindow.h"
#include "platform/qt/QtBackgroundWork.h"

#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace tolmar {
namespace {

struct Window : test::OffscreenWindow {
    explicit Window(BackgroundWork *fileWork = nullptr) : OffscreenWindow(fileWork) { window.show(); }
    // Records appended as recording appends them, and told as it tells.
    void record(int count)
    {
        for (int i = 0; i < count; ++i) {
            ReadingRecord r;
            r.No = static_cast<int>(core().cds1.size());
            r.Time = 3600 * 1000 + 250;
            r.DCAC = "DC";
            r.Value = "1.000";
            r.Unit = "V";
            r.Auto = "pass";
            core().cds1.append(r);
        }
        core().recording.onChanged();
    }
    QToolButton *saveas() { return window.Panel5->saveas; }
    QToolButton *open() { return window.Panel5->OpenDataFiles; }
};

std::string pathIn(const QTemporaryDir &dir, const char *name)
{
    return QDir(dir.path()).filePath(name).toStdString();
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

constexpr const char *packetHead =
    "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"No\" fieldtype=\"i4\"/><FIELD attrname=\"Time\" fieldtype=\"time\"/>"
    "<FIELD attrname=\"DC/AC\" fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"Value\" fieldtype=\"string\" "
    "WIDTH=\"20\"/><FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"Auto\" "
    "fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"Nval\" fieldtype=\"i4\"/></FIELDS><PARAMS/></METADATA>"
    "<ROWDATA>";
constexpr const char *packetTail = "</ROWDATA></DATAPACKET>";

// Rows No 1..count, 14:05:07.250 and on, "AC" and "-0.5<n>" volts.
std::string packetWith(int count)
{
    std::ostringstream out;
    out << packetHead;
    for (int i = 1; i <= count; ++i)
        out << "<ROW No=\"" << i << "\" Time=\"14:05:0" << 7250 + i << "\" DC/AC=\"AC\" Value=\"-0.5" << i
            << "\" Unit=\" V\" Auto=\"AUTO\" Nval=\"-5" << i << "\"/>";
    out << packetTail;
    return out.str();
}

bool waitUntil(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QTest::qWait(5);
    }
    return true;
}

TEST(DataFilesWindow, SaveasExportsTheTableAndSaysSo)
{
    QTemporaryDir dir;
    Window w;
    w.record(3);
    const std::string name = pathIn(dir, "readings.xls");
    w.fileDialogs.names = {name};
    // Scrolled back: the export makes the last record current again.
    w.record(40);
    w.window.DBGrid1->verticalScrollBar()->setValue(0);
    ASSERT_FALSE(w.window.DBGrid1->following());

    QTest::mouseClick(w.saveas(), Qt::LeftButton);
    ASSERT_EQ(w.fileDialogs.opened.size(), 1u);
    EXPECT_EQ(w.fileDialogs.opened[0].kind, FileDialog::Kind::Save);
    EXPECT_EQ(w.fileDialogs.opened[0].DefaultExt, "xls");
    std::string expected = "No\tTime\tFunc\tValue\tUnit\tJudge\r\n";
    for (int i = 0; i < 43; ++i)
        expected += std::to_string(i) + "\t01:00:00\tDC\t1.000\tV\tpass\r\n";
    EXPECT_EQ(readFile(name), expected);
    ASSERT_EQ(w.prompts.shown.size(), 1u);
    EXPECT_EQ(w.prompts.shown[0].icon, PromptIcon::Plain);
    EXPECT_EQ(w.prompts.shown[0].text, "save table to specified file: " + name + " Scuss!");
    EXPECT_TRUE(w.window.DBGrid1->following());
    EXPECT_EQ(w.window.DBGrid1->firstVisibleRow(), 43u - std::size_t(w.window.DBGrid1->visibleRowCount()));
    EXPECT_TRUE(w.saveas()->isEnabled());
}

TEST(DataFilesWindow, SaveasWritesAPacketForAnXmlName)
{
    QTemporaryDir dir;
    Window w;
    w.record(2);
    const std::string name = pathIn(dir, "readings.xml");
    w.fileDialogs.names = {name};
    QTest::mouseClick(w.saveas(), Qt::LeftButton);
    EXPECT_EQ(readFile(name), std::string(packetHead)
                                  + "<ROW No=\"0\" Time=\"01:00:00250\" DC/AC=\"DC\" Value=\"1.000\" Unit=\"V\" "
                                    "Auto=\"pass\"/><ROW No=\"1\" Time=\"01:00:00250\" DC/AC=\"DC\" "
                                    "Value=\"1.000\" Unit=\"V\" Auto=\"pass\"/>"
                                  + packetTail);
    EXPECT_TRUE(w.prompts.shown.empty()) << "a packet is saved without a word";
}

TEST(DataFilesWindow, OpenDataFilesLoadsAPacketIntoTheGridOnTheWorkers)
{
    QTemporaryDir dir;
    const std::string name = pathIn(dir, "old.xml");
    writeFile(name, packetWith(40));
    QtBackgroundWork work;
    Window w(&work);
    work.setWindow(&w.window);
    w.record(5);
    w.fileDialogs.names = {name};

    QTest::mouseClick(w.open(), Qt::LeftButton);
    ASSERT_EQ(w.fileDialogs.opened.size(), 1u);
    EXPECT_EQ(w.fileDialogs.opened[0].kind, FileDialog::Kind::Open);
    ASSERT_TRUE(waitUntil([&] { return !w.core().dataFiles.busy(); }));
    EXPECT_TRUE(w.prompts.shown.empty()) << w.core().dataFiles.lastLoad().where();
    ASSERT_EQ(w.core().cds1.size(), 40u) << "the packet replaced the table";
    ReadingGrid *grid = w.window.DBGrid1;
    EXPECT_EQ(grid->firstVisibleRow(), 0u) << "shown from its first row";
    EXPECT_EQ(grid->cellText(0, 0), "1");
    EXPECT_EQ(grid->cellText(0, 1), "14:05:07");
    EXPECT_EQ(grid->cellText(0, 2), "AC");
    EXPECT_EQ(grid->cellText(0, 3), "-0.51");
    EXPECT_EQ(grid->cellText(39, 0), "40");
    EXPECT_EQ(grid->verticalScrollBar()->maximum(), 40 - grid->visibleRowCount());
    EXPECT_TRUE(w.open()->isEnabled());
    EXPECT_TRUE(w.saveas()->isEnabled());

    // Recording goes on after the loaded rows.
    w.record(1);
    EXPECT_EQ(w.core().cds1.size(), 41u);

    // A refused file says so and leaves the table.
    const std::string broken = pathIn(dir, "broken.xml");
    writeFile(broken, std::string(packetHead) + "<ROW No=\"x\"/>" + packetTail);
    w.fileDialogs.names = {broken};
    QTest::mouseClick(w.open(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !w.prompts.shown.empty(); }));
    EXPECT_EQ(w.prompts.shown[0].text, "Failed to Load File!");
    EXPECT_EQ(w.prompts.shown[0].caption, "Error");
    EXPECT_EQ(w.core().cds1.size(), 41u);
}

TEST(DataFilesWindow, TheFileButtonsWaitForRunningWork)
{
    QTemporaryDir dir;
    DeferredBackgroundWork work;
    Window w(&work);
    w.record(3);
    const std::string name = pathIn(dir, "readings.xml");
    w.fileDialogs.names = {name, pathIn(dir, "other.xml")};

    QTest::mouseClick(w.saveas(), Qt::LeftButton);
    ASSERT_EQ(work.jobs.size(), 1u);
    EXPECT_TRUE(w.core().dataFiles.busy());
    EXPECT_FALSE(w.saveas()->isEnabled());
    EXPECT_FALSE(w.open()->isEnabled());
    EXPECT_TRUE(w.window.Panel5->RecordNew->isEnabled());
    for (QToolButton *button : {w.saveas(), w.open()})
        QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(w.fileDialogs.opened.size(), 1u) << "no second dialog";

    // Recording goes on meanwhile; the file holds the table as it was.
    w.record(2);
    work.runOne();
    EXPECT_FALSE(w.core().dataFiles.busy());
    EXPECT_TRUE(w.saveas()->isEnabled());
    EXPECT_TRUE(w.open()->isEnabled());
    EXPECT_NE(readFile(name).find("<ROW No=\"2\""), std::string::npos);
    EXPECT_EQ(readFile(name).find("<ROW No=\"3\""), std::string::npos);
}

// Closing the program ends the workers before the window (and its core) go,
// as main() does: the save is abandoned and leaves no file behind.
TEST(DataFilesWindow, ClosingWhileASaveRunsLeavesNoFile)
{
    QTemporaryDir dir;
    QtBackgroundWork work;
    auto w = std::make_unique<Window>(&work);
    work.setWindow(&w->window);
    w->record(200'000);
    const std::string name = pathIn(dir, "readings.xml");
    w->fileDialogs.names = {name};
    QTest::mouseClick(w->saveas(), Qt::LeftButton);
    ASSERT_TRUE(w->core().dataFiles.busy());
    work.shutDown();
    w.reset();
    QTest::qWait(50);
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

} // namespace
} // namespace tolmar
