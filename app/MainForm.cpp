#include "app/MainForm.h"

#include "platform/Architecture.h"
#include "platform/Clock.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/SystemFiles.h"
#include "meter/ReadingFrame.h"

#include <cstdio>
#include <filesystem>

namespace tolmar {

MainForm::MainForm(const MainFormPlatform &platform, MainFormView &view)
    : ConTimer(platform.timers, 100, true)
    , Trecord(platform.timers, 1000, true)
    , Timer1(platform.timers, 1000, false)
    , Timer2(platform.timers, 1000, false)
    , timerChange(platform.timers, 1000, false)
    , Timer3(platform.timers, 1000, true)
    , Timer4(platform.timers, 2000, true)
    , graphicControl(Chart1, timerChange, platform.prompts)
    , judge(Timer4, platform.prompts, platform.locale)
    , recording(cds1, {m_reading, Timer1, Timer2, Trecord, platform.clock, platform.locale, platform.prompts,
                       graphicControl})
    , dataFiles(cds1, {platform.locale, platform.prompts, platform.fileDialogs ? *platform.fileDialogs : m_noFileDialogs,
                       platform.fileWork ? *platform.fileWork : m_inlineFileWork})
    , chartPicture({platform.prompts, platform.fileDialogs ? *platform.fileDialogs : m_noFileDialogs,
                    platform.chartPictureSource})
    , report(cds1, platform.locale, platform.reportPreview)
    , session(platform.journalFolder,
              {cds1, recording, graphicControl, platform.prompts,
               platform.fileWork ? *platform.fileWork : m_inlineFileWork, platform.clock,
               [this] {
                   trend.sync();
                   m_view.tableReplaced();
                   recomputeStatistics(true); // a crashed session's records came back
               },
               [this](const std::string &text) { m_view.showStatusMessage(text); }})
    , trend(cds1, platform.fileWork ? *platform.fileWork : m_inlineFileWork)
    , m_platform(platform)
    , m_view(view)
    , m_assembler(m_state.statusPanels[1], m_history,
                  {[this](const std::string &frame) { return LcdDisplayFrame(frame); }, [this] { SendDataClick(); }})
{
    // The controller is created while the window is built, so the device
    // list is filled and the bridge selected before the window shows.
    m_link = std::make_unique<UsbLink>(platform.hid, platform.dispatcher,
                                       UsbLink::Window{platform.prompts, m_history, *this});
    ConTimer.setOnTimer([this] { ConTimerTimer(); });
    Timer3.setOnTimer([this] { Timer3Timer(); });
    graphicControl.onChanged = [this] { changed(); };
    judge.onChanged = [this] { changed(); };
    recording.onChanged = [this] { changed(); };
    recording.onConsidered = [this](std::optional<std::size_t> index, std::optional<double> chartValue) {
        session.considered(index, chartValue);
        if (index) {
            trend.sync();
            // Read with the separator the record's value was made with.
            statistics.setDecimalSeparator(m_platform.locale.decimalSeparator());
            statistics.add(cds1.at(*index), cds1.dateOf(*index));
            statisticsChanged();
        }
    };
    recording.onCleared = [this] {
        session.cleared();
        trend.sync();
        ++m_statisticsJob; // a recompute still running counted the records just cleared
        statistics.clear();
        statisticsChanged();
    };
    if (!platform.device.empty())
        m_link->chooseDevice(platform.device);
    session.restoreWithoutAsking = platform.restoreWithoutAsking;
    if (platform.connectAtStart)
        session.onSettled = [this] { START1Click(); };
    dataFiles.onTableChanged = [this](bool replaced) {
        session.tableChanged();
        trend.sync();
        if (replaced)
            m_view.tableReplaced();
        recomputeStatistics(replaced);
        changed();
    };
    dataFiles.onExported = [this] { m_view.tableExported(); };
    report.onPreviewClosed = [this] { m_view.repaintWindow(); };
}

void MainForm::FormCreate()
{
    // Controls that only hold state are never seen.
    m_state.Memo1Visible = false;
    m_state.B2400Visible = false;
    m_state.B4800Visible = false;
    m_state.B9600Visible = false;

    // The reading table opens empty; numbering starts at 0, the limit at 10000.
    recording.start();

    graphicControl.createChartPager(); // 160 points per page

    // The limit edits filter keys with the system-default separator; an
    // unreadable locale leaves the box empty.
    m_state.systeminfomation = m_platform.locale.systemDecimalSeparator().value_or("");

    graphicControl.resetSeries();
    Timer4.setEnabled(false);
    m_state.statusPanels[0] = "Ready ";
    m_state.caption = captionText;
    graphicControl.setStartVerticalRange(); // -40..+40
    m_state.caption += architectureSuffix(m_platform.architecture);
    changed();
    // The journal of this window, and the offer of a crashed one's records.
    session.start();
}

bool MainForm::FormCloseQuery()
{
    const PromptAnswer answer =
        m_platform.prompts.show(PromptIcon::Confirmation, closeQuestion, PromptButtons::YesNo);
    // Only an explicit No keeps the window open; only a Yes is a normal end.
    if (answer == PromptAnswer::Yes)
        session.end();
    return answer != PromptAnswer::No;
}

void MainForm::BitBtn1Click()
{
    const PromptAnswer answer = m_platform.prompts.show(PromptIcon::Information, quitQuestion, PromptButtons::YesNo);
    if (answer == PromptAnswer::Yes) {
        session.end();
        m_view.terminateApplication();
    }
}

void MainForm::Timer3Timer()
{
    const LocalDateTime now = m_platform.clock.now();
    m_state.statusPanels[2] = formatStatusClock(now, m_platform.locale.shortDayName(now.dayOfWeek));
    session.poll();
    changed();
}

void MainForm::modelClick()
{
    m_state.aboutVisible = true;
    changed();
}

void MainForm::TntBitBtn1Click()
{
    m_state.aboutVisible = false;
    changed();
}

void MainForm::TForm1Close()
{
    TntBitBtn1Click();
}

void MainForm::manualClick()
{
    Shell &shell = m_platform.shell;
    const std::string directory = shell.programDirectory();
    const std::string helpFile = directory + "/" + helpFileName;
    if (!shell.exists(helpFile)) {
        for (const char *guide : {installedGuide, sourceTreeGuide}) {
            // Without the "..": the browser shows the path it is given.
            // With '/' on every system: the shell takes the native form.
            const std::string path = genericPathText(filePath(directory + "/" + guide).lexically_normal());
            if (shell.exists(path)) {
                shell.openDocument(path);
                return;
            }
        }
    }
    // The help file where it is; with no guide either, it is asked for all
    // the same, as it always was: the shell opens nothing for a missing file.
    shell.openDocument(helpFile);
}

void MainForm::HidCtlDeviceData(std::uint8_t reportId, const std::uint8_t *data, std::size_t size)
{
    const bool burstOpen = m_assembler.BurstPending;
    m_assembler.HidCtlDeviceData(reportId, data, size);
    // Only the report that closes a burst changes what the window shows.
    if (burstOpen && !m_assembler.BurstPending)
        changed();
}

std::optional<DecodeError> MainForm::LcdDisplayFrame(const std::string &frameText)
{
    LcdDisplay display(m_reading, m_state.lcd, m_platform.locale, *this);
    auto error = display.run(frameText);
    if (m_frameObserver)
        m_frameObserver(m_reading, error, frameText.size() == frame::longFrameLength);
    return error;
}

void MainForm::SendDataClick()
{
    m_link->SendDataClick();
}

void MainForm::ConTimerTimer()
{
    if (ConTickCount != 2) {
        ++ConTickCount;
        return;
    }
    m_link->watchIdle();
    // No frame for three ticks: the lamp is dark until the next one.
    m_state.lcd.CONok = false;
    m_state.lcd.CONokN = true;
    ConTickCount = 0;
    changed();
}

void MainForm::linkClicked()
{
    m_assembler.restartIdleCounts();
}

void MainForm::linkConnecting()
{
    m_assembler.dropBurst();
}

void MainForm::linkDisconnected()
{
    // Recording stops with the link.
    Timer1.setEnabled(false);
    Timer2.setEnabled(false);
}

void MainForm::requestResent()
{
    m_assembler.RequestIdleCount = 0;
}

void MainForm::meterSilent()
{
    m_assembler.TimeoutIdleCount = 0;
}

void MainForm::USBConClick(bool down)
{
    m_link->USBConDown = down;
    m_link->USBConClick();
}

void MainForm::resetLinkTickDivider()
{
    ConTickCount = 0;
}

void MainForm::SetMaxValue(int value)
{
    graphicControl.ChartPager().SetMaxValue(value);
}

void MainForm::SetMinValue(int value)
{
    graphicControl.ChartPager().SetMinValue(value);
}

void MainForm::showWaveformValue(const std::string &valueText, const std::string &unitText)
{
    graphicControl.showWaveformValue(valueText, unitText);
}

void MainForm::showPageControls()
{
    graphicControl.showPageControls();
}

void MainForm::showWaveformPage(const std::array<int, MeterReading::waveformLength> &samples)
{
    graphicControl.buildWaveformPage(samples);
}

bool MainForm::JudgeReading()
{
    judge.JudgeReading(m_reading);
    return true;
}

std::string MainForm::T1VALUE() const
{
    return judge.state().T1VALUE;
}

void MainForm::INDataToTable()
{
    recording.INDataToTable();
}

void MainForm::INDataToTable1()
{
    recording.INDataToTable1();
}

std::optional<StatisticsLimits> MainForm::statisticsLimits() const
{
    const auto high = judge.number(judge.state().T1HI);
    const auto low = judge.number(judge.state().T1LO);
    if (!high || !low)
        return std::nullopt;
    return StatisticsLimits{*high, *low};
}

void MainForm::statisticsChanged()
{
    if (onStatisticsChanged)
        onStatisticsChanged();
}

void MainForm::recomputeStatistics(bool replaced)
{
    const std::uint64_t job = ++m_statisticsJob;
    const std::uint64_t generation = cds1.generation();
    // The figures of a replaced table say nothing of the new one: none
    // until the new ones are in.
    if (replaced) {
        statistics.clear();
        statisticsChanged();
    }
    struct Work {
        ReadingTableSnapshot rows;
        std::string separator;
        std::optional<Statistics> result;
    };
    auto work = std::make_shared<Work>(Work{cds1.snapshot(), m_platform.locale.decimalSeparator(), std::nullopt});
    auto progress = std::make_shared<WorkProgress>();
    BackgroundWork &worker = m_platform.fileWork ? *m_platform.fileWork : m_inlineFileWork;
    worker.start(
        "Statistics", progress,
        [work, progress] {
            try {
                work->result = Statistics::recompute(work->rows, work->separator, progress.get());
            } catch (const std::exception &) {
                work->result.reset(); // out of memory: the statistics stay as they are
            }
        },
        [this, job, generation, work] {
            // A later load, restore or clear has its own recompute.
            if (job != m_statisticsJob || generation != cds1.generation() || !work->result)
                return;
            Statistics fresh = std::move(*work->result);
            fresh.addRows(cds1.snapshot(), work->rows.size(), cds1.size());
            statistics = std::move(fresh);
            statisticsChanged();
        });
}

std::string formatStatusClock(const LocalDateTime &t, const std::string &dayName)
{
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d   %02d:%02d:%02d  ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text + dayName + " ";
}

} // namespace tolmar
