#include "app/qt/Brevon.h"
#include "files/JournalFolder.h"
#include "files/qt/ReportPreviewDialog.h"
#include "link/JvHidControllerClass.h"
#include "platform/Architecture.h"
#include "platform/Clock.h"
#include "platform/NumberText.h"
#include "platform/SystemHid.h"
#include "platform/SystemLocale.h"
#include "platform/qt/QtBackgroundWork.h"
#include "platform/qt/QtFileDialogs.h"
#include "platform/qt/QtHidNotifier.h"
#include "platform/qt/QtPrompts.h"
#include "platform/qt/QtShell.h"
#include "platform/qt/QtTimerEngine.h"
#include "platform/qt/QtUiDispatcher.h"
#include "platform/sim/SimulatedHidPlatform.h"
#include "tolmar/Version.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {
const char *const usage =
    "Usage: tolmar [--simulate[=N]] [--device ID] [--connect] [--restore]\n"
    "              [--no-journal]\n"
    "\n"
    "Tolmar, the interface program for the handheld multimeter with the\n"
    "\"USB to Serial\" cable. Click \"USB Connection\" to read the meter.\n"
    "\n"
    "While the window runs, its records are kept in a session journal in\n"
    "$XDG_STATE_HOME/tolmar (else ~/.local/state/tolmar); after a crash\n"
    "the next start offers them back.\n"
    "\n"
    "  --simulate  plug in the built-in simulated meter instead of using the\n"
    "              HID devices of this machine; --simulate=N plugs in N\n"
    "              cables whose meters start in different functions, each\n"
    "              taken by one Tolmar at a time like real ones\n"
    "  --device ID use the cable ID: its port (\"1-1.2\", \"sim-2\") or its\n"
    "              index, as \"tolmar-cli devices\" shows them; without it\n"
    "              the last cable no other Tolmar uses\n"
    "  --connect   click \"USB Connection\" once the window is up\n"
    "  --restore   restore the records of a session Tolmar did not end\n"
    "              (a crash, a kill, a power cut) without asking\n"
    "  --no-journal\n"
    "              keep no session journal: a crash loses the records\n"
    "              not saved\n"
    "  --help      show this text\n"
    "  --version   show the version\n";
} // namespace

int main(int argc, char *argv[])
{
    // Our options, read before Qt needs a display.
    bool simulate = false;
    int cables = 1;
    std::string device;
    bool connect = false;
    bool restore = false;
    bool journal = true;
    const auto ours = [](const char *arg) {
        for (const char *option : {"--simulate", "--connect", "--restore", "--no-journal", "--device"})
            if (std::strcmp(arg, option) == 0)
                return true;
        return std::strncmp(arg, "--simulate=", 11) == 0 || std::strncmp(arg, "--device=", 9) == 0;
    };
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--simulate") == 0) {
            simulate = true;
        } else if (std::strncmp(argv[i], "--simulate=", 11) == 0) {
            const auto n = tolmar::parseInteger(argv[i] + 11);
            if (!n || *n < 1 || *n > 16) {
                std::fprintf(stderr, "tolmar: --simulate=N takes a number of cables from 1 to 16\n");
                return 2;
            }
            simulate = true;
            cables = *n;
        } else if (std::strcmp(argv[i], "--device") == 0 || std::strncmp(argv[i], "--device=", 9) == 0) {
            device = argv[i][8] == '=' ? argv[i] + 9 : (i + 1 < argc ? argv[++i] : "");
            if (device.empty()) {
                std::fprintf(stderr, "tolmar: --device takes a cable's port or index (tolmar-cli devices)\n");
                return 2;
            }
        } else if (std::strcmp(argv[i], "--connect") == 0) {
            connect = true;
        } else if (std::strcmp(argv[i], "--restore") == 0) {
            restore = true;
        } else if (std::strcmp(argv[i], "--no-journal") == 0) {
            journal = false;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Tolmar %s\n", tolmar::version);
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Tolmar");
    QApplication::setApplicationVersion(QString::fromLatin1(tolmar::version));
    // The desktop entry's name: Wayland compositors match the window to its
    // entry (and icon) by it. The icon theme's copy is used when installed,
    // else the one built in, so a window run from the build tree has it too.
    QGuiApplication::setDesktopFileName("org.tolmar.Tolmar");
    QApplication::setWindowIcon(QIcon::fromTheme("org.tolmar.Tolmar", QIcon(":/icons/org.tolmar.Tolmar.png")));
    // What Qt left of the command line must be ours.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--device") == 0) {
            ++i; // its value
            continue;
        }
        if (!ours(argv[i])) {
            std::fprintf(stderr, "tolmar: unknown option %s\n\n%s", argv[i], usage);
            return 2;
        }
    }

    tolmar::QtTimerEngine timers;
    tolmar::SystemClock clock;
    const std::unique_ptr<tolmar::Locale> systemLocale = tolmar::makeSystemLocale();
    tolmar::Locale &locale = *systemLocale;
    tolmar::QtPrompts prompts;
    tolmar::QtShell shell;
    tolmar::HostArchitecture architecture;
    tolmar::QtUiDispatcher dispatcher;
    std::unique_ptr<tolmar::HidPlatform> hid;
    if (simulate)
        hid = std::make_unique<tolmar::SimulatedHidPlatform>(tolmar::SimulatedHidPlatform::sharedCables(cables),
                                                             tolmar::SimulatedHidPlatform::steadyClock());
    else
        hid = tolmar::makeSystemHidPlatform();
    tolmar::QtFileDialogs fileDialogs;
    tolmar::QtBackgroundWork fileWork;
    tolmar::QtReportPreview reportPreview;
    const tolmar::MainFormPlatform platform{.timers = timers,
                                            .clock = clock,
                                            .locale = locale,
                                            .prompts = prompts,
                                            .shell = shell,
                                            .architecture = architecture,
                                            .hid = *hid,
                                            .dispatcher = dispatcher,
                                            .fileDialogs = &fileDialogs,
                                            .fileWork = &fileWork,
                                            .reportPreview = &reportPreview,
                                            .journalFolder = journal ? tolmar::defaultJournalFolder() : std::string(),
                                            .restoreWithoutAsking = restore,
                                            .connectAtStart = connect,
                                            .device = device};

    tolmar::TFCOMM window(platform);
    prompts.setParent(&window);
    fileDialogs.setParent(&window);
    fileWork.setWindow(&window);
    reportPreview.setWindow(&window);
    tolmar::TJvHidDeviceController &controller = window.core().link().HidCtl;
    tolmar::QtHidNotifier hotPlug(controller.NotificationFd(), [&controller] { controller.HandleDeviceNotifications(); });
    window.show();
    const int status = app.exec();
    // A save or load still running uses the core's table and its finishing
    // step the core itself: stop it before the window (and the core) go.
    fileWork.shutDown();
    return status;
}
