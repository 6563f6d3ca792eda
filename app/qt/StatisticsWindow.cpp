#include "app/qt/StatisticsWindow.h"

#include "app/MainForm.h"
#include "files/StatisticsText.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <vector>

namespace tolmar {

// The rows' texts as they were at the last refresh: a few rows, so a
// refresh makes them all anew.
class StatisticsModel final : public QAbstractTableModel {
public:
    explicit StatisticsModel(QObject *parent) : QAbstractTableModel(parent)
    {
        for (const std::string &title : statisticsColumnTitles())
            m_titles.push_back(QString::fromStdString(title));
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_titles.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return m_rows[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
        // Names to the left, figures to the right.
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignVCenter | (index.column() < 2 ? Qt::AlignLeft : Qt::AlignRight));
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
            && section < static_cast<int>(m_titles.size()))
            return m_titles[static_cast<std::size_t>(section)];
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    void set(const std::vector<StatisticsRow> &rows, const std::optional<StatisticsLimits> &limits)
    {
        std::vector<std::vector<QString>> texts;
        texts.reserve(rows.size());
        for (const StatisticsRow &row : rows) {
            std::vector<QString> line;
            for (const std::string &text : statisticsRowTexts(row, limits))
                line.push_back(QString::fromStdString(text));
            texts.push_back(std::move(line));
        }
        if (texts.size() != m_rows.size()) {
            beginResetModel();
            m_rows = std::move(texts);
            endResetModel();
        } else if (texts != m_rows) {
            m_rows = std::move(texts);
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
        }
    }

private:
    std::vector<QString> m_titles;
    std::vector<std::vector<QString>> m_rows;
};

StatisticsWindow::StatisticsWindow(const Statistics &statistics, Limits limits, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_statistics(statistics)
    , m_limits(std::move(limits))
    , m_model(new StatisticsModel(this))
    , m_table(new QTableView(this))
    , m_copy(new QPushButton(QStringLiteral("Copy"), this))
{
    setWindowTitle(QStringLiteral("Statistics"));
    setObjectName(QStringLiteral("StatisticsWindow"));
    m_table->setModel(m_model);
    m_table->verticalHeader()->hide();
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_copy->setToolTip(QStringLiteral("Copy the statistics as tab-separated text"));
    connect(m_copy, &QPushButton::clicked, this, &StatisticsWindow::copyClick);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_copy);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(buttons);
    resize(1240, 240); // every column in view on a common screen
    refresh();
}

StatisticsWindow::StatisticsWindow(const MainForm &form, QWidget *parent)
    : StatisticsWindow(form.statistics, [&form] { return form.statisticsLimits(); }, parent)
{
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::refresh()
{
    // Recording calls this for every record: a window nobody sees waits.
    if (!isVisible()) {
        m_stale = true;
        return;
    }
    m_stale = false;
    m_model->set(m_statistics.rows(), m_limits ? m_limits() : std::nullopt);
}

void StatisticsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_stale)
        refresh();
}

std::string StatisticsWindow::tabText() const
{
    return statisticsTabText(m_statistics.rows(), m_limits ? m_limits() : std::nullopt);
}

void StatisticsWindow::copyClick()
{
    QApplication::clipboard()->setText(QString::fromStdString(tabText()));
}

} // namespace tolmar
