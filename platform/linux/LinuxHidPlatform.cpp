#include "platform/linux/LinuxHidPlatform.h"

#include "platform/linux/HidReportDescriptor.h"
#include "platform/linux/SysfsHid.h"

#include <libudev.h>
#include <linux/hidraw.h>
#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <filesystem>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tolmar {

namespace {

// The language ID the kernel falls back to, and the one nearly every device lists.
constexpr char16_t usEnglish = 0x0409;

void copyUnits(const std::u16string &text, char16_t *buffer, std::size_t units)
{
    const std::size_t count = std::min(text.size(), units);
    std::copy_n(text.begin(), count, buffer);
    if (count < units)
        buffer[count] = 0;
}

// String descriptor 0 (the language IDs) with a control request through
// usbfs. Needs write access to the USB device's node, which users rarely
// have; nullopt when it cannot be had.
std::optional<std::u16string> readLanguageIds(int bus, int device)
{
    char path[64];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03d/%03d", bus, device);
    const int fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    unsigned char data[255] = {};
    usbdevfs_ctrltransfer request{};
    request.bRequestType = 0x80; // device to host, standard, device
    request.bRequest = 0x06;     // GET_DESCRIPTOR
    request.wValue = 0x0300;     // string descriptor, index 0
    request.wIndex = 0;
    request.wLength = sizeof data;
    request.timeout = 1000;
    request.data = data;
    const int got = ::ioctl(fd, USBDEVFS_CONTROL, &request);
    ::close(fd);
    // bLength, bDescriptorType 3, then 16-bit language IDs.
    if (got < 4 || data[1] != 3)
        return std::nullopt;
    const int length = std::min<int>(got, data[0]);
    std::u16string ids;
    for (int i = 2; i + 1 < length; i += 2)
        ids += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    return ids;
}

class HidrawHandle final : public HidHandle {
public:
    HidrawHandle(sysfs::HidDevice device, int fd, int wakeFd)
        : m_device(std::move(device))
        , m_fd(fd)
        , m_wakeFd(wakeFd)
    {
        if (const auto descriptor = sysfs::reportDescriptor(m_device))
            m_summary = parseReportDescriptor(*descriptor);
    }

    ~HidrawHandle() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_wakeFd >= 0)
            ::close(m_wakeFd);
    }

    bool attributes(HidAttributes &attributes) override
    {
        if (m_shutdown)
            return false;
        const auto found = sysfs::attributes(m_device);
        if (!found)
            return false;
        attributes.VendorID = found->VendorID;
        attributes.ProductID = found->ProductID;
        attributes.VersionNumber = found->VersionNumber;
        return true;
    }

    bool productString(char16_t *buffer, std::size_t units) override { return usbString("product", buffer, units); }
    bool serialNumberString(char16_t *buffer, std::size_t units) override
    {
        return usbString("serial", buffer, units);
    }

    bool indexedString(unsigned index, char16_t *buffer, std::size_t units) override
    {
        if (m_shutdown || index != 0 || m_device.usbDevice.empty())
            return false;
        if (const auto busDevice = sysfs::usbBusAndDevice(m_device)) {
            if (const auto ids = readLanguageIds(busDevice->first, busDevice->second)) {
                copyUnits(*ids, buffer, units);
                return true;
            }
        }
        // usbfs is closed to us. The kernel reads descriptor 0 before any
        // other string and shows strings only when that worked, so a device
        // with strings in sysfs answers it; its list is assumed to be US
        // English alone.
        for (const char *name : {"manufacturer", "product", "serial"}) {
            if (sysfs::usbString(m_device, name)) {
                copyUnits(std::u16string(1, usEnglish), buffer, units);
                return true;
            }
        }
        return false;
    }

    std::optional<HidReportLengths> reportLengths() override
    {
        if (m_shutdown || !m_summary)
            return std::nullopt;
        return m_summary->lengths;
    }

    bool setFeature(const std::uint8_t *report, std::size_t length) override
    {
        if (m_shutdown || m_fd < 0 || length == 0)
            return false;
        return ::ioctl(m_fd, HIDIOCSFEATURE(length), report) >= 0;
    }

    bool write(const std::uint8_t *report, std::size_t length, std::size_t &written) override
    {
        written = 0;
        if (m_shutdown || m_fd < 0 || length == 0)
            return false;
        // The report ID goes first, 0 for a device without numbered reports;
        // hidraw strips it before the transfer.
        const ssize_t done = ::write(m_fd, report, length);
        if (done < 0)
            return false;
        written = static_cast<std::size_t>(done);
        return written == length;
    }

    std::uint32_t startRead(std::uint8_t *buffer, std::size_t length) override
    {
        if (m_shutdown || m_fd < 0)
            return EBADF;
        if (length < 2)
            return EINVAL;
        // A device that has gone reports POLLHUP at once: the read cannot start.
        pollfd node{m_fd, POLLIN, 0};
        if (::poll(&node, 1, 0) > 0 && (node.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return ENODEV;
        m_buffer = buffer;
        m_length = length;
        m_result = 0;
        m_outstanding = true;
        return 0;
    }

    HidWait waitRead(int timeoutMs) override
    {
        if (!m_outstanding || m_shutdown)
            return complete(0);
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0)
            return errno == EINTR ? HidWait::Pending : complete(0);
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t drained = ::read(m_wakeFd, &count, sizeof count);
            return m_shutdown ? complete(0) : HidWait::Pending;
        }
        if (fds[0].revents & POLLIN) {
            // Without numbered reports hidraw leaves the ID out: byte 0 gets
            // the 0 the handler expects.
            const bool numbered = m_summary && m_summary->numberedReports;
            std::uint8_t *into = numbered ? m_buffer : m_buffer + 1;
            const std::size_t room = numbered ? m_length : m_length - 1;
            const ssize_t got = ::read(m_fd, into, room);
            if (got > 0) {
                if (!numbered)
                    m_buffer[0] = 0;
                return complete(static_cast<std::size_t>(got) + (numbered ? 0 : 1));
            }
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                return HidWait::Pending;
            return complete(0); // EIO or ENODEV: unplugged
        }
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return complete(0);
        return HidWait::Pending;
    }

    std::size_t readResult() override { return m_result; }
    void cancelRead() override { m_outstanding = false; }

    void wake() override
    {
        if (m_wakeFd < 0)
            return;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t done = ::write(m_wakeFd, &one, sizeof one);
    }

    void shutdown() override
    {
        m_shutdown = true;
        wake();
    }

private:
    bool usbString(const char *name, char16_t *buffer, std::size_t units)
    {
        if (m_shutdown)
            return false;
        const auto text = sysfs::usbString(m_device, name);
        if (!text)
            return false;
        copyUnits(utf8ToUtf16(*text), buffer, units);
        return true;
    }

    HidWait complete(std::size_t bytes)
    {
        m_result = bytes;
        m_outstanding = false;
        return HidWait::Completed;
    }

    const sysfs::HidDevice m_device;
    std::optional<ReportDescriptorSummary> m_summary;
    const int m_fd;     // -1 for a query-only handle
    const int m_wakeFd; // eventfd of an AsyncRead handle, else -1
    std::atomic<bool> m_shutdown = false;
    // The read, used by the reader thread alone.
    std::uint8_t *m_buffer = nullptr;
    std::size_t m_length = 0;
    std::size_t m_result = 0;
    bool m_outstanding = false;
};

class NodeHold final : public HidHold {
public:
    NodeHold(int fd, std::string path, std::shared_ptr<LinuxHidPlatform::Holds> holds)
        : m_fd(fd)
        , m_path(std::move(path))
        , m_holds(std::move(holds))
    {
    }
    ~NodeHold() override
    {
        ::close(m_fd); // the last descriptor of its open file: the lock goes with it
        std::lock_guard lock(m_holds->mutex);
        m_holds->paths.erase(m_path);
    }

private:
    const int m_fd;
    const std::string m_path;
    const std::shared_ptr<LinuxHidPlatform::Holds> m_holds;
};

// flock() with LOCK_NB, tried a few times: another Tolmar that only looks
// whether the node is held keeps a shared lock for a moment.
bool lockWithin(int fd, int operation)
{
    for (int attempt = 0;; ++attempt) {
        if (::flock(fd, operation | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (attempt == 3)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

LinuxHidPlatform::LinuxHidPlatform(LinuxHidOptions options)
    : m_options(std::move(options))
{
    // libudev always reads the real /sys, so a fake tree goes without it.
    if (m_options.useUdev && m_options.sysfsRoot == "/sys")
        m_udev = udev_new();
}

LinuxHidPlatform::~LinuxHidPlatform()
{
    stopNotifications();
    if (m_udev)
        udev_unref(m_udev);
}

std::vector<HidInterfaceInfo> LinuxHidPlatform::listInterfaces()
{
    std::vector<HidInterfaceInfo> list;
    if (m_udev) {
        udev_enumerate *enumerate = udev_enumerate_new(m_udev);
        if (enumerate && udev_enumerate_add_match_subsystem(enumerate, "hidraw") >= 0
            && udev_enumerate_scan_devices(enumerate) >= 0) {
            udev_list_entry *entry = nullptr;
            udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
            {
                udev_device *device = udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry));
                if (!device)
                    continue;
                if (const char *node = udev_device_get_devnode(device))
                    list.push_back({node, udev_device_get_syspath(device)});
                udev_device_unref(device);
            }
            udev_enumerate_unref(enumerate);
            return list;
        }
        if (enumerate)
            udev_enumerate_unref(enumerate);
    }
    for (const sysfs::Hidraw &hidraw : sysfs::listHidraw(m_options.sysfsRoot))
        list.push_back({hidraw.devnode, hidraw.syspath});
    return list;
}

std::unique_ptr<HidHandle> LinuxHidPlatform::open(const HidInterfaceInfo &device, HidAccess access,
                                                  std::uint32_t &error)
{
    // The instance is the syspath: gone means unplugged, even if the node's
    // name has been given to another device since.
    auto resolved = sysfs::resolve(device.instance);
    if (!resolved) {
        error = ENODEV;
        return nullptr;
    }
    if (access == HidAccess::QueryOnly)
        return std::make_unique<HidrawHandle>(std::move(*resolved), -1, -1);

    // Non-blocking reads: the reader waits in poll() with its wake-up fd.
    const int flags = access == HidAccess::ReadWrite ? O_RDWR | O_CLOEXEC : O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    const int fd = ::open(device.path.c_str(), flags);
    if (fd < 0) {
        error = static_cast<std::uint32_t>(errno);
        return nullptr;
    }
    int wakeFd = -1;
    if (access == HidAccess::AsyncRead) {
        wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd < 0) {
            error = static_cast<std::uint32_t>(errno);
            ::close(fd);
            return nullptr;
        }
    }
    return std::make_unique<HidrawHandle>(std::move(*resolved), fd, wakeFd);
}

std::string LinuxHidPlatform::port(const HidInterfaceInfo &device)
{
    const auto resolved = sysfs::resolve(device.instance);
    if (!resolved || resolved->usbDevice.empty())
        return {};
    // The USB device's name is its place: bus, then the hub ports ("1-1.2").
    return std::filesystem::path(resolved->usbDevice).filename().string();
}

std::unique_ptr<HidHold> LinuxHidPlatform::hold(const HidInterfaceInfo &device, std::uint32_t &error)
{
    {
        std::lock_guard lock(m_holds->mutex);
        if (m_holds->paths.count(device.path)) {
            error = heldError; // held here already: one hold at a time
            return nullptr;
        }
    }
    // Read-only and without blocking: this descriptor never reads; reports
    // the kernel queues for it are dropped when it is full.
    const int fd = ::open(device.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = static_cast<std::uint32_t>(errno);
        return nullptr;
    }
    if (!lockWithin(fd, LOCK_EX)) {
        error = errno == EWOULDBLOCK ? heldError : static_cast<std::uint32_t>(errno);
        ::close(fd);
        return nullptr;
    }
    std::lock_guard lock(m_holds->mutex);
    m_holds->paths.insert(device.path);
    return std::make_unique<NodeHold>(fd, device.path, m_holds);
}

bool LinuxHidPlatform::heldElsewhere(const HidInterfaceInfo &device)
{
    {
        std::lock_guard lock(m_holds->mutex);
        if (m_holds->paths.count(device.path))
            return false;
    }
    const int fd = ::open(device.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false; // not ours to open: nobody here can tell
    // A shared lock is refused only while someone holds the node.
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

std::uint32_t LinuxHidPlatform::closedHandleError() const
{
    return EBADF;
}

std::string LinuxHidPlatform::errorText(std::uint32_t code) const
{
    return std::system_category().message(static_cast<int>(code));
}

void LinuxHidPlatform::startNotifications()
{
    if (!m_udev || m_monitor)
        return;
    // With udevd the "udev" events come once the node has its permissions;
    // without it (containers) the kernel's own events are all there is.
    const bool udevRunning = ::access("/run/udev/control", F_OK) == 0;
    m_monitor = udev_monitor_new_from_netlink(m_udev, udevRunning ? "udev" : "kernel");
    if (!m_monitor)
        return;
    if (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0
        || udev_monitor_enable_receiving(m_monitor) < 0) {
        udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        return;
    }
    const int fd = udev_monitor_get_fd(m_monitor);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

void LinuxHidPlatform::stopNotifications()
{
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    m_monitor = nullptr;
}

int LinuxHidPlatform::notificationFd() const
{
    return m_monitor ? udev_monitor_get_fd(m_monitor) : -1;
}

bool LinuxHidPlatform::takeNotifications()
{
    if (!m_monitor)
        return false;
    bool changed = false;
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        const char *action = udev_device_get_action(device);
        if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0))
            changed = true;
        udev_device_unref(device);
    }
    return changed;
}

} // namespace tolmar
