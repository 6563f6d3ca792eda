#pragma once

// The real main window on virtual time, a fixed locale, scripted prompts and
// file dialogs, and no HID devices, for the window tests. File work runs at
// once unless a test passes its own workers.
#include "app/qt/Brevon.h"
#include "platform/Architecture.h"
#include "platform/BackgroundWork.h"
#include "platform/FileDialogs.h"
#include "platform/Locale.h"
#include "platform/NoHidPlatform.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/UiDispatcher.h"
#include "platform/virtual/VirtualTime.h"

namespace tolmar::test {

struct OffscreenWindow {
    explicit OffscreenWindow(BackgroundWork *fileWork = nullptr, ReportPreview *reportPreview = nullptr)
        : window(MainFormPlatform{.timers = time,
                                  .clock = time,
                                  .locale = locale,
                                  .prompts = prompts,
                                  .shell = shell,
                                  .architecture = architecture,
                                  .hid = noHid,
                                  .dispatcher = dispatcher,
                                  .fileDialogs = &fileDialogs,
                                  .fileWork = fileWork,
                                  .reportPreview = reportPreview})
    {
    }

    VirtualTime time;
    FixedLocale locale;
    ScriptedPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture{true};
    NoHidPlatform noHid;
    InlineUiDispatcher dispatcher;
    ScriptedFileDialogs fileDialogs; // empty script: every dialog is cancelled
    TFCOMM window;

    MainForm &core() { return window.core(); }
};

} // namespace tolmar::test
