#pragma once

#include "record/TrendView.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QCPGraph;
class QCPItemStraightLine;
class QCustomPlot;
class QLabel;
class QRubberBand;
class QTimer;

namespace tolmar {

class ReadingTable;
class TrendFeed;

// The trend: every record of one function and unit against its date and
// time, drawn from the summary's minimum and maximum of each pixel column,
// so a pan or a zoom costs the same at a hundred records and at ten
// million. The wheel zooms time around the pointer, a drag pans, a drag
// with the right button zooms into its rectangle, a double click shows
// everything; a click puts cursor A, a right click cursor B.
class TrendWindow final : public QWidget {
    Q_OBJECT
public:
    // The judge's high and low limits, when they are numbers.
    using Limits = std::function<std::pair<std::optional<double>, std::optional<double>>()>;

    TrendWindow(const ReadingTable &table, const TrendFeed &feed, Limits limits, QWidget *parent = nullptr);
    ~TrendWindow() override;

    // The table, its summary or the limits changed: drawn again shortly.
    void refresh();
    // Draws now what refresh() would.
    void update();
    // The view over [lower, upper] of the x axis (seconds since 1970, or record numbers).
    void setRange(double lower, double upper);
    void showAll();
    bool following() const { return m_follow.following(); }
    // Cursor A or B at x, snapped to the nearest record.
    void setCursor(int cursor, double x);
    QString cursorText() const;
    // PNG, SVG or PDF by the name's extension; false when it cannot be written
    // (SVG in a build without Qt SVG).
    bool saveView(const QString &fileName);
    // The formats the save dialog offers, as its filter.
    static QString saveFilter();
    QCustomPlot *plot() const { return m_plot; }
    // The series shown, as "function unit".
    QString seriesName() const;
    int pointsDrawn() const { return m_pointsDrawn; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuildSeriesList();
    void draw();
    void rangeChangedByUser();
    void saveClicked();
    void printClicked();
    std::optional<TrendView> view() const;
    double newestX() const;
    QString formatX(double x) const;

    const ReadingTable &m_table;
    const TrendFeed &m_feed;
    Limits m_limits;
    std::optional<std::uint16_t> m_key;
    TrendFollow m_follow;
    QComboBox *m_series = nullptr;
    QCheckBox *m_fit = nullptr;
    QLabel *m_cursorLabel = nullptr;
    QCustomPlot *m_plot = nullptr;
    QCPGraph *m_line = nullptr;
    QCPGraph *m_failed = nullptr;
    QCPGraph *m_overload = nullptr;
    QCPItemStraightLine *m_high = nullptr;
    QCPItemStraightLine *m_low = nullptr;
    QCPItemStraightLine *m_cursors[2] = {nullptr, nullptr};
    std::optional<std::size_t> m_cursorRows[2];
    QTimer *m_refreshTimer = nullptr;
    QRubberBand *m_band = nullptr;
    // A click places its cursor once it is sure to be no double click.
    QTimer *m_clickTimer = nullptr;
    int m_pendingCursor = 0;
    double m_pendingX = 0;
    QPoint m_pressAt;
    bool m_dragged = false;
    bool m_doubleClicked = false; // the release that ends a double click places nothing
    bool m_settingRange = false;
    std::size_t m_drawnRows = 0;
    int m_pointsDrawn = 0;
};

} // namespace tolmar
