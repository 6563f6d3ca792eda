// Arbitrary bytes as the bridge's input reports, through the main window's
// core: frame assembly, the display update, the judge, recording into the
// table and the chart. A meter that sends garbage, cut frames or a frame
// split anywhere must never crash the program or grow its memory without
// bound.
//
// The input is a list of steps. A step byte of 0xFF advances the virtual
// clock by the next byte times 10 ms (recording timers, the link timers);
// 0xFE toggles "Sampling Interval" (every frame or each interval); any other
// byte b is a report of 1 + (b & 0x0F) data bytes that follow.
#include "app/MainForm.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/NoHidPlatform.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/UiDispatcher.h"
#include "platform/virtual/VirtualTime.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace tolmar {
namespace {

struct QuietView : MainFormView {
    void stateChanged() override {}
    void terminateApplication() override {}
};

// Bounded where a real box log would grow with every prompt the fuzzer raises.
class CountingPrompts final : public Prompts {
public:
    using Prompts::show;
    PromptAnswer show(PromptIcon, const std::string &, PromptButtons buttons, const std::string &) override
    {
        ++shown;
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
    std::uint64_t shown = 0;
};

struct Window {
    VirtualTime time;
    FixedLocale locale{","}; // a separator other than the frame's own point
    CountingPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture{true};
    NoHidPlatform noHid;
    InlineUiDispatcher dispatcher;
    QuietView view;
    MainForm form{MainFormPlatform{time, time, locale, prompts, shell, architecture, noHid, dispatcher}, view};
    Window()
    {
        form.FormCreate();
        form.recording.limitessClick();
    }
};

} // namespace
} // namespace tolmar

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace tolmar;
    Window w;
    bool everyFrame = false;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t step = data[i++];
        if (step == 0xFF) {
            if (i < size)
                w.time.advance(static_cast<std::int64_t>(data[i++]) * 10);
        } else if (step == 0xFE) {
            everyFrame = !everyFrame;
            w.form.recording.RecordSIClick(!everyFrame);
        } else {
            const std::size_t length = std::min<std::size_t>(1 + (step & 0x0F), size - i);
            w.form.HidCtlDeviceData(0, data + i, length);
            i += length;
        }
    }
    // Every record appended came from one whole frame: its number runs on.
    const ReadingTable &table = w.form.cds1;
    for (std::size_t r = 1; r < table.size(); ++r) {
        const ReadingRecord a = table.at(r - 1), b = table.at(r);
        if (a.No && b.No && *b.No <= *a.No) {
            std::fprintf(stderr, "fuzz check failed: record %zu numbered %d after %d\n", r, *b.No, *a.No);
            std::abort();
        }
    }
    if (w.form.assembler().ReadingFrame().size() > 4096) {
        std::fprintf(stderr, "fuzz check failed: frame text of %zu bytes kept\n",
                     w.form.assembler().ReadingFrame().size());
        std::abort();
    }
    return 0;
}
