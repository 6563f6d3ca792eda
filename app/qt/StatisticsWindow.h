#pragma once

#include "record/Statistics.h"

#include <QWidget>

#include <functional>
#include <optional>

class QPushButton;
class QTableView;

namespace tolmar {

class MainForm;
class StatisticsModel;

// The statistics of the reading table, one row per function and unit, in a
// window of its own beside the main window (not modal, resizable). "Copy"
// puts the rows on the clipboard as tab-separated text with a header line.
// The main window calls refresh() when the statistics or the limits changed;
// a hidden window only notes it and catches up when shown.
class StatisticsWindow final : public QWidget {
    Q_OBJECT
public:
    using Limits = std::function<std::optional<StatisticsLimits>()>;

    StatisticsWindow(const Statistics &statistics, Limits limits, QWidget *parent = nullptr);
    // The main window's statistics against the judge's limits.
    explicit StatisticsWindow(const MainForm &form, QWidget *parent = nullptr);
    ~StatisticsWindow() override;

    void refresh();
    // What "Copy" puts on the clipboard.
    std::string tabText() const;
    void copyClick();

    QTableView *table() const { return m_table; }
    QPushButton *copyButton() const { return m_copy; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    const Statistics &m_statistics;
    Limits m_limits;
    StatisticsModel *m_model;
    QTableView *m_table;
    QPushButton *m_copy;
    bool m_stale = true;
};

} // namespace tolmar
