#pragma once

#include "app/MainFormView.h"
#include "app/Session.h"
#include "app/TrendFeed.h"
#include "chart/GraphicControl.h"
#include "chart/PointStore.h"
#include "files/ChartPicture.h"
#include "files/DataFiles.h"
#include "files/Report.h"
#include "link/FrameAssembler.h"
#include "link/UsbLink.h"
#include "meter/LcdDisplay.h"
#include "meter/LcdState.h"
#include "meter/MeterReading.h"
#include "platform/BackgroundWork.h"
#include "platform/Clock.h"
#include "platform/FileDialogs.h"
#include "platform/Timers.h"
#include "record/Judge.h"
#include "record/ReadingTable.h"
#include "record/Recording.h"
#include "record/Statistics.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tolmar {

class Architecture;
class HidPlatform;
class Locale;
class Prompts;
class Shell;
class UiDispatcher;

// The outside world as the main window sees it.
struct MainFormPlatform {
    TimerEngine &timers;
    Clock &clock;
    Locale &locale;
    Prompts &prompts;
    Shell &shell;
    const Architecture &architecture;
    HidPlatform &hid;          // the HID devices: hidraw, or the simulated meter
    UiDispatcher &dispatcher;  // how the HID reader reaches the UI thread
    // The file dialogs and the workers of long file work; without them no
    // dialog opens and file work runs at once on the calling thread.
    FileDialogs *fileDialogs = nullptr;
    BackgroundWork *fileWork = nullptr;
    // The chart as the window shows it; without it btnSave does nothing.
    ChartPictureSource *chartPictureSource = nullptr;
    // The print preview; without it BtPrint does nothing.
    ReportPreview *reportPreview = nullptr;
    // Where the session journal is kept; empty: no journal.
    std::string journalFolder = {};
    // Restore a crashed session without asking.
    bool restoreWithoutAsking = false;
    // Click "USB Connection" once start-up is through (a crashed session's
    // records back first).
    bool connectAtStart = false;
    // The cable to take (`--device`): its port or its index; empty: the
    // last free "USB to Serial" cable.
    std::string device = {};
};

// What the main window shows, as plain data.
struct MainFormState {
    std::string caption = "Dravik V3.0.1"; // replaced by start-up
    std::array<std::string, 3> statusPanels; // "Ready ", frame length, clock
    // Controls the program keeps as hidden state holders.
    bool Memo1Visible = true;
    bool B2400Visible = true;
    bool B4800Visible = true;
    bool B9600Visible = true;
    std::string systeminfomation; // the system-default decimal separator
    bool aboutVisible = false;    // the about box TForm1
    LcdState lcd; // the virtual LCD Panel4 and the link activity lamp
};

// The main window TFCOMM without its widgets: all state and every handler, in
// the order the program runs them. The Qt window forwards its events here and
// paints state(); tests drive it on virtual time.
class MainForm : private LcdDisplayPeers, private UsbLinkPeers {
public:
    static constexpr const char *applicationTitle = "Tolmar";
    static constexpr const char *captionText = "Tolmar Interface Program Ver 3.01";
    static constexpr const char *quitQuestion = "Are you sure you want to end Tolmar program?";
    static constexpr const char *closeQuestion = "You are ready to end  Dravik  application?";
    static constexpr const char *helpFileName = "Dravik.chm";
    // The HTML user guide, relative to the program's folder: as installed
    // (<prefix>/bin/tolmar), and in the source tree of a build folder beside
    // docs/ (build/app/tolmar).
    static constexpr const char *installedGuide = "../share/doc/tolmar/guide/index.html";
    static constexpr const char *sourceTreeGuide = "../../docs/guide/index.html";

    MainForm(const MainFormPlatform &platform, MainFormView &view);
    MainForm(const MainForm &) = delete;
    MainForm &operator=(const MainForm &) = delete;

    const MainFormState &state() const { return m_state; }
    const MeterReading &reading() const { return m_reading; }
    const FrameAssembler &assembler() const { return m_assembler; }
    const HistoryLog &HistoryListBox() const { return m_history; }
    int ConTickCount = 0; // the link timer's tick divider

    // Told after every display update: the reading, and the error that
    // stopped the update, if one did.
    using FrameObserver = std::function<void(const MeterReading &, const std::optional<DecodeError> &, bool longFrame)>;
    void setFrameObserver(FrameObserver observer) { m_frameObserver = std::move(observer); }

    // Handlers, named after the control and the event.
    void FormCreate();
    bool FormCloseQuery(); // true: the window may close
    void FormResize() {}
    void BitBtn1Click();   // the quit button
    void Timer3Timer();    // the status-bar clock
    void modelClick();     // Help > About
    void manualClick();    // Help > Software Help
    void TntBitBtn1Click(); // the about box's QUIT
    void TForm1Close();    // the about box closed from its title bar
    // One input report of the connected bridge.
    void HidCtlDeviceData(std::uint8_t reportId, const std::uint8_t *data, std::size_t size) override;
    // The link timer (100 ms): every third tick without a frame in between
    // the link looks at the meter's silence and the lamp goes dark.
    void ConTimerTimer();
    // A click on the connect toggle USBCon, which has already flipped to `down`.
    void USBConClick(bool down);
    // Connect > START (Ctrl+A): the same as a click on the toggle.
    void START1Click() { USBConClick(!link().USBConDown); }

    UsbLink &link() { return *m_link; }
    const UsbLink &link() const { return *m_link; }

    // The main window's timers.
    Timer ConTimer;
    Timer Trecord;
    Timer Timer1;
    Timer Timer2;
    Timer timerChange;
    Timer Timer3;
    Timer Timer4;

    // The judge panel Panel6, the chart Chart1 with its pager, and the group
    // "Graphic Control". Declared after the timers they run on.
    PointStore Chart1;
    GraphicControl graphicControl;
    Judge judge;
    // The reading table, the grid DBGrid1 shows it; recording fills it.
    ReadingTable cds1;
    // The statistics of cds1 by function and unit: each recorded record
    // updates them, a load or a restore computes them anew, Close Data
    // empties them.
    Statistics statistics;
    // The judge's limits as numbers; none while either is no number.
    std::optional<StatisticsLimits> statisticsLimits() const;
    // Told after statistics changed (a record, a clear, a recompute); a
    // change of limits is told by the window's stateChanged.
    std::function<void()> onStatisticsChanged;
    Recording recording;
    // RecordNew ("Close Data") and the chart's btnNew.
    void RecordNewClick() { recording.ClearReadingTable(); }
    void btnNewClick() { recording.ClearReadingTable(); }

private:
    NoFileDialogs m_noFileDialogs;
    InlineBackgroundWork m_inlineFileWork;

public:
    // The buttons OpenDataFiles and saveas, and their dialogs.
    DataFiles dataFiles;
    // The chart's btnSave and its dialog.
    ChartPicture chartPicture;
    // BtPrint: the report QuickRep1 in its print preview.
    ReportPrinting report;
    void BtPrintClick() { report.BtPrintClick(); }
    // The crash-safe session: the journal of the table, restored after a crash.
    Session session;
    // The trend's summary of the table, kept up as records come.
    TrendFeed trend;

private:
    void changed() { m_view.stateChanged(); }
    // Statistics of the whole table on the file work's worker; records
    // recorded meanwhile are added when it ends.
    void recomputeStatistics(bool replaced);
    void statisticsChanged();
    std::optional<DecodeError> LcdDisplayFrame(const std::string &frameText);
    void SendDataClick();

    // What the display update drives beyond the LCD.
    void resetLinkTickDivider() override;
    void SetMaxValue(int value) override;
    void SetMinValue(int value) override;
    bool JudgeReading() override;
    std::string T1VALUE() const override;
    void showWaveformValue(const std::string &valueText, const std::string &unitText) override;
    void showPageControls() override;
    void INDataToTable() override;
    void INDataToTable1() override;
    void showWaveformPage(const std::array<int, MeterReading::waveformLength> &samples) override;

    // What the link tells the window.
    void linkClicked() override;
    void linkConnecting() override;
    void linkDisconnected() override;
    long requestIdleCount() const override { return m_assembler.RequestIdleCount; }
    long timeoutIdleCount() const override { return m_assembler.TimeoutIdleCount; }
    void requestResent() override;
    void meterSilent() override;
    void linkChanged() override { changed(); }

    MainFormPlatform m_platform;
    MainFormView &m_view;
    MainFormState m_state;
    MeterReading m_reading;
    HistoryLog m_history; // the link log
    FrameAssembler m_assembler;
    FrameObserver m_frameObserver;
    std::uint64_t m_statisticsJob = 0; // the newest recompute; older ones are dropped
    // Last: its controller's first device-change pass uses everything above.
    std::unique_ptr<UsbLink> m_link;
};

// "yyyy-MM-dd   hh:mm:ss  ddd " with the given abbreviated day name.
std::string formatStatusClock(const LocalDateTime &t, const std::string &dayName);

} // namespace tolmar
