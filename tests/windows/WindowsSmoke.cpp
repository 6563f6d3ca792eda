// The Windows backends against the system they run on (under Wine: no HID
// interfaces, a listing that is empty without a crash). Not part of the
// suites; built and run by hand (one command line):
//   x86_64-w64-mingw32-g++-posix -std=c++20 -I. -static -o smoke.exe tests/windows/WindowsSmoke.cpp
//     platform/windows/*.cpp platform/TextEncoding.cpp -lsetupapi -lhid -lcfgmgr32
//   wine64 smoke.exe
#include "platform/SystemHid.h"
#include "platform/SystemLocale.h"

#include <cstdio>

int main()
{
    auto hid = tolmar::makeSystemHidPlatform();
    hid->startNotifications();
    const auto list = hid->listInterfaces();
    std::printf("%zu HID interfaces\n", list.size());
    for (const auto &device : list) {
        std::uint32_t error = 0;
        const auto handle = hid->open(device, tolmar::HidAccess::QueryOnly, error);
        tolmar::HidAttributes attributes;
        const bool known = handle && handle->attributes(attributes);
        std::printf("  %s\n    instance %s, port %s, %04x:%04x%s\n", device.path.c_str(), device.instance.c_str(),
                    hid->port(device).c_str(), known ? attributes.VendorID : 0, known ? attributes.ProductID : 0,
                    handle ? "" : (" (" + hid->errorText(error) + ")").c_str());
    }
    std::uint32_t error = 0;
    const tolmar::HidInterfaceInfo nowhere{"\\\\?\\hid#none", "none"};
    const bool opened = hid->open(nowhere, tolmar::HidAccess::AsyncRead, error) != nullptr;
    std::printf("open of a missing interface: %s, error %u: %s\n", opened ? "opened?" : "refused", error,
                hid->errorText(error).c_str());
    auto hold = hid->hold(nowhere, error);
    std::uint32_t second = 0;
    const bool again = hid->hold(nowhere, second) != nullptr;
    std::printf("hold: %s; a second one: %s (%u); held elsewhere: %s\n", hold ? "taken" : "refused",
                again ? "taken?" : "refused", second, hid->heldElsewhere(nowhere) ? "yes?" : "no");
    hold.reset();
    std::printf("changed since start: %s\n", hid->takeNotifications() ? "yes" : "no");
    const auto locale = tolmar::makeSystemLocale();
    std::printf("locale: separator '%s', system '%s', %s, %s, %s\n", locale->decimalSeparator().c_str(),
                locale->systemDecimalSeparator().value_or("?").c_str(), locale->shortDayName(0).c_str(),
                locale->formatLongTime({14, 7, 9}).c_str(),
                locale->parseLongTime(locale->formatLongTime({14, 7, 9})) == tolmar::TimeOfDay{14, 7, 9} ? "round trip" : "NO ROUND TRIP");
    hid.reset();
    std::printf("done\n");
}
