#pragma once

#include "platform/HidPlatform.h"
#include "platform/TextEncoding.h" // utf8ToUtf16: the strings sysfs gives are UTF-8

#include <memory>
#include <mutex>
#include <set>
#include <string>

struct udev;
struct udev_monitor;

namespace tolmar {

struct LinuxHidOptions {
    // Where sysfs is mounted; tests point it at a fake tree.
    std::string sysfsRoot = "/sys";
    // Enumerate and watch through libudev. Only used with the real /sys;
    // without it the interfaces come from <sysfsRoot>/class/hidraw and no
    // changes are reported.
    bool useUdev = true;
};

// HID on Linux: hidraw nodes for reports, sysfs for everything that can be
// asked without opening the node, libudev for the listing and hot-plug.
// Error codes are errno values.
class LinuxHidPlatform final : public HidPlatform {
public:
    explicit LinuxHidPlatform(LinuxHidOptions options = {});
    ~LinuxHidPlatform() override;
    LinuxHidPlatform(const LinuxHidPlatform &) = delete;
    LinuxHidPlatform &operator=(const LinuxHidPlatform &) = delete;

    bool available() const override { return true; }
    std::vector<HidInterfaceInfo> listInterfaces() override;
    std::unique_ptr<HidHandle> open(const HidInterfaceInfo &device, HidAccess access, std::uint32_t &error) override;
    // The port is the USB device's sysfs name; a hold is an exclusive
    // flock() on an open descriptor of the device node.
    std::string port(const HidInterfaceInfo &device) override;
    std::unique_ptr<HidHold> hold(const HidInterfaceInfo &device, std::uint32_t &error) override;
    bool heldElsewhere(const HidInterfaceInfo &device) override;
    std::uint32_t closedHandleError() const override;
    std::string errorText(std::uint32_t code) const override;

    void startNotifications() override;
    void stopNotifications() override;
    int notificationFd() const override;
    bool takeNotifications() override;

    // The nodes this platform holds: a second flock() on them from here
    // would fail like another program's.
    struct Holds {
        std::mutex mutex; // guards paths: a hold may go on any thread
        std::set<std::string> paths;
    };

private:
    LinuxHidOptions m_options;
    std::shared_ptr<Holds> m_holds = std::make_shared<Holds>();
    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
};

} // namespace tolmar
