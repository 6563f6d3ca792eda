#pragma once

// The real main window on virtual time, a fixed locale, scripted prompts and
// no HID devices, for the window tests.
#include "app/Brevon.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/NoHidPlatform.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/UiDispatcher.h"
#include "platform/virtual/VirtualTime.h"

namespace tolmar::test {

struct OffscreenWindow {
    VirtualTime time;
    FixedLocale locale;
    ScriptedPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture{true};
    NoHidPlatform noHid;
    InlineUiDispatcher dispatcher;
    TFCOMM window{MainFormPlatform{time, time, locale, prompts, shell, architecture, noHid, dispatcher}};

    MainForm &core() { return window.core(); }
};

} // namespace tolmar::test
