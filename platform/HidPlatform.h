#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The operating system's HID services as the device controller needs them.
// Backends, one folder and one library each: platform/linux (hidraw + udev,
// the system's backend on Linux) and platform/windows (SetupAPI and hid.dll,
// the one on Windows), made by makeSystemHidPlatform() in
// platform/SystemHid.h; platform/sim (the simulated bridge and meter),
// platform/passive (a bridge that never answers, for replays) and, in the
// tests, a scripted fake.
namespace tolmar {

// One HID interface as a listing reports it.
struct HidInterfaceInfo {
    std::string path;     // what open() takes, e.g. "/dev/hidraw3"
    std::string instance; // stays the same while the device stays plugged in,
                          // and is new after every attach (Linux: the hidraw syspath;
                          // Windows: the device instance ID and its arrival time)
    bool operator==(const HidInterfaceInfo &) const = default;
};

// The device attributes record; Size is the record size the caller sets (12).
struct HidAttributes {
    std::uint32_t Size = 12;
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
    bool operator==(const HidAttributes &) const = default;
};

// Report lengths in bytes, each counting the leading report ID byte (also for
// devices without numbered reports); 0 for a report type the device lacks.
struct HidReportLengths {
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;
    bool operator==(const HidReportLengths &) const = default;
};

enum class HidAccess {
    ReadWrite, // reports can be sent and queries made
    QueryOnly, // attributes, strings and report lengths only
    AsyncRead, // input reports, read by one reader thread
};

enum class HidWait { Completed, Pending };

// A program's exclusive hold on one interface, for as long as this object
// lives (and no longer than the program: the system lets go of it when the
// program ends, however it ends). Advisory: it keeps out other Tolmars, which
// ask for a hold before they read or write, not other programs.
class HidHold {
public:
    virtual ~HidHold() = default;
};

// An open HID interface. Destroying it closes it.
class HidHandle {
public:
    virtual ~HidHandle() = default;

    // Queries: any access mode. Strings are UTF-16 code units written into
    // `buffer` (at most `units`, zero-terminated when there is room); a failed
    // query leaves the buffer untouched.
    virtual bool attributes(HidAttributes &attributes) = 0;
    virtual bool productString(char16_t *buffer, std::size_t units) = 0;
    virtual bool serialNumberString(char16_t *buffer, std::size_t units) = 0;
    // String descriptor `index`, raw; index 0 is the device's language list.
    virtual bool indexedString(unsigned index, char16_t *buffer, std::size_t units) = 0;
    virtual std::optional<HidReportLengths> reportLengths() = 0;

    // ReadWrite handles: byte 0 of the report is the report ID (0 for none).
    virtual bool setFeature(const std::uint8_t *report, std::size_t length) = 0;
    // Synchronous; `written` counts the bytes taken, report ID byte included.
    virtual bool write(const std::uint8_t *report, std::size_t length, std::size_t &written) = 0;

    // AsyncRead handles: one read outstanding at a time, driven by one thread.
    // Starts a read of up to `length` bytes into `buffer`, which must stay
    // valid until the read completed or was cancelled. Byte 0 receives the
    // report ID (0 for devices without numbered reports). Returns 0 when the
    // read started, else the platform's error code.
    virtual std::uint32_t startRead(std::uint8_t *buffer, std::size_t length) = 0;
    // Waits up to timeoutMs for the outstanding read. Pending: still running
    // (time is up, or wake() was called).
    virtual HidWait waitRead(int timeoutMs) = 0;
    // Bytes transferred by the read that completed; 0 when it failed.
    virtual std::size_t readResult() = 0;
    virtual void cancelRead() = 0;

    // Any thread. wake() makes the current or next waitRead return Pending at
    // once. shutdown() retires the handle: the outstanding read completes
    // with nothing, and later reads, writes and queries fail. The owner may
    // still be inside a call on another thread, so the handle is only closed
    // when destroyed.
    virtual void wake() = 0;
    virtual void shutdown() = 0;
};

class HidPlatform {
public:
    virtual ~HidPlatform() = default;

    // False when the HID services are missing: the controller then has no
    // devices and raises nothing.
    virtual bool available() const = 0;
    // The HID interfaces present now, in the platform's order.
    virtual std::vector<HidInterfaceInfo> listInterfaces() = 0;
    // Opens an interface; on failure returns null and sets `error`.
    virtual std::unique_ptr<HidHandle> open(const HidInterfaceInfo &device, HidAccess access,
                                            std::uint32_t &error) = 0;

    // Where the interface is plugged in, stable across unplugging and plugging
    // it into the same socket again (Linux: the USB port path, "1-1.2");
    // empty when the platform cannot tell.
    virtual std::string port(const HidInterfaceInfo &) { return {}; }
    // Takes the interface for this program alone. Null when another program
    // holds it (`error` is then heldError) or it cannot be held. Platforms
    // without holds hand out one that keeps nobody out.
    virtual std::unique_ptr<HidHold> hold(const HidInterfaceInfo &, std::uint32_t &)
    {
        return std::make_unique<HidHold>();
    }
    // Whether another program holds the interface now (a hold of this
    // platform's own does not count).
    virtual bool heldElsewhere(const HidInterfaceInfo &) { return false; }
    // The error code of a hold refused because another program has one (EBUSY).
    static constexpr std::uint32_t heldError = 16;

    // The error code of a read on a handle that is not open.
    virtual std::uint32_t closedHandleError() const = 0;
    // The platform's message for an error code (for the link log).
    virtual std::string errorText(std::uint32_t code) const = 0;

    // Device-change notification. While started, notificationFd() is a file
    // descriptor that becomes readable when interfaces may have come or gone
    // (-1 when the platform has none: the caller then calls
    // takeNotifications() from time to time, or, in the window on Windows,
    // when WM_DEVICECHANGE comes, platform/qt/QtHidNotifier).
    // takeNotifications() drains what arrived and answers whether anything
    // came or went; it is called on the UI thread.
    virtual void startNotifications() = 0;
    virtual void stopNotifications() = 0;
    virtual int notificationFd() const = 0;
    virtual bool takeNotifications() = 0;
};

} // namespace tolmar
