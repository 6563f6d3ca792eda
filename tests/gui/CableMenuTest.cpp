// The window with several cables: the title names the one in use, and
// View → Cable lists them, the one in use ticked, another taken while
// disconnected.
#include "app/qt/Brevon.h"
#include "platform/Architecture.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/UiDispatcher.h"
#include "platform/sim/SimulatedHidPlatform.h"
#include "platform/virtual/VirtualTime.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

namespace tolmar {
namespace {

struct CableWindow {
    explicit CableWindow(int cables, std::string device = {})
        : sim([cables] {
            sim::Options options;
            options.cables = cables;
            return options;
        }())
        , window(MainFormPlatform{.timers = time,
                                  .clock = time,
                                  .locale = locale,
                                  .prompts = prompts,
                                  .shell = shell,
                                  .architecture = architecture,
                                  .hid = sim,
                                  .dispatcher = dispatcher,
                                  .device = std::move(device)})
    {
        window.show();
    }

    // The menu as it opens: its items' texts, "*" before the ticked one, "-"
    // before one that cannot be chosen now.
    std::vector<std::string> cableMenu()
    {
        emit window.ViewCable->aboutToShow();
        std::vector<std::string> items;
        for (QAction *item : window.ViewCable->actions())
            items.push_back(std::string(item->isChecked() ? "*" : "") + (item->isEnabled() ? "" : "-")
                            + item->text().toStdString());
        return items;
    }
    QAction *item(int index)
    {
        emit window.ViewCable->aboutToShow();
        return window.ViewCable->actions().at(index);
    }
    std::string title() const { return window.windowTitle().toStdString(); }

    VirtualTime time;
    FixedLocale locale;
    ScriptedPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture{true};
    InlineUiDispatcher dispatcher;
    SimulatedHidPlatform sim;
    TFCOMM window;
};

const std::string caption = "Tolmar Interface Program Ver 3.01(x64)";

TEST(CableMenu, TitleAndMenuFollowTheCableInUse)
{
    struct Case {
        int cables;
        std::string device;
        std::string title;
        std::vector<std::string> menu;
    };
    const Case cases[] = {
        {1, "", caption, {"*sim-1"}},
        {2, "", caption + " - cable sim-2", {"sim-1", "*sim-2"}},
        {3, "sim-1", caption + " - cable sim-1", {"*sim-1", "sim-2", "sim-3"}},
        {2, "1", caption + " - cable sim-2", {"sim-1", "*sim-2"}},
        {2, "sim-9", caption, {"sim-1", "sim-2"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.cables) + " " + c.device);
        CableWindow w(c.cables, c.device);
        EXPECT_EQ(w.title(), c.title);
        EXPECT_EQ(w.cableMenu(), c.menu);
    }

    CableWindow none(0);
    none.sim.unplug(0);
    none.window.core().link().HidCtl.HandleDeviceNotifications();
    EXPECT_EQ(none.cableMenu(), std::vector<std::string>{"-No cable"});
    EXPECT_EQ(none.title(), caption);
}

TEST(CableMenu, AnotherCableIsTakenOnlyWhileDisconnected)
{
    CableWindow w(2);
    w.item(0)->trigger();
    EXPECT_EQ(w.cableMenu(), (std::vector<std::string>{"*sim-1", "sim-2"}));
    EXPECT_EQ(w.title(), caption + " - cable sim-1");
    EXPECT_EQ(w.window.core().link().DevListIndex, 0);

    // Connected: the items stay, and none can be chosen.
    w.window.core().link().USBConDown = true;
    EXPECT_EQ(w.cableMenu(), (std::vector<std::string>{"*-sim-1", "-sim-2"}));
    EXPECT_FALSE(w.window.core().link().chooseDevice("sim-2"));
    EXPECT_EQ(w.window.core().link().DevListIndex, 0);
    w.window.core().link().USBConDown = false;
}

} // namespace
} // namespace tolmar
