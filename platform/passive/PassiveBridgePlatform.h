#pragma once

#include "platform/HidPlatform.h"

#include <cstdint>
#include <vector>

namespace tolmar {

// One "USB to Serial" bridge that takes what is sent to it and sends nothing
// of its own: its reads never complete. A replay connects to it so that a
// capture runs through a connected session, while the capture's reports are
// handed to the window by the caller. Counts what it was sent, for tests.
class PassiveBridgePlatform final : public HidPlatform {
public:
    static constexpr const char *path = "passive://usb-to-serial";

    bool available() const override { return true; }
    std::vector<HidInterfaceInfo> listInterfaces() override { return {{path, path}}; }
    std::unique_ptr<HidHandle> open(const HidInterfaceInfo &device, HidAccess access, std::uint32_t &error) override;
    std::uint32_t closedHandleError() const override { return 9; } // EBADF
    std::string errorText(std::uint32_t code) const override;
    void startNotifications() override {}
    void stopNotifications() override {}
    int notificationFd() const override { return -1; }
    bool takeNotifications() override { return false; }

    int featureReports() const { return m_featureReports; }
    int outputReports() const { return m_outputReports; }

private:
    class Handle;
    int m_featureReports = 0; // written on the UI thread only
    int m_outputReports = 0;
};

} // namespace tolmar
