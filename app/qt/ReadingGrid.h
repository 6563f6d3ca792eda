#pragma once

#include "meter/qt/LcdGlyphs.h"

#include <QAbstractScrollArea>
#include <QFont>

#include <array>
#include <cstddef>

class QPainter;

namespace tolmar {

class Locale;
class ReadingTable;

// The grid DBGrid1: the reading table cds1, read-only, six columns.
//
// The grid keeps no memory per row: it paints the rows in view straight from
// the table, and the vertical scroll bar counts the first row in view
// (0 .. size - rows in view). So an appended record costs the same at ten
// million rows as at ten, and so does a jump to the end.
//
// Like a log view it follows the table: the current row is the last record
// (drawn highlighted); while the view shows the end, a new record scrolls
// into view; scrolled back, the view stays where the user put it until they
// scroll to the end again. A clear takes it back to the top.
class ReadingGrid final : public QAbstractScrollArea {
    Q_OBJECT
public:
    struct Column {
        const char *title;
        Qt::Alignment alignment;
        int width; // the last column takes what is left
    };
    // "No." (No), "Time" (Time), "Function" (DC/AC), "Value", "Unit" and
    // "Judge" (Auto). Nval is not shown.
    static constexpr std::array<Column, 6> columns{{
        {"No.", Qt::AlignRight, 48},
        {"Time", Qt::AlignHCenter, 70},
        {"Function", Qt::AlignHCenter, 60},
        {"Value", Qt::AlignRight, 56},
        {"Unit", Qt::AlignRight, 40},
        {"Judge", Qt::AlignLeft, 40},
    }};
    static constexpr int unitColumn = 4;

    // The table and the locale are the core's and outlive the grid.
    ReadingGrid(const ReadingTable &table, const Locale &locale, QWidget *parent = nullptr);

    // The table may have changed: a record appended, or the table cleared.
    // Only the row count is compared, so this costs the same at any size.
    void tableChanged();
    // The table was replaced by one of the same size: repaint from the top.
    void tableReset();
    // The last record became the current one (an export walked the table):
    // scroll to the end and follow the table again.
    void goToLastRecord();

    std::size_t firstVisibleRow() const;
    // Rows that fit into the view in full.
    int visibleRowCount() const;
    // True while the view is at the end and a new record will scroll in.
    bool following() const { return m_following; }

    // The text a cell shows: empty for a null field. The Unit column shows
    // these bytes in the LCD's letters and symbols.
    QString cellText(std::size_t row, int column) const;
    // A cell's place in the viewport, while its row is in view; row -1 is
    // the header.
    QRect cellRect(int rowInView, int column) const;
    QRect headerRect() const;
    int rowHeight() const { return m_rowHeight; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateMetrics();
    void updateScrollRange();
    int columnLeft(int column) const;
    int columnWidth(int column) const;
    void paintHeader(QPainter &painter) const;
    void paintRow(QPainter &painter, std::size_t row, int rowInView, bool current);

    const ReadingTable &m_table;
    const Locale &m_locale;
    LcdGlyphs m_glyphs;
    std::size_t m_lastSize = 0;
    bool m_following = true;
    int m_rowHeight = 17;
};

// The font that draws `text` within `width`: narrowed, or else smaller. A
// cell too narrow for its text (No passes ten million) shows all of it: a
// number cut at the cell's edge would read as another number.
QFont fittingFont(const QFont &font, const QString &text, int width);

// Text bytes as they are shown: UTF-8 when they are valid UTF-8 (the decimal
// separator may be a UTF-8 character), else Windows-1252 (the meter's own
// bytes), as the files and the report have them.
QString displayText(std::string_view bytes);

} // namespace tolmar
