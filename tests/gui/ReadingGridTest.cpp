// The reading grid DBGrid1 on a table of its own, offscreen.
#include "app/qt/ReadingGrid.h"
#include "gui/Ink.h"
#include "platform/Locale.h"
#include "record/ReadingTable.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer runtime's own count of the heap (malloc is its own then).
// Declared here: g++ comes without the sanitizer headers.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include <string>

namespace tolmar {
namespace {

using test::inkBox;

std::size_t heapInUse()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

ReadingRecord record(int no, std::string_view unit = "V")
{
    ReadingRecord r;
    r.No = no;
    r.Time = ((14 * 60 + 7) * 60 + 9) * 1000 + 500;
    r.DCAC = "DC";
    r.Value = "1.234";
    r.Unit = unit;
    r.Auto = "pass";
    r.Nval = 1234;
    return r;
}

struct Grid {
    ReadingTable table;
    FixedLocale locale;
    ReadingGrid grid{table, locale};

    Grid()
    {
        QFont font = grid.font();
        font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"});
        font.setPixelSize(11);
        font.setBold(true);
        grid.setFont(font);
        grid.resize(334, 321);
        grid.show();
    }
    void append(int count)
    {
        for (int i = 0; i < count; ++i)
            table.append(record(static_cast<int>(table.size())));
        grid.tableChanged();
    }
    std::size_t lastFirstRow() const { return table.size() - static_cast<std::size_t>(grid.visibleRowCount()); }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&grid, static_cast<Qt::Key>(key), modifiers);
    }
    QImage image() { return grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

TEST(ReadingGrid, SixColumnsWithTheirTitles)
{
    const char *titles[] = {"No.", "Time", "Function", "Value", "Unit", "Judge"};
    ASSERT_EQ(ReadingGrid::columns.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_STREQ(ReadingGrid::columns[i].title, titles[i]);

    // The six fit beside the scroll bar, the last one taking the rest.
    Grid g;
    int right = 0;
    for (int c = 0; c < 6; ++c) {
        const QRect cell = g.grid.cellRect(0, c);
        EXPECT_EQ(cell.left(), right) << c;
        EXPECT_GT(cell.width(), 30) << c;
        right = cell.right() + 1;
    }
    EXPECT_EQ(right, g.grid.viewport()->width());
    EXPECT_TRUE(g.grid.verticalScrollBar()->isVisible());
}

// Where each column's text lands in its cell: against the left edge, the
// right edge, or with equal room on both sides.
TEST(ReadingGrid, CellsAreDrawnWithTheirColumnsAlignment)
{
    Grid g;
    g.append(2); // the first row is not the highlighted current one
    const QImage image = g.image();
    const struct { int column; Qt::Alignment alignment; } expected[] = {
        {0, Qt::AlignRight}, {1, Qt::AlignHCenter}, {2, Qt::AlignHCenter},
        {3, Qt::AlignRight}, {4, Qt::AlignRight},   {5, Qt::AlignLeft},
    };
    for (const auto &e : expected) {
        EXPECT_EQ(ReadingGrid::columns[static_cast<std::size_t>(e.column)].alignment, e.alignment) << e.column;
        // Inside the grid lines.
        const QRect cell = g.grid.cellRect(0, e.column).adjusted(1, 1, -2, -2);
        const QRect ink = inkBox(image, cell);
        ASSERT_FALSE(ink.isEmpty()) << e.column;
        const int leftRoom = ink.left() - cell.left();
        const int rightRoom = cell.right() - ink.right();
        if (e.alignment == Qt::AlignLeft)
            EXPECT_LE(leftRoom, 4) << e.column;
        else if (e.alignment == Qt::AlignRight)
            EXPECT_LE(rightRoom, 4) << e.column;
        else
            EXPECT_LE(std::abs(leftRoom - rightRoom), 2) << e.column;
    }
    // The titles stand in the header, one in each column.
    for (int c = 0; c < 6; ++c) {
        const QRect title = g.grid.cellRect(-1, c).adjusted(1, 1, -2, -2);
        EXPECT_FALSE(inkBox(image, title).isEmpty()) << c;
    }
}

// A number or value wider than its column is drawn narrower, never cut: a
// cut "10000000" would read as "0000000".
TEST(ReadingGrid, ATextWiderThanItsCellIsDrawnWhole)
{
    Grid g;
    const struct { int column; std::int32_t no; const char *value; } cases[] = {
        {0, 10'000'000, "1.234"},
        {0, -2'147'483'647 - 1, "1.234"},
        {3, 1, "-1234567890.1234567"},
    };
    for (const auto &c : cases) {
        ReadingRecord r = record(c.no);
        r.Value = c.value;
        g.table.append(r);
    }
    g.grid.tableChanged();
    const QImage image = g.image();
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const int column = cases[row].column;
        const QString text = g.grid.cellText(row, column);
        const QRect cell = g.grid.cellRect(static_cast<int>(row), column);
        const QRect inner = cell.adjusted(3, 0, -3, -1);
        ASSERT_GT(QFontMetrics(g.grid.font()).horizontalAdvance(text), inner.width()) << "too wide to start with";
        const QFont fitted = fittingFont(g.grid.font(), text, inner.width());
        EXPECT_LE(QFontMetrics(fitted).horizontalAdvance(text), inner.width()) << text.toStdString();
        // Room left before the first digit: nothing was cut at the edge.
        const QRect ink = inkBox(image, cell.adjusted(1, 1, -2, -2));
        ASSERT_FALSE(ink.isEmpty()) << text.toStdString();
        EXPECT_GT(ink.left(), inner.left()) << text.toStdString();
    }
    // A text that fits keeps the font.
    EXPECT_EQ(fittingFont(g.grid.font(), "12", 40), g.grid.font());
}

TEST(ReadingGrid, CellTexts)
{
    ReadingRecord full = record(7);
    ReadingRecord nulls; // every field null
    ReadingRecord utf8 = record(8);
    utf8.Value = "1\xD9\xAB" "5"; // an Arabic decimal separator, U+066B
    ReadingRecord latin1 = record(9);
    latin1.Value = "1\xB5"; // a lone byte that is no UTF-8
    ReadingRecord euro = record(12);
    euro.DCAC = "\x80"; // shown as the saved file and the report have it: Windows-1252
    ReadingRecord midnight = record(10);
    midnight.Time = 0;
    ReadingRecord beyondDay = record(11);
    beyondDay.Time = 24 * 3600 * 1000;

    const struct { const ReadingRecord *record; int column; QString text; } cases[] = {
        {&full, 0, "7"},
        {&full, 1, "14:07:09"},
        {&full, 2, "DC"},
        {&full, 3, "1.234"},
        {&full, 4, "V"},
        {&full, 5, "pass"},
        {&nulls, 0, ""},
        {&nulls, 1, ""},
        {&nulls, 2, ""},
        {&nulls, 3, ""},
        {&nulls, 4, ""},
        {&nulls, 5, ""},
        {&utf8, 3, QString::fromUtf8("1\u066B5")},
        {&latin1, 3, QString::fromUtf8("1\u00B5")},
        {&euro, 2, QString::fromUtf8("\u20AC")},
        {&midnight, 1, "00:00:00"},
        {&beyondDay, 1, ""},
    };
    for (const auto &c : cases) {
        Grid g;
        g.table.append(*c.record);
        g.grid.tableChanged();
        EXPECT_EQ(g.grid.cellText(0, c.column), c.text) << c.column << " " << c.text.toStdString();
    }
}

TEST(ReadingGrid, TheUnitColumnDrawsTheLcdSymbols)
{
    Grid g;
    const char *units[] = {"*", "V", "", "*"};
    for (int i = 0; i < 4; ++i)
        g.table.append(record(i, units[i]));
    g.grid.tableChanged();
    const QImage image = g.image();
    const auto unitCell = [&](int row) { return g.grid.cellRect(row, ReadingGrid::unitColumn).adjusted(1, 1, -2, -2); };

    const QRect ohm = inkBox(image, unitCell(0));
    const QRect volt = inkBox(image, unitCell(1));
    ASSERT_FALSE(ohm.isEmpty());
    ASSERT_FALSE(volt.isEmpty());
    EXPECT_TRUE(inkBox(image, unitCell(2)).isEmpty()) << "a null unit shows nothing";
    EXPECT_NE(test::pixelsOf(image, unitCell(0)), test::pixelsOf(image, unitCell(1)));
    // The font's "*" is a small star high on the line; the ohm sign stands
    // as tall as a capital, on two feet.
    EXPECT_GE(ohm.height(), QFontMetrics(g.grid.font()).capHeight());
    EXPECT_GE(ohm.width(), ohm.height() * 3 / 4);
    // The current row draws the same glyph on its highlight.
    const QRect current = inkBox(image, unitCell(3));
    EXPECT_LE(std::abs(current.height() - ohm.height()), 1);
    EXPECT_LE(std::abs(current.width() - ohm.width()), 1);
}

TEST(ReadingGrid, TheLastRecordIsTheCurrentRowAndIsHighlighted)
{
    Grid g;
    g.append(3);
    const QImage image = g.image();
    const QColor base = g.grid.palette().color(QPalette::Base);
    // Sample the Judge column right of its text, clear of the grid lines.
    const auto background = [&](int row) {
        const QRect cell = g.grid.cellRect(row, 5);
        return QColor(image.pixel(cell.right() - 3, cell.center().y()));
    };
    EXPECT_EQ(background(0), base);
    EXPECT_EQ(background(1), base);
    EXPECT_NE(background(2), base);
}

TEST(ReadingGrid, FollowsTheEndLikeALog)
{
    Grid g;
    const int visible = g.grid.visibleRowCount();
    ASSERT_GT(visible, 10);
    g.append(visible - 1);
    EXPECT_EQ(g.grid.firstVisibleRow(), 0u) << "rows that fit do not scroll";
    EXPECT_TRUE(g.grid.following());

    g.append(50);
    EXPECT_TRUE(g.grid.following());
    EXPECT_EQ(g.grid.firstVisibleRow(), g.lastFirstRow());

    // Scrolled back, the view stays where the user put it.
    g.key(Qt::Key_PageUp);
    const std::size_t back = g.grid.firstVisibleRow();
    EXPECT_LT(back, g.lastFirstRow());
    EXPECT_FALSE(g.grid.following());
    g.append(5);
    EXPECT_EQ(g.grid.firstVisibleRow(), back);
    EXPECT_FALSE(g.grid.following());

    // Back at the end, it follows again.
    g.grid.verticalScrollBar()->setValue(g.grid.verticalScrollBar()->maximum());
    EXPECT_TRUE(g.grid.following());
    g.append(1);
    EXPECT_EQ(g.grid.firstVisibleRow(), g.lastFirstRow());
    EXPECT_EQ(g.grid.cellText(g.table.size() - 1, 0), QString::number(g.table.size() - 1));
}

TEST(ReadingGrid, TheWheelScrollsBack)
{
    Grid g;
    g.append(200);
    const std::size_t end = g.grid.firstVisibleRow();
    const QPoint centre = g.grid.viewport()->rect().center();
    QWheelEvent wheel(centre, g.grid.viewport()->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(g.grid.viewport(), &wheel);
    EXPECT_LT(g.grid.firstVisibleRow(), end);
    EXPECT_FALSE(g.grid.following());
}

TEST(ReadingGrid, Keys)
{
    const struct { int key; Qt::KeyboardModifiers modifiers; const char *name; } keys[] = {
        {Qt::Key_Up, Qt::NoModifier, "Up"},         {Qt::Key_Down, Qt::NoModifier, "Down"},
        {Qt::Key_PageUp, Qt::NoModifier, "PageUp"}, {Qt::Key_PageDown, Qt::NoModifier, "PageDown"},
        {Qt::Key_Home, Qt::NoModifier, "Home"},     {Qt::Key_End, Qt::NoModifier, "End"},
        {Qt::Key_Home, Qt::ControlModifier, "Ctrl+Home"}, {Qt::Key_End, Qt::ControlModifier, "Ctrl+End"},
    };
    for (const auto &k : keys) {
        Grid g;
        g.append(500);
        const auto visible = static_cast<std::size_t>(g.grid.visibleRowCount());
        const std::size_t end = g.lastFirstRow();
        const std::size_t middle = 200;
        g.grid.verticalScrollBar()->setValue(static_cast<int>(middle));
        const std::size_t expected = k.key == Qt::Key_Up     ? middle - 1
                                   : k.key == Qt::Key_Down   ? middle + 1
                                   : k.key == Qt::Key_PageUp ? middle - visible
                                   : k.key == Qt::Key_PageDown ? middle + visible
                                   : k.key == Qt::Key_Home   ? 0
                                                             : end;
        g.key(k.key, k.modifiers);
        EXPECT_EQ(g.grid.firstVisibleRow(), expected) << k.name;
        EXPECT_EQ(g.grid.following(), expected == end) << k.name;
    }
}

TEST(ReadingGrid, AClearGoesBackToTheTop)
{
    Grid g;
    g.append(300);
    g.grid.verticalScrollBar()->setValue(120);
    ASSERT_FALSE(g.grid.following());
    g.table.clear();
    g.grid.tableChanged();
    EXPECT_EQ(g.grid.firstVisibleRow(), 0u);
    EXPECT_TRUE(g.grid.following());
    EXPECT_EQ(g.grid.verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(inkBox(g.image(), g.grid.cellRect(0, 0).adjusted(1, 1, -2, -2)).isEmpty()) << "no row left";

    // Recording again fills from the top and follows.
    g.append(g.grid.visibleRowCount() + 10);
    EXPECT_EQ(g.grid.firstVisibleRow(), 10u);
    EXPECT_TRUE(g.grid.following());
}

TEST(ReadingGrid, KeepsNoMemoryPerRow)
{
    Grid g;
    g.append(100);
    g.grid.repaint(); // fonts, glyphs and the backing store exist from here on

    constexpr int rows = 200000;
    for (int i = 100; i < rows; ++i)
        g.table.append(record(i));
    const std::size_t before = heapInUse();
    g.grid.tableChanged();
    g.grid.repaint();
    g.key(Qt::Key_Home);
    g.grid.repaint();
    g.key(Qt::Key_End);
    g.grid.repaint();
    const std::size_t after = heapInUse();
    // A view with a header section or an index per row would hold
    // megabytes here.
    EXPECT_LT(after > before ? after - before : 0, 64u * 1024u);

    EXPECT_EQ(g.grid.verticalScrollBar()->maximum(), rows - g.grid.visibleRowCount());
    EXPECT_EQ(g.grid.firstVisibleRow(), g.lastFirstRow());
    EXPECT_TRUE(g.grid.following());
    // The last row in view is the last record.
    const std::size_t lastInView = g.grid.firstVisibleRow() + static_cast<std::size_t>(g.grid.visibleRowCount()) - 1;
    EXPECT_EQ(g.grid.cellText(lastInView, 0), QString::number(rows - 1));
}

} // namespace
} // namespace tolmar
