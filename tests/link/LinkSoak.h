#pragma once

// The window's core over the simulated meter on the whole live path (the
// controller's reader thread, its hand-overs, device notifications), run in
// lock-step on virtual time and recording every frame without a limit, with
// checks on every decoded frame:
//   - the frame text is one the meter sent, whole, and later than the last
//     one shown (no cut or mixed frame, nothing shown twice);
//   - the frame made exactly one record holding its reading, or none when
//     "Repeat" suppressed it, and the numbering moved by exactly one;
//   - a frame that did not decode made no record and took no number.
// The first fault found is kept as text; the tests and bench/SoakBench.cpp
// share it.
#include "app/MainForm.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/UiDispatcher.h"
#include "platform/sim/SimulatedHidPlatform.h"
#include "platform/sim/SimulatedRun.h"
#include "platform/virtual/VirtualTime.h"

#include <dirent.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tolmar::test {

// Threads of this process.
inline int threadCount()
{
    int count = 0;
    if (DIR *tasks = ::opendir("/proc/self/task")) {
        while (const dirent *entry = ::readdir(tasks))
            count += entry->d_name[0] != '.';
        ::closedir(tasks);
    }
    return count;
}

// Threads of this process once those that were joined have left the list.
// pthread_join returns when the kernel wakes it from the thread's exit, but
// the kernel lists the thread in /proc/self/task until the very end of that
// exit: a count taken right after a join sometimes still sees it (tens of
// microseconds here; longer on a busy machine). So a count above `expected`
// is taken again for up to `limit`; a thread that is still running stays.
inline int threadCountSettled(int expected, std::chrono::milliseconds limit = std::chrono::seconds(2))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int count = threadCount();
    while (count > expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        count = threadCount();
    }
    return count;
}

// Ends the process with a message when an armed step outlives its limit: a
// hang fails the run and names the step instead of stopping it for good.
class Watchdog {
public:
    Watchdog() : m_thread([this] { watch(); }) {}
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

    void arm(std::string step, std::chrono::milliseconds limit)
    {
        {
            std::lock_guard lock(m_mutex);
            m_step = std::move(step);
            m_deadline = std::chrono::steady_clock::now() + limit;
        }
        m_changed.notify_all();
    }

private:
    void watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_quit) {
            if (std::chrono::steady_clock::now() >= m_deadline) {
                std::fprintf(stderr, "hung: %s\n", m_step.c_str());
                std::abort();
            }
            m_changed.wait_until(lock, m_deadline);
        }
    }

    std::mutex m_mutex; // guards everything below
    std::condition_variable m_changed;
    std::string m_step;
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::now() + std::chrono::hours(24 * 365);
    bool m_quit = false;
    std::thread m_thread; // last: it reads the members above
};

// Boxes answered as a user would (OK, and No to a question). A box can be
// kept open for a while: whileOpen(ms) then runs inside it, as the timers and
// hand-overs run inside a modal box's own event loop.
class SoakPrompts final : public Prompts {
public:
    using Prompts::show;
    PromptAnswer show(PromptIcon, const std::string &text, PromptButtons buttons, const std::string &) override
    {
        texts.push_back(text);
        if (openForMs > 0 && whileOpen) {
            const std::int64_t ms = openForMs;
            openForMs = 0;
            whileOpen(ms);
        }
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }

    std::vector<std::string> texts;
    std::int64_t openForMs = 0; // the next box stays open this long
    std::function<void(std::int64_t ms)> whileOpen;
};

struct SoakView : MainFormView {
    void stateChanged() override {}
    void terminateApplication() override {}
};

class LinkSoak {
public:
    struct Options {
        sim::Options meter = {};
        bool repeat = false; // "Repeat" ticked: equal readings in a row are suppressed
    };

    LinkSoak() : LinkSoak(Options()) {}
    explicit LinkSoak(const Options &options) : m_options(options), sim(options.meter)
    {
        form.emplace(MainFormPlatform{time, time, locale, prompts, shell, architecture, sim, ui}, view);
        form->FormCreate();
        run.emplace(time, sim, ui);
        form->recording.RecordSIClick(false); // every frame
        form->recording.limitessClick();
        if (options.repeat)
            form->recording.RepeatSetClick(true);
        form->setFrameObserver([this](const MeterReading &reading, const std::optional<DecodeError> &error, bool) {
            checkFrame(reading, error);
        });
        prompts.whileOpen = [this](std::int64_t ms) { advance(ms); };
        m_threadsAtRest = threadCount();
        m_watchdog.arm("the session", sessionLimit);
    }
    ~LinkSoak()
    {
        if (form->link().USBConDown)
            form->USBConClick(false);
        run.reset();
        form.reset();
    }
    LinkSoak(const LinkSoak &) = delete;
    LinkSoak &operator=(const LinkSoak &) = delete;

    UsbLink &link() { return form->link(); }
    void advance(std::int64_t ms) { run->advance(ms); }
    // A click on the toggle, which has flipped to `down`.
    std::string click(bool down)
    {
        form->USBConClick(down);
        TJvHidDevice *bridge = link().USBConDown ? link().SelectedDevice : nullptr;
        const bool restarted = bridge && bridge == m_lastReading;
        m_lastReading = bridge ? bridge : m_lastReading;
        if (!restarted)
            return {};
        // A reader started again on the device it read before takes over
        // the read handle kept open meanwhile, whose queue holds the reports
        // of the time in between. Until the new thread starts its first read
        // that queue still looks idle to the lock-step run, which would race
        // ahead and drop every report: wait for the first hand-over.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ui.pending() == 0 && sim.readersCaughtUp()) {
            if (std::chrono::steady_clock::now() > deadline)
                return "the reader started again did not hand over the queued reports";
            ui.waitForPost(std::chrono::microseconds(200));
        }
        return {};
    }
    void handleDeviceChange()
    {
        link().HidCtl.HandleDeviceNotifications();
        m_lastReading = nullptr; // the device objects are new ones
    }

    // Runs until `frames` more frames have decoded, at most `limitMs`.
    bool readFrames(long frames, std::int64_t limitMs = 5000)
    {
        const long target = m_decoded + frames;
        for (std::int64_t ms = 0; m_decoded < target && ms < limitMs; ms += 10)
            advance(10);
        return m_decoded >= target;
    }

    // The UI thread busy for `ms` without running its event loop: hand-overs
    // and timers wait, the bridge's reports pile up in the reader's queue,
    // which keeps 64 and drops the rest, as hidraw does. Then the missed
    // timer periods come due and the hand-overs run.
    void stall(std::int64_t ms)
    {
        const std::int64_t from = time.elapsedMs();
        for (std::int64_t t = 1; t <= ms; ++t)
            sim.advanceTo(from + t);
        time.advance(ms);
        run->settle();
    }

    // One unplug and replug of the cable while recording; `cycle` varies the
    // moment of the unplug within a frame and the time unplugged. "" or what
    // went wrong.
    std::string replugCycle(int cycle)
    {
        const std::string at = "cycle " + std::to_string(cycle) + ": ";
        m_watchdog.arm(at + "connect and read", std::chrono::seconds(30));
        if (link().USBConDown)
            return at + "the toggle is down before the click";
        if (link().DevListIndex < 0 || !link().DevListBox[static_cast<std::size_t>(link().DevListIndex)].device)
            return at + "no bridge selected";
        if (const std::string fault = click(true); !fault.empty())
            return at + fault;
        if (!link().USBConDown || link().USBConCaption != UsbLink::disconnectCaption || !link().SelectedDevice
            || !link().SelectedDevice->HasReader())
            return at + "the click did not connect";
        const std::size_t records = form->cds1.size();
        if (!readFrames(2))
            return at + "readings did not resume";
        // With "Repeat" the frames may all have equalled the last record.
        if (!m_options.repeat && form->cds1.size() < records + 2)
            return at + "records did not resume";
        advance(cycle * 37 % 250); // the cable goes at any point of a frame

        m_watchdog.arm(at + "unplug", std::chrono::seconds(30));
        sim.unplug();
        handleDeviceChange();
        advance(20);
        if (link().USBConDown)
            return at + "the toggle is still down after the removal";
        if (!link().DevListBox.empty() || link().HidCtl.DeviceCount() != 0)
            return at + "a device object is left behind";
        // Every reader thread was joined, so none outlives its device...
        if (const int readers = link().HidCtl.ReaderThreads(); readers != 0)
            return at + std::to_string(readers) + " reader thread(s) not joined";
        // ...and none runs on unseen.
        if (const int threads = threadCountSettled(m_threadsAtRest); threads > m_threadsAtRest)
            return at + "a reader thread is left behind (" + std::to_string(threads) + " threads, "
                + std::to_string(m_threadsAtRest) + " at rest)";
        advance(cycle * 53 % 300);

        m_watchdog.arm(at + "replug", std::chrono::seconds(30));
        sim.replug();
        handleDeviceChange();
        m_watchdog.arm("the session after " + at, sessionLimit);
        if (link().DevListIndex != 0 || link().HidCtl.DeviceCount() != 1)
            return at + "the replugged bridge is not selected";
        if (!prompts.texts.empty())
            return at + "a box was shown: " + prompts.texts.front();
        return m_fault.empty() ? std::string() : at + m_fault;
    }

    // The first fault the frame checks found, "" for none; and the table's
    // numbering checked record by record.
    std::string check() const
    {
        if (!m_fault.empty())
            return m_fault;
        const ReadingTable &table = form->cds1;
        for (std::size_t i = 1; i < table.size(); ++i) {
            const int before = table.at(i - 1).No.value_or(-1);
            const int no = table.at(i).No.value_or(-1);
            if (m_options.repeat ? no <= before : no != before + 1)
                return "record " + std::to_string(i) + " is numbered " + std::to_string(no) + " after "
                    + std::to_string(before);
        }
        if (table.size() != static_cast<std::size_t>(m_recorded))
            return "the table holds " + std::to_string(table.size()) + " records, the frames made "
                + std::to_string(m_recorded);
        return {};
    }

    long decoded() const { return m_decoded; }
    long failedDecodes() const { return m_failed; }
    long records() const { return m_recorded; }
    long suppressed() const { return m_suppressed; }

private:
    static std::string hexText(const std::vector<std::uint8_t> &bytes)
    {
        static const char digits[] = "0123456789ABCDEF";
        std::string text;
        for (const std::uint8_t b : bytes) {
            text += digits[b >> 4];
            text += digits[b & 0x0F];
        }
        return text;
    }

    void fault(const std::string &what)
    {
        if (m_fault.empty())
            m_fault = "frame " + std::to_string(m_decoded + m_failed) + ": " + what;
    }

    void checkFrame(const MeterReading &reading, const std::optional<DecodeError> &error)
    {
        const std::size_t size = form->cds1.size();
        const int next = form->recording.NextRecordNo;
        if (error) {
            ++m_failed;
            if (size != m_tableSize || next != m_nextNo)
                fault("a frame that did not decode was recorded");
            return;
        }
        ++m_decoded;

        const std::string &text = form->assembler().ReadingFrame();
        bool sent = false;
        for (const sim::SentFrame &frame : sim.sentFrames()) {
            if (frame.atMs > m_lastSentAtMs && hexText(frame.bytes) == text) {
                m_lastSentAtMs = frame.atMs;
                sent = true;
                break;
            }
        }
        if (!sent)
            fault("the meter never sent this frame whole after the last one shown: " + text);

        if (next != m_nextNo + 1)
            fault("the numbering moved by " + std::to_string(next - m_nextNo));
        if (size == m_tableSize + 1) {
            const ReadingRecord record = form->cds1.at(size - 1);
            if (record.No != m_nextNo || record.Value != reading.ValueText || record.Unit != reading.UnitText
                || record.DCAC != reading.FunctionText)
                fault("the record does not hold the reading");
            ++m_recorded;
        } else if (size == m_tableSize) {
            const std::string key = reading.ValueText + reading.FunctionText + reading.UnitText + reading.RangeModeText;
            if (!m_options.repeat)
                fault("the frame made no record");
            else if (key != form->recording.LastRecordKey)
                fault("a reading unlike the last record was suppressed");
            ++m_suppressed;
        } else {
            fault("one frame made " + std::to_string(size - m_tableSize) + " records");
        }
        m_tableSize = size;
        m_nextNo = next;
    }

    // Far beyond a test's few seconds, also under the sanitizers.
    static constexpr std::chrono::seconds sessionLimit{120};

    Options m_options;
    Watchdog m_watchdog; // before the reader threads and after them

public:
    VirtualTime time;
    FixedLocale locale;
    SoakPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture{true};
    ManualUiDispatcher ui;
    SoakView view;
    SimulatedHidPlatform sim;
    std::optional<MainForm> form;
    std::optional<SimulatedRun> run;

private:
    int m_threadsAtRest = 0;
    TJvHidDevice *m_lastReading = nullptr; // the device read at the last connect
    std::size_t m_tableSize = 0;
    int m_nextNo = 0;
    std::int64_t m_lastSentAtMs = -1;
    long m_decoded = 0;
    long m_failed = 0;
    long m_recorded = 0;
    long m_suppressed = 0;
    std::string m_fault;
};

} // namespace tolmar::test
