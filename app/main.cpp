#include "app/Brevon.h"
#include "platform/Architecture.h"
#include "platform/Clock.h"
#include "platform/posix/PosixLocale.h"
#include "platform/qt/QtPrompts.h"
#include "platform/qt/QtShell.h"
#include "platform/qt/QtTimerEngine.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tolmar");
    QApplication::setApplicationVersion("3.0.1");

    tolmar::QtTimerEngine timers;
    tolmar::SystemClock clock;
    tolmar::PosixLocale locale;
    tolmar::QtPrompts prompts;
    tolmar::QtShell shell;
    tolmar::HostArchitecture architecture;
    const tolmar::MainFormPlatform platform{timers, clock, locale, prompts, shell, architecture};

    tolmar::TFCOMM window(platform);
    prompts.setParent(&window);
    window.show();
    return app.exec();
}
