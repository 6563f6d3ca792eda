#pragma once

#include "platform/HidPlatform.h"
#include "platform/sim/SimulatedBridge.h"

#include <functional>
#include <memory>

namespace tolmar {

// A complete HID platform with one device per simulated cable (one unless
// Options::cables says more): the simulated "USB to Serial" bridge and the
// meter behind it. Cable 1 is devicePath; cable k is devicePath + "-k", at
// port "sim-k". It runs in one of two ways:
// - with a clock (steadyClock() for `tolmar --simulate`): the bridge keeps up
//   with the clock by itself, and its reader gets a report every millisecond;
// - without one (tests on VirtualTime): time moves only in advanceTo(), which
//   SimulatedRun calls in step with the virtual clock.
// Deterministic for a given seed and sequence of calls.
class SimulatedHidPlatform final : public HidPlatform {
public:
    using Clock = std::function<std::int64_t()>; // milliseconds, never going back

    static constexpr std::uint16_t vendorId = 0x1A86;
    static constexpr std::uint16_t productId = 0xE008;
    static constexpr std::uint16_t versionNumber = 0x0100;
    static constexpr const char *productName = "USB to Serial";
    static constexpr const char *devicePath = "sim://usb-to-serial";
    static constexpr HidReportLengths bridgeReportLengths{9, 9, 6};
    // Read starts fail with errno values, as on Linux.
    static constexpr std::uint32_t errorIo = 5;       // EIO
    static constexpr std::uint32_t errorNoDevice = 19; // ENODEV
    static constexpr std::uint32_t errorBadHandle = 9; // EBADF
    static constexpr std::size_t queueLimit = 64;     // reports kept per reader, as hidraw does

    explicit SimulatedHidPlatform(sim::Options options = {}, Clock clock = {});
    ~SimulatedHidPlatform() override;
    SimulatedHidPlatform(const SimulatedHidPlatform &) = delete;
    SimulatedHidPlatform &operator=(const SimulatedHidPlatform &) = delete;

    // The monotonic system clock in milliseconds.
    static Clock steadyClock();

    bool available() const override { return true; }
    std::vector<HidInterfaceInfo> listInterfaces() override;
    std::unique_ptr<HidHandle> open(const HidInterfaceInfo &device, HidAccess access, std::uint32_t &error) override;
    std::uint32_t closedHandleError() const override { return errorBadHandle; }
    std::string errorText(std::uint32_t code) const override;
    std::string port(const HidInterfaceInfo &device) override;
    std::unique_ptr<HidHold> hold(const HidInterfaceInfo &device, std::uint32_t &error) override;
    bool heldElsewhere(const HidInterfaceInfo &device) override;
    void startNotifications() override;
    void stopNotifications() override;
    int notificationFd() const override;
    bool takeNotifications() override;

    // Time, for a platform without a clock.
    void advanceTo(std::int64_t nowMs);
    std::int64_t nowMs() const;

    // The folder for the lock files of simulations run by the user:
    // runtimeFolder() ($XDG_RUNTIME_DIR/tolmar, else /tmp/tolmar-<uid>;
    // %LOCALAPPDATA%/Tolmar/run on Windows); created when missing.
    // Empty when it cannot be had safely (not a folder of the user's own).
    static std::string runtimeLockFolder();
    // The options of `--simulate=N` as users run it: N cables, held through
    // lock files in runtimeLockFolder(), so that two processes take one each.
    // One cable stays private to its process, as it always was: two windows
    // on `--simulate` each have a meter of their own.
    static sim::Options sharedCables(int cables);

    std::size_t cables() const;

    // Faults; `cable` counts from 0.
    void unplug(std::size_t cable = 0);
    void replug(std::size_t cable = 0); // a new instance, the UART unconfigured again
    bool plugged(std::size_t cable = 0) const;
    void setMeterSilent(bool silent, std::size_t cable = 0);
    void injectGarbage(std::size_t bytes, std::size_t cable = 0);
    void failReadStarts(int count); // the next `count` read starts fail with EIO

    // The meter.
    void setMode(std::size_t mode, std::size_t cable = 0); // index into sim::SimulatedMeter::modes()
    std::size_t mode(std::size_t cable = 0) const;
    std::vector<sim::SentFrame> sentFrames(std::size_t cable = 0) const; // the latest, oldest first
    bool configured(std::size_t cable = 0) const;

    // For lock-step runs: every reader that is reading has taken all its
    // reports, finished handing them over and waits for the next.
    bool readersCaughtUp() const;
    // Called (on any thread, under the platform's lock: keep it short) when
    // readers take or finish reports.
    void setActivityListener(std::function<void()> listener);

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace tolmar
