#pragma once

// The main window's core connected to a passive bridge on virtual time: a
// test plays meter frames into it as the bridge delivers them, one report a
// millisecond, and reads the reading table and the chart.
#include "app/MainForm.h"
#include "meter/FrameBuilder.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/passive/PassiveBridgePlatform.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/UiDispatcher.h"
#include "platform/virtual/VirtualTime.h"

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

namespace tolmar::test {

struct CountingView : MainFormView {
    void stateChanged() override { ++changes; }
    void terminateApplication() override {}
    void showStatusMessage(const std::string &text) override { statusMessages.push_back(text); }
    int changes = 0;
    std::vector<std::string> statusMessages;
};

// A V DC reading "dd.dd" for n = 0..9999, so consecutive n differ.
inline std::string voltFrame(int n)
{
    char display[16];
    std::snprintf(display, sizeof display, " %02d.%02d ", n / 100 % 100, n % 100);
    return shortFrame('0', '0', display);
}

struct RecordingSession {
    VirtualTime time{LocalDateTime{2024, 3, 5, 14, 0, 0, 0, 2}};
    FixedLocale locale;
    ScriptedPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture{true};
    PassiveBridgePlatform bridge;
    InlineUiDispatcher dispatcher;
    CountingView view;
    MainForm form;

    // With a journal folder the window keeps its session journal there, and
    // answers the questions of its start-up from `answers`.
    // File work runs on `fileWork` when given, else at once.
    explicit RecordingSession(std::string journalFolder = {}, std::deque<PromptAnswer> answers = {},
                              BackgroundWork *fileWork = nullptr)
        : form(MainFormPlatform{.timers = time, .clock = time, .locale = locale, .prompts = prompts, .shell = shell,
                                .architecture = architecture, .hid = bridge, .dispatcher = dispatcher,
                                .fileWork = fileWork, .journalFolder = std::move(journalFolder)},
               view)
    {
        prompts.answers = std::move(answers);
        form.FormCreate();
        form.USBConClick(true);
    }
    ~RecordingSession()
    {
        if (form.link().USBConDown)
            form.USBConClick(false);
    }

    Recording &recording() { return form.recording; }
    const ReadingTable &table() const { return form.cds1; }

    // One report a millisecond: each burst of up to 7 frame bytes, then a
    // report without payload that closes it.
    void play(const std::string &frameHex)
    {
        for (std::size_t at = 0; at < frameHex.size(); at += 14) {
            std::vector<std::uint8_t> report(8, 0);
            const std::size_t bytes = std::min<std::size_t>(7, (frameHex.size() - at) / 2);
            report[0] = static_cast<std::uint8_t>(bytes);
            for (std::size_t i = 0; i < bytes; ++i)
                report[1 + i] = static_cast<std::uint8_t>(std::stoi(frameHex.substr(at + 2 * i, 2), nullptr, 16));
            deliver(report);
            deliver(std::vector<std::uint8_t>(8, 0));
        }
    }
    void deliver(const std::vector<std::uint8_t> &report)
    {
        time.advance(1);
        form.HidCtlDeviceData(0, report.data(), report.size());
    }
    // Plays the frame, then lets time run to `periodMs` after its start.
    void playEvery(const std::string &frameHex, int periodMs)
    {
        const std::int64_t start = time.elapsedMs();
        play(frameHex);
        time.advance(start + periodMs - time.elapsedMs());
    }

    std::vector<int> numbers() const
    {
        std::vector<int> result;
        for (std::size_t i = 0; i < table().size(); ++i)
            result.push_back(table().at(i).No.value_or(-1));
        return result;
    }
    // Chart values handed over by recording (the placeholder point left out).
    std::int64_t chartValues() const { return form.Chart1.count(0) - 1; }
};

} // namespace tolmar::test
