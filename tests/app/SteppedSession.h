#pragma once

// The main window's core on the simulated meter for sessions of days on
// virtual time. The simulated bridge and meter run on the caller's thread and
// each millisecond's report goes straight to the window's data handler, as
// the reader's hand-over would deliver it: no reader thread to wait for, so a
// week of reports (604,800,000) takes minutes instead of hours. Everything
// from the data handler on (frame assembly, link log, decode, display state,
// the link timer, recording, chart) is the program's own code.
#include "app/MainForm.h"
#include "platform/Architecture.h"
#include "platform/HidPlatform.h"
#include "platform/Locale.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/UiDispatcher.h"
#include "platform/sim/SimulatedBridge.h"
#include "platform/sim/SimulatedHidPlatform.h"
#include "platform/virtual/VirtualTime.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tolmar::test {

// One "USB to Serial" bridge whose UART and meter are the simulator's. The
// configuration and the requests reach the simulated bridge at once; its
// reports are taken by advanceTo() instead of a read, which never completes.
class SteppedBridgePlatform final : public HidPlatform {
public:
    static constexpr const char *path = "stepped://usb-to-serial";

    explicit SteppedBridgePlatform(const sim::Options &options = {}) : m_bridge(options, 0) {}

    bool available() const override { return true; }
    std::vector<HidInterfaceInfo> listInterfaces() override { return {{path, path}}; }
    std::unique_ptr<HidHandle> open(const HidInterfaceInfo &device, HidAccess access, std::uint32_t &error) override
    {
        if (device.path != path) {
            error = SimulatedHidPlatform::errorNoDevice;
            return nullptr;
        }
        return std::make_unique<Handle>(m_bridge, access);
    }
    std::uint32_t closedHandleError() const override { return SimulatedHidPlatform::errorBadHandle; }
    std::string errorText(std::uint32_t code) const override { return "error " + std::to_string(code); }
    void startNotifications() override {}
    void stopNotifications() override {}
    int notificationFd() const override { return -1; }
    bool takeNotifications() override { return false; }

    // Runs the line and the meter to nowMs; the reports of the time passed
    // are appended to `reports`. The caller's thread only.
    void advanceTo(std::int64_t nowMs, std::vector<sim::InputReport> &reports)
    {
        m_bridge.advanceTo(nowMs, [&reports](const sim::InputReport &report) { reports.push_back(report); });
    }
    sim::SimulatedBridge &bridge() { return m_bridge; }

private:
    class Handle final : public HidHandle {
    public:
        Handle(sim::SimulatedBridge &bridge, HidAccess access) : m_bridge(bridge), m_access(access) {}

        bool attributes(HidAttributes &attributes) override
        {
            attributes.VendorID = SimulatedHidPlatform::vendorId;
            attributes.ProductID = SimulatedHidPlatform::productId;
            attributes.VersionNumber = SimulatedHidPlatform::versionNumber;
            return !retired();
        }
        bool productString(char16_t *buffer, std::size_t units) override
        {
            const std::u16string name = u"USB to Serial";
            for (std::size_t i = 0; i < units; ++i)
                buffer[i] = i < name.size() ? name[i] : 0;
            return !retired();
        }
        bool serialNumberString(char16_t *, std::size_t) override { return false; }
        bool indexedString(unsigned index, char16_t *buffer, std::size_t units) override
        {
            if (index != 0 || units == 0 || retired())
                return false;
            buffer[0] = 0x0409;
            if (units > 1)
                buffer[1] = 0;
            return true;
        }
        std::optional<HidReportLengths> reportLengths() override
        {
            if (retired())
                return std::nullopt;
            return SimulatedHidPlatform::bridgeReportLengths;
        }
        // The UI thread, as advanceTo: the bridge needs no lock.
        bool setFeature(const std::uint8_t *report, std::size_t length) override
        {
            return m_access == HidAccess::ReadWrite && !retired() && m_bridge.setFeature(report, length);
        }
        bool write(const std::uint8_t *report, std::size_t length, std::size_t &written) override
        {
            written = 0;
            if (m_access != HidAccess::ReadWrite || retired() || !m_bridge.write(report, length))
                return false;
            written = length;
            return true;
        }
        std::uint32_t startRead(std::uint8_t *, std::size_t) override
        {
            return retired() ? SimulatedHidPlatform::errorBadHandle : 0;
        }
        HidWait waitRead(int timeoutMs) override
        {
            std::unique_lock lock(m_mutex);
            const bool ended = m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                               [this] { return m_woken || m_retired; });
            m_woken = false;
            return ended && m_retired ? HidWait::Completed : HidWait::Pending;
        }
        std::size_t readResult() override { return 0; }
        void cancelRead() override {}
        void wake() override
        {
            std::lock_guard lock(m_mutex);
            m_woken = true;
            m_wake.notify_all();
        }
        void shutdown() override
        {
            std::lock_guard lock(m_mutex);
            m_retired = true;
            m_wake.notify_all();
        }

    private:
        bool retired()
        {
            std::lock_guard lock(m_mutex);
            return m_retired;
        }

        sim::SimulatedBridge &m_bridge;
        HidAccess m_access;
        std::mutex m_mutex; // guards m_woken and m_retired
        std::condition_variable m_wake;
        bool m_woken = false;
        bool m_retired = false;
    };

    sim::SimulatedBridge m_bridge;
};

struct QuietView : MainFormView {
    void stateChanged() override {}
    void terminateApplication() override {}
};

// The window's core connected to the stepped bridge: advance() runs virtual
// time a millisecond at a time, the window's timers first, then that
// millisecond's report, handed over while the toggle is down (a stopped
// reader hands nothing over).
struct SteppedSession {
    explicit SteppedSession(const sim::Options &options = {}) : bridge(options)
    {
        form.FormCreate();
    }
    ~SteppedSession()
    {
        if (form.link().USBConDown)
            form.USBConClick(false);
    }

    void connect() { form.USBConClick(true); }
    void advance(std::int64_t ms)
    {
        for (std::int64_t i = 0; i < ms; ++i) {
            time.advance(1);
            reports.clear();
            bridge.advanceTo(time.elapsedMs(), reports);
            if (!form.link().USBConDown)
                continue;
            for (const sim::InputReport &report : reports)
                form.HidCtlDeviceData(report[0], report.data() + 1, report.size() - 1);
        }
    }

    VirtualTime time{LocalDateTime{2024, 3, 4, 0, 0, 0, 0, 1}}; // a Monday at midnight
    FixedLocale locale;
    ScriptedPrompts prompts;
    RecordingShell shell;
    FixedArchitecture architecture{true};
    SteppedBridgePlatform bridge;
    InlineUiDispatcher dispatcher;
    QuietView view;
    MainForm form{MainFormPlatform{time, time, locale, prompts, shell, architecture, bridge, dispatcher}, view};
    std::vector<sim::InputReport> reports;
};

} // namespace tolmar::test
