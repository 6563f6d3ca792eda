#pragma once

#include "chart/GraphicControl.h"

#include <QGroupBox>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace tolmar {

class LcdTextLabel;

// The group box GroupBox1 "Graphic Control" (513 x 57, 857 x 68 enlarged)
// with the chart's page controls, and the value box Edit1 and unit label
// Label6 on the chart. It paints the GraphicControl's state, places itself
// and the chart per the layout, and forwards events to the handlers.
class GraphicControlPanel final : public QGroupBox {
    Q_OBJECT
public:
    explicit GraphicControlPanel(GraphicControl &core, QWidget *parent = nullptr);

    // The chart Chart1 (a sibling of this box): Edit1 and Label6 go onto it
    // and the enlarged layout moves it.
    void attachChart(QWidget *chart);
    // Paints the core's state.
    void refresh();

    QCheckBox *cbFill = nullptr;
    QLineEdit *edtRange = nullptr;
    QToolButton *btnfirst = nullptr;
    QToolButton *btnPrevious = nullptr;
    QLineEdit *edtCurPage = nullptr;
    QToolButton *btnNext = nullptr;
    QToolButton *btnLast = nullptr;
    QLabel *Label7 = nullptr;
    QLineEdit *edtPage = nullptr;
    QToolButton *btnGoPage = nullptr;
    QToolButton *btnNew = nullptr;
    QToolButton *btnSave = nullptr;
    QToolButton *btnfly = nullptr;
    QToolButton *btnChartZoomOut = nullptr;
    QLineEdit *Edit1 = nullptr;
    LcdTextLabel *Label6 = nullptr; // the unit, in the LCD's letters and symbols

signals:
    // Clear the table and the chart (ClearReadingTable), save the picture.
    void btnNewClicked();
    void btnSaveClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *pageControl(int index) const;
    // A click on a page button runs its handler; the box shows the new state.
    void pageButtonClicked();
    struct PageButton {
        QToolButton *button;
        void (GraphicControl::*handler)();
    };
    std::array<PageButton, 7> m_pageButtons{};

    GraphicControl &m_core;
    QWidget *m_chart = nullptr;
};

} // namespace tolmar
