#pragma once

#include "app/MainForm.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>

class QAction;
class QGroupBox;
class QMenu;
class QPushButton;

namespace tolmar {

class GraphicControlPanel;
class JudgePanel;
class LcdWidget;
class LinkLamp;
class FileWorkRelay;
class ChartPictureRelay;
class ReadingGrid;
class RecordingPanel;
class QtChartWidget;
class StatusBar;
class TrendWindow;
class StatisticsWindow;
class TForm1;

// The main window. It builds the controls at their places, forwards every
// event to the handler of the same name on the core (MainForm), and paints
// the core's state; it decides nothing itself.
class TFCOMM final : public QMainWindow, private MainFormView {
    Q_OBJECT
public:
    static constexpr int clientWidth = 876;
    static constexpr int clientHeight = 563;
    // How long a message stays over the status bar.
    static constexpr int statusMessageMs = 30000;

    explicit TFCOMM(const MainFormPlatform &platform, QWidget *parent = nullptr);
    ~TFCOMM() override;

    MainForm &core() { return m_core; }
    // True once the quit button's Yes ended the program.
    bool terminated() const { return m_terminated; }

    // Controls, by their names.
    QWidget *Panel1 = nullptr;
    QPushButton *USBCon = nullptr;
    QPushButton *BitBtn1 = nullptr;
    LcdWidget *Panel4 = nullptr; // the virtual LCD
    RecordingPanel *Panel5 = nullptr; // the recording bar
    ReadingGrid *DBGrid1 = nullptr;   // the reading table cds1
    JudgePanel *Panel6 = nullptr;
    LinkLamp *CONok = nullptr; // the link lamp: CONok and CONokN in one place
    GraphicControlPanel *GroupBox1 = nullptr;
    QtChartWidget *Chart1 = nullptr;
    StatusBar *TntStatusBar1 = nullptr;
    TForm1 *Form1 = nullptr;

    QMenu *Connect = nullptr;
    QAction *START = nullptr;
    QAction *STOP = nullptr;
    QMenu *Record = nullptr;
    std::array<QAction *, 6> recordLimitItems{}; // N10001 .. limitess
    // Additions: the View menu and the windows it opens (one of each).
    QMenu *View = nullptr;
    QAction *ViewStatistics = nullptr;
    QAction *ViewTrend = nullptr;
    QMenu *ViewCable = nullptr; // the cables present, the one in use ticked
    QMenu *Help = nullptr;
    QAction *model = nullptr;
    QAction *manual = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void stateChanged() override;
    void terminateApplication() override;
    void tableReplaced() override;
    void tableExported() override;
    void repaintWindow() override;
    void showStatusMessage(const std::string &text) override;
    void buildControls(const MainFormPlatform &platform);
    void buildMenus();
    void refreshFileButtons();
    void fillCableMenu();
    void openTrend();
    void openStatistics();

    // Before the core: its file work starts through the relay.
    std::unique_ptr<FileWorkRelay> m_fileWork;
    // Before the core too: the chart it pictures is built after the core.
    std::unique_ptr<ChartPictureRelay> m_chartPicture;
    MainForm m_core;
    bool m_terminated = false;
    QPointer<TrendWindow> m_trend;
    QPointer<StatisticsWindow> m_statistics;
};

} // namespace tolmar
