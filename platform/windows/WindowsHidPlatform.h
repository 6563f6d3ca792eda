#pragma once

#include "platform/HidPlatform.h"

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace tolmar {

// HID on Windows: SetupAPI lists the HID interfaces, the hid.dll queries
// (HidD_*, HidP_GetCaps) answer attributes, strings and report lengths, and
// reports go through WriteFile and overlapped ReadFile on the interface's
// file handle. Error codes are Windows error codes (GetLastError).
//
// Windows has no descriptor that becomes readable on a device change:
// notificationFd() is -1, the window hears of changes through WM_DEVICECHANGE
// (platform/qt/QtHidNotifier) and takeNotifications() compares the listing
// with the last one it saw.
class WindowsHidPlatform final : public HidPlatform {
public:
    WindowsHidPlatform();
    ~WindowsHidPlatform() override;
    WindowsHidPlatform(const WindowsHidPlatform &) = delete;
    WindowsHidPlatform &operator=(const WindowsHidPlatform &) = delete;

    bool available() const override { return true; }
    std::vector<HidInterfaceInfo> listInterfaces() override;
    std::unique_ptr<HidHandle> open(const HidInterfaceInfo &device, HidAccess access, std::uint32_t &error) override;
    // The port is the USB device's location path (the hub ports from the
    // root); a hold is a named kernel object (see hold() in the .cpp).
    std::string port(const HidInterfaceInfo &device) override;
    std::unique_ptr<HidHold> hold(const HidInterfaceInfo &device, std::uint32_t &error) override;
    bool heldElsewhere(const HidInterfaceInfo &device) override;
    std::uint32_t closedHandleError() const override;
    std::string errorText(std::uint32_t code) const override;

    void startNotifications() override;
    void stopNotifications() override;
    int notificationFd() const override { return -1; }
    bool takeNotifications() override;

    // The interfaces this platform holds: a second hold on them from here
    // fails like another program's, and they are not "held elsewhere".
    struct Holds {
        std::mutex mutex; // guards paths: a hold may go on any thread
        std::set<std::string> paths;
    };

private:
    std::shared_ptr<Holds> m_holds = std::make_shared<Holds>();
    bool m_watching = false;
    std::vector<HidInterfaceInfo> m_lastListing;
};

} // namespace tolmar
