#include "app/qt/Brevon.h"

#include "app/qt/AboutBox.h"
#include "app/qt/GraphicControlPanel.h"
#include "app/qt/JudgePanel.h"
#include "app/qt/Placement.h"
#include "app/qt/ReadingGrid.h"
#include "app/qt/RecordingPanel.h"
#include "app/qt/StatisticsWindow.h"
#include "app/qt/StatusBar.h"
#include "app/qt/TrendWindow.h"
#include "meter/qt/LcdWidget.h"
#include "meter/qt/LinkLamp.h"
#include "chart/qt/QtChartWidget.h"

#include <QActionGroup>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLayout>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <cstdio>

namespace tolmar {

// Passes the core's file work on (to the platform's workers, or runs it at
// once without them) and tells the window when a piece starts and when its
// finishing step has run, so the file buttons wait for it.
class FileWorkRelay final : public BackgroundWork {
public:
    FileWorkRelay(BackgroundWork *work, std::function<void()> changed)
        : m_work(work ? *work : m_inline), m_changed(std::move(changed))
    {
    }
    void start(const std::string &title, std::shared_ptr<WorkProgress> progress, std::function<void()> work,
               std::function<void()> finished) override
    {
        m_work.start(title, std::move(progress), std::move(work), [this, finished = std::move(finished)] {
            finished();
            m_changed();
        });
        m_changed();
    }

private:
    InlineBackgroundWork m_inline;
    BackgroundWork &m_work;
    std::function<void()> m_changed;
};

// The picture of the chart Chart1 for btnSave, as a bitmap file's bytes,
// once the chart exists (the core is built before it).
class ChartPictureRelay final : public ChartPictureSource {
public:
    void setChart(QtChartWidget *chart) { m_chart = chart; }
    std::string bitmap() override
    {
        if (!m_chart)
            return {};
        const QImage picture = m_chart->picture();
        QByteArray bytes;
        QBuffer buffer(&bytes);
        if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "BMP"))
            return {};
        return bytes.toStdString();
    }

private:
    QPointer<QtChartWidget> m_chart;
};

namespace {

MainFormPlatform withFileWork(const MainFormPlatform &platform, BackgroundWork &work)
{
    MainFormPlatform relayed = platform;
    relayed.fileWork = &work;
    return relayed;
}

MainFormPlatform withChartPicture(MainFormPlatform platform, ChartPictureSource &source)
{
    platform.chartPictureSource = &source;
    return platform;
}

} // namespace

TFCOMM::TFCOMM(const MainFormPlatform &platform, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                              | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_fileWork(std::make_unique<FileWorkRelay>(platform.fileWork, [this] { refreshFileButtons(); }))
    , m_chartPicture(std::make_unique<ChartPictureRelay>())
    , m_core(withChartPicture(withFileWork(platform, *m_fileWork), *m_chartPicture), *this)
{
    setObjectName("FCOMM");
    buildControls(platform);
    buildMenus();
    // Fixed size: the client area below the menu is 876 x 563.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Form1 = new TForm1(this);
    connect(Form1, &TForm1::quitClicked, this, [this] { m_core.TntBitBtn1Click(); });
    connect(Form1, &TForm1::closedByUser, this, [this] { m_core.TForm1Close(); });

    stateChanged();
    m_core.FormCreate();

    adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TFCOMM::~TFCOMM() = default;

void TFCOMM::buildControls(const MainFormPlatform &platform)
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedSize(clientWidth, clientHeight);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);
    QFont font = Panel1->font();
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"});
    font.setPixelSize(11);
    font.setBold(true);
    Panel1->setFont(font);
    setCentralWidget(Panel1);

    USBCon = place(new QPushButton("USB Connection", Panel1), "USBCon", 27, 6, 150, 22);
    USBCon->setToolTip("USB Connect");
    USBCon->setCheckable(true);
    // The toggle flips itself before the handler runs; the core keeps its state.
    connect(USBCon, &QPushButton::clicked, this, [this](bool down) { m_core.USBConClick(down); });

    BitBtn1 = place(new QPushButton("&QUIT", Panel1), "BitBtn1", 688, 3, 121, 25);
    QFont quitFont;
    quitFont.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
    quitFont.setPixelSize(14);
    quitFont.setBold(true);
    quitFont.setItalic(true);
    BitBtn1->setFont(quitFont);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { m_core.BitBtn1Click(); });

    Panel4 = new LcdWidget(Panel1);
    Panel4->move(10, 31);
    Panel5 = new RecordingPanel(m_core.recording, Panel1);
    Panel5->move(8, 184);
    connect(Panel5, &RecordingPanel::recordNewClicked, this, [this] {
        m_core.RecordNewClick();
        stateChanged();
    });
    // While a save or load runs the buttons are disabled, and the core
    // ignores them too.
    connect(Panel5, &RecordingPanel::saveasClicked, this, [this] { m_core.dataFiles.saveasClick(); });
    connect(Panel5, &RecordingPanel::openDataFilesClicked, this, [this] { m_core.dataFiles.SpeedButton2Click(); });
    connect(Panel5, &RecordingPanel::btPrintClicked, this, [this] { m_core.BtPrintClick(); });
    DBGrid1 = place(new ReadingGrid(m_core.cds1, platform.locale, Panel1), "DBGrid1", 11, 216, 334, 321);
    Panel6 = new JudgePanel(m_core.judge, m_core.state().systeminfomation, Panel1);
    Panel6->move(350, 34);
    CONok = new LinkLamp;
    Panel6->setLinkLamp(CONok);
    GroupBox1 = new GraphicControlPanel(m_core.graphicControl, Panel1);
    Chart1 = new QtChartWidget(m_core.Chart1, Panel1);
    Chart1->setObjectName("Chart1");
    Chart1->setGeometry(352, 216, 513, 326);
    GroupBox1->attachChart(Chart1);
    m_chartPicture->setChart(Chart1);
    connect(GroupBox1, &GraphicControlPanel::btnSaveClicked, this, [this] { m_core.chartPicture.btnSaveClick(); });
    connect(GroupBox1, &GraphicControlPanel::btnNewClicked, this, [this] {
        m_core.btnNewClick();
        stateChanged();
    });
    TntStatusBar1 = place(new StatusBar(Panel1), "TntStatusBar1", 1, 538, 874, 24);
}

void TFCOMM::buildMenus()
{
    Connect = menuBar()->addMenu("Connect");
    Connect->setObjectName("Connect");
    Connect->menuAction()->setVisible(false);
    START = Connect->addAction("START");
    START->setObjectName("START");
    START->setShortcut(QKeySequence("Ctrl+A"));
    // The menu is hidden; the window carries the action so Ctrl+A still works.
    addAction(START);
    connect(START, &QAction::triggered, this, [this] { m_core.START1Click(); });
    STOP = Connect->addAction("STOP");
    STOP->setObjectName("STOP");

    Record = menuBar()->addMenu("&Record");
    Record->setObjectName("Record");
    Record->addSeparator();
    static constexpr const char *limitNames[6] = {"N10001", "N50001", "N100001", "N500001", "N1000001", "limitess"};
    static constexpr const char *limitTexts[6] = {"1000", "5000", "10000", "50000", "100000", "limitless"};
    auto *limits = new QActionGroup(this);
    for (std::size_t i = 0; i < 6; ++i) {
        QAction *item = Record->addAction(limitTexts[i]);
        item->setObjectName(limitNames[i]);
        item->setCheckable(true);
        item->setActionGroup(limits);
        // The check marks follow the core's record limit, not the click.
        connect(item, &QAction::triggered, this, [this, i] {
            m_core.recording.recordLimitClick(i);
            stateChanged();
        });
        recordLimitItems[i] = item;
    }

    View = menuBar()->addMenu("&View");
    View->setObjectName("View");
    ViewStatistics = View->addAction("Statistics");
    ViewStatistics->setObjectName("ViewStatistics");
    connect(ViewStatistics, &QAction::triggered, this, &TFCOMM::openStatistics);
    ViewTrend = View->addAction("Trend");
    ViewTrend->setObjectName("ViewTrend");
    connect(ViewTrend, &QAction::triggered, this, &TFCOMM::openTrend);
    ViewCable = View->addMenu("Cable");
    ViewCable->setObjectName("ViewCable");
    // Filled as it opens: cables come and go, and another Tolmar may take one.
    connect(ViewCable, &QMenu::aboutToShow, this, &TFCOMM::fillCableMenu);

    Help = menuBar()->addMenu("&Help");
    Help->setObjectName("Help");
    model = Help->addAction("About");
    model->setObjectName("model");
    connect(model, &QAction::triggered, this, [this] { m_core.modelClick(); });
    manual = Help->addAction("Software Help");
    manual->setObjectName("manual");
    connect(manual, &QAction::triggered, this, [this] { m_core.manualClick(); });
}

void TFCOMM::fillCableMenu()
{
    ViewCable->clear();
    UsbLink &link = m_core.link();
    link.refreshInUse();
    const std::vector<int> cables = link.bridgeIndexes();
    if (cables.empty())
        ViewCable->addAction("No cable")->setEnabled(false);
    for (const int index : cables) {
        const UsbLink::DeviceEntry &entry = link.DevListBox[static_cast<std::size_t>(index)];
        const std::string name = link.cableName(index);
        QAction *item = ViewCable->addAction(QString::fromStdString(
            name + (entry.inUse && index != link.DevListIndex ? " (in use by another Tolmar)" : "")));
        item->setCheckable(true);
        item->setChecked(index == link.DevListIndex);
        // Another cable is taken while disconnected, for the next connect.
        item->setEnabled(!link.USBConDown);
        const std::string id = entry.port.empty() ? std::to_string(index) : entry.port;
        connect(item, &QAction::triggered, this, [this, id] {
            m_core.link().chooseDevice(id);
            stateChanged();
        });
    }
}

void TFCOMM::openStatistics()
{
    if (!m_statistics) {
        m_statistics = new StatisticsWindow(m_core, this);
        m_statistics->setAttribute(Qt::WA_DeleteOnClose);
        m_core.onStatisticsChanged = [this] {
            if (m_statistics)
                m_statistics->refresh();
        };
    }
    m_statistics->show();
    m_statistics->raise();
    m_statistics->activateWindow();
}

void TFCOMM::openTrend()
{
    if (!m_trend) {
        m_trend = new TrendWindow(m_core.cds1, m_core.trend, [this] {
            const JudgeState &judge = m_core.judge.state();
            return std::make_pair(m_core.judge.number(judge.T1HI), m_core.judge.number(judge.T1LO));
        }, this);
        m_trend->setAttribute(Qt::WA_DeleteOnClose);
        m_core.trend.onChanged = [this] {
            if (m_trend)
                m_trend->refresh();
        };
    }
    m_trend->show();
    m_trend->raise();
    m_trend->activateWindow();
}

void TFCOMM::stateChanged()
{
    // The core's controller reports its first device pass while the core is
    // still being built, before any control exists.
    if (!Form1)
        return;
    const MainFormState &s = m_core.state();
    // The limits may have changed: the windows of the View menu show them too.
    if (m_trend)
        m_trend->refresh();
    if (m_statistics)
        m_statistics->refresh();
    // With more than one cable the title tells which one this window uses.
    setWindowTitle(QString::fromStdString(s.caption + m_core.link().captionSuffix()));
    for (int i = 0; i < 3; ++i)
        TntStatusBar1->setPanelText(i, QString::fromStdString(s.statusPanels[static_cast<std::size_t>(i)]));
    USBCon->setChecked(m_core.link().USBConDown);
    USBCon->setText(QString::fromStdString(m_core.link().USBConCaption));
    Panel4->setState(s.lcd);
    CONok->setState(s.lcd.CONok, s.lcd.CONokN);
    Panel5->refresh();
    refreshFileButtons();
    DBGrid1->tableChanged();
    Panel6->refresh();
    GroupBox1->refresh();
    // The enlarged chart covers the panels, but the way out stays in view.
    BitBtn1->raise();
    for (std::size_t i = 0; i < recordLimitItems.size(); ++i)
        if (recordLimitItems[i])
            recordLimitItems[i]->setChecked(m_core.recording.state().recordLimitChecked[i]);
    if (Form1->isVisible() != s.aboutVisible) {
        if (s.aboutVisible) {
            Form1->show();
            Form1->raise();
            Form1->activateWindow();
        } else {
            Form1->hide();
        }
    }
}

void TFCOMM::refreshFileButtons()
{
    if (Panel5)
        Panel5->setFileWorkRunning(m_core.dataFiles.busy());
}

void TFCOMM::showStatusMessage(const std::string &text)
{
    // Also on the terminal, for a window nobody watches.
    std::fprintf(stderr, "tolmar: %s\n", text.c_str());
    if (TntStatusBar1)
        TntStatusBar1->showMessage(QString::fromStdString(text), statusMessageMs);
}

void TFCOMM::tableReplaced()
{
    DBGrid1->tableReset();
}

void TFCOMM::tableExported()
{
    DBGrid1->goToLastRecord();
}

void TFCOMM::repaintWindow()
{
    stateChanged();
    repaint();
}

void TFCOMM::terminateApplication()
{
    m_terminated = true;
    QCoreApplication::quit();
}

void TFCOMM::closeEvent(QCloseEvent *event)
{
    if (m_terminated || m_core.FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void TFCOMM::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_core.FormResize();
}

} // namespace tolmar
