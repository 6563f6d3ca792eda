// The chart's picture button in the real main window, offscreen: scripted
// file dialogs, the saved bitmap read back with QImage.
#include "app/qt/Brevon.h"
#include "app/qt/GraphicControlPanel.h"
#include "gui/ChartProbe.h"
#include "gui/OffscreenWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tolmar {
namespace {

struct Window : test::OffscreenWindow {
    Window()
    {
        window.show();
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
    void record(int count, double value)
    {
        for (int i = 0; i < count; ++i)
            core().graphicControl.recordValue(value);
    }
    // btnSave clicked, `name` chosen; the file it wrote, read back.
    QImage save(const std::string &name)
    {
        fileDialogs.names = {name};
        QTest::mouseClick(window.GroupBox1->btnSave, Qt::LeftButton);
        return QImage(QString::fromStdString(name), "BMP");
    }
    QRect plotArea() const { return test::plotArea(*window.Chart1).toRect(); }
    // Where a point of the line lies in the chart (and so in its picture).
    QPointF at(double position, double value) const
    {
        return test::pixelOf(*window.Chart1, QPointF(position, value));
    }
};

std::string pathIn(const QTemporaryDir &dir, const char *name)
{
    return QDir(dir.path()).filePath(name).toStdString();
}

bool isSeriesBlue(QColor c)
{
    return c.blue() > 160 && c.red() < 120 && c.green() < 120;
}

bool isWhite(QColor c)
{
    return c.red() == 255 && c.green() == 255 && c.blue() == 255;
}

// The leftmost and the rightmost pixel column holding series blue inside
// `area`; nullopt when there is none.
std::optional<std::pair<int, int>> blueColumns(const QImage &image, const QRect &area)
{
    std::optional<std::pair<int, int>> columns;
    const QRect inside = area & image.rect();
    for (int x = inside.left(); x <= inside.right(); ++x)
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            if (isSeriesBlue(image.pixelColor(x, y))) {
                if (!columns)
                    columns = {x, x};
                columns->second = x;
                break;
            }
    return columns;
}

TEST(ChartPictureWindow, ThePictureHasTheChartsSizeInBothLayoutsOnWhite)
{
    const struct {
        bool enlarged;
        QSize size;
    } layouts[] = {
        {false, {513, 326}},
        {true, {857, 470}},
    };
    for (const auto &layout : layouts) {
        SCOPED_TRACE(layout.enlarged ? "enlarged" : "normal");
        QTemporaryDir dir;
        Window w;
        w.record(100, 20);
        w.settle();
        // Saved right after the click: the new size is drawn first.
        if (layout.enlarged)
            QTest::mouseClick(w.window.GroupBox1->btnfly, Qt::LeftButton);
        const std::string name = pathIn(dir, "graph");
        const QImage picture = w.save(name + ".bmp");

        QFile file(QString::fromStdString(name + ".bmp"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.read(2), "BM") << "a Windows bitmap";
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.size(), layout.size);
        EXPECT_EQ(w.window.Chart1->size(), layout.size);
        for (const QPoint corner : {QPoint(0, 0), QPoint(picture.width() - 1, 0), QPoint(0, picture.height() - 1),
                                    QPoint(picture.width() - 1, picture.height() - 1)})
            EXPECT_TRUE(isWhite(picture.pixelColor(corner))) << corner.x() << "," << corner.y();

        // Points 1..100 of the page [1, 160]: blue from the plot's left edge
        // to position 100, and none beyond it.
        const auto blue = blueColumns(picture, w.plotArea());
        ASSERT_TRUE(blue);
        EXPECT_LE(blue->first, w.at(2, 20).x());
        EXPECT_NEAR(blue->second, w.at(100, 20).x(), 2);
        if (layout.enlarged) {
            EXPECT_GT(blue->second, 513) << "drawn at the enlarged size, not stretched from the normal one";
        }
        EXPECT_TRUE(w.prompts.shown.empty()) << "saved without a word";
    }
}

TEST(ChartPictureWindow, ThePictureHoldsThePageInView)
{
    QTemporaryDir dir;
    Window w;
    // Positions 1..200: the view follows onto the page [161, 320], which
    // holds 161..200 at its left quarter.
    w.record(200, 20);
    w.settle();
    ASSERT_EQ(w.core().Chart1.horizontalMinimum(), 161);
    const QImage last = w.save(pathIn(dir, "last.bmp"));
    auto blue = blueColumns(last, w.plotArea());
    ASSERT_TRUE(blue);
    EXPECT_NEAR(blue->second, w.at(200, 20).x(), 2);
    EXPECT_LT(blue->second, w.plotArea().left() + w.plotArea().width() / 3);

    // The first page is full: blue across the whole plot. Saved before the
    // chart had a turn of the event loop to redraw.
    QTest::mouseClick(w.window.GroupBox1->btnfirst, Qt::LeftButton);
    ASSERT_EQ(w.core().Chart1.horizontalMinimum(), 1);
    const QImage first = w.save(pathIn(dir, "first.bmp"));
    blue = blueColumns(first, w.plotArea());
    ASSERT_TRUE(blue);
    EXPECT_NEAR(blue->second, w.at(160, 20).x(), 2);
    EXPECT_NE(first, last);
}

TEST(ChartPictureWindow, ValuesNotYetDrawnAreInThePicture)
{
    QTemporaryDir dir;
    Window w;
    const std::string name = pathIn(dir, "graph.bmp");
    // The chart draws its changes on the next turn of the event loop; the
    // picture is taken before that turn.
    w.record(50, -20);
    w.fileDialogs.names = {name};
    w.core().chartPicture.btnSaveClick();
    const QImage picture(QString::fromStdString(name), "BMP");
    const auto blue = blueColumns(picture, w.plotArea());
    ASSERT_TRUE(blue);
    EXPECT_NEAR(blue->second, w.at(50, -20).x(), 2);
}

TEST(ChartPictureWindow, TheControlsOnTheChartAreNotInThePicture)
{
    QTemporaryDir dir;
    Window w;
    w.record(30, 10);
    QLineEdit *edit1 = w.window.GroupBox1->Edit1;
    edit1->setText("12.34");
    edit1->setVisible(false);
    w.settle();
    const QImage without = w.save(pathIn(dir, "without.bmp"));
    const QImage shownWithout = w.window.Chart1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    edit1->setVisible(true);
    w.settle();
    const QImage withEdit = w.save(pathIn(dir, "with.bmp"));
    const QImage shownWith = w.window.Chart1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_NE(shownWith.copy(edit1->geometry()), shownWithout.copy(edit1->geometry()))
        << "the value box shows on the chart";
    EXPECT_EQ(withEdit.convertToFormat(QImage::Format_RGB32), without.convertToFormat(QImage::Format_RGB32));
}

TEST(ChartPictureWindow, AFileThatCannotBeCreatedIsReported)
{
    QTemporaryDir dir;
    Window w;
    const std::string name = pathIn(dir, "missing/graph");
    w.save(name);
    ASSERT_EQ(w.prompts.shown.size(), 1u);
    EXPECT_EQ(w.prompts.shown[0].icon, PromptIcon::Error);
    EXPECT_EQ(w.prompts.shown[0].text, "Cannot create file \"" + name + ".bmp\". No such file or directory");
    EXPECT_EQ(w.prompts.shown[0].buttons, PromptButtons::Ok);
}

} // namespace
} // namespace tolmar
