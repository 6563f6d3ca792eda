#pragma once

#include "platform/HidPlatform.h"

namespace tolmar {

// A machine without HID services: no devices, no changes. For the commands
// that replay captures instead of talking to a meter.
class NoHidPlatform final : public HidPlatform {
public:
    bool available() const override { return false; }
    std::vector<HidInterfaceInfo> listInterfaces() override { return {}; }
    std::unique_ptr<HidHandle> open(const HidInterfaceInfo &, HidAccess, std::uint32_t &error) override
    {
        error = 19; // no such device
        return nullptr;
    }
    std::uint32_t closedHandleError() const override { return 9; }
    std::string errorText(std::uint32_t) const override { return "no HID services"; }
    void startNotifications() override {}
    void stopNotifications() override {}
    int notificationFd() const override { return -1; }
    bool takeNotifications() override { return false; }
};

} // namespace tolmar
