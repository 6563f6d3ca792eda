#pragma once

// A HidPlatform whose devices, strings, reports and failures a test scripts.
// Thread-safe: the controller's reader threads read from it.
#include "platform/HidPlatform.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tolmar::test {

struct FakeHidDevice {
    std::string path;
    std::string instance;
    bool opensReadWrite = true;
    bool opensForQueries = true;
    bool identifiable = true;
    HidAttributes attributes{12, 0x1A86, 0xE008, 0x0100};
    std::optional<std::u16string> product = u"USB to Serial";
    std::optional<std::u16string> serial;      // nullopt: the query fails
    std::optional<std::u16string> descriptor0 = std::u16string(u"\x0409"); // raw units; nullopt: fails
    std::optional<HidReportLengths> lengths = HidReportLengths{9, 9, 6};
    std::string port;            // empty: the platform cannot tell
    bool heldElsewhere = false;  // another Tolmar holds it: holds are refused
};

inline FakeHidDevice fakeDevice(const std::string &name)
{
    FakeHidDevice device;
    device.path = "/dev/" + name;
    device.instance = "/sys/devices/fake/" + name;
    return device;
}

class ScriptedHidPlatform final : public HidPlatform {
public:
    static constexpr std::uint32_t errorClosed = 9;  // EBADF
    static constexpr std::uint32_t errorGone = 19;   // ENODEV

    struct Sent {
        std::string instance;
        std::vector<std::uint8_t> bytes;
        bool operator==(const Sent &) const = default;
    };

    // Script, set before the controller is made or under lock().
    bool isAvailable = true;

    std::unique_lock<std::mutex> lock() { return std::unique_lock(m_mutex); }

    void plug(FakeHidDevice device)
    {
        std::lock_guard guard(m_mutex);
        m_devices.push_back(std::move(device));
        m_changed = true;
    }
    void unplug(const std::string &instance)
    {
        std::lock_guard guard(m_mutex);
        m_devices.erase(std::remove_if(m_devices.begin(), m_devices.end(),
                                       [&](const FakeHidDevice &d) { return d.instance == instance; }),
                        m_devices.end());
        m_changed = true;
        m_wakeUp.notify_all();
    }
    // Changes a present device (its strings, what opens) in place.
    template <typename Change>
    void modify(const std::string &instance, Change change)
    {
        std::lock_guard guard(m_mutex);
        for (FakeHidDevice &device : m_devices)
            if (device.instance == instance)
                change(device);
    }

    // A report for every reader of the device, bytes as the read returns them.
    void pushReport(const std::string &instance, std::vector<std::uint8_t> report)
    {
        std::lock_guard guard(m_mutex);
        m_reports[instance].push_back(std::move(report));
        m_wakeUp.notify_all();
    }
    // The next `count` read starts on the device fail with `code`.
    void failReadStarts(const std::string &instance, int count, std::uint32_t code)
    {
        std::lock_guard guard(m_mutex);
        m_failStarts[instance] = {count, code};
    }

    std::vector<Sent> features() const
    {
        std::lock_guard guard(m_mutex);
        return m_features;
    }
    std::vector<Sent> writes() const
    {
        std::lock_guard guard(m_mutex);
        return m_writes;
    }
    int openHandles() const
    {
        std::lock_guard guard(m_mutex);
        return m_openHandles;
    }
    int readStarts() const
    {
        std::lock_guard guard(m_mutex);
        return m_readStarts;
    }
    // Blocks until `count` read starts happened (a reader waits for data).
    bool waitForReadStarts(int count, std::chrono::seconds limit = std::chrono::seconds(10))
    {
        std::unique_lock guard(m_mutex);
        return m_wakeUp.wait_for(guard, limit, [&] { return m_readStarts >= count; });
    }

    // HidPlatform
    bool available() const override { return isAvailable; }
    std::vector<HidInterfaceInfo> listInterfaces() override
    {
        std::lock_guard guard(m_mutex);
        std::vector<HidInterfaceInfo> list;
        for (const FakeHidDevice &device : m_devices)
            list.push_back({device.path, device.instance});
        return list;
    }
    std::unique_ptr<HidHandle> open(const HidInterfaceInfo &where, HidAccess access, std::uint32_t &error) override
    {
        std::lock_guard guard(m_mutex);
        const FakeHidDevice *device = find(where.instance);
        const bool opens = device
                           && (access == HidAccess::QueryOnly ? device->opensForQueries : device->opensReadWrite);
        if (!opens) {
            error = device ? 13 : errorGone; // EACCES
            return nullptr;
        }
        ++m_openHandles;
        return std::make_unique<Handle>(*this, where.instance, access);
    }
    std::string port(const HidInterfaceInfo &where) override
    {
        std::lock_guard guard(m_mutex);
        const FakeHidDevice *device = find(where.instance);
        return device ? device->port : std::string();
    }
    std::unique_ptr<HidHold> hold(const HidInterfaceInfo &where, std::uint32_t &error) override
    {
        std::lock_guard guard(m_mutex);
        const FakeHidDevice *device = find(where.instance);
        if (!device || device->heldElsewhere) {
            error = device ? heldError : errorGone;
            return nullptr;
        }
        return std::make_unique<HidHold>();
    }
    bool heldElsewhere(const HidInterfaceInfo &where) override
    {
        std::lock_guard guard(m_mutex);
        const FakeHidDevice *device = find(where.instance);
        return device && device->heldElsewhere;
    }
    std::uint32_t closedHandleError() const override { return errorClosed; }
    std::string errorText(std::uint32_t code) const override { return "error " + std::to_string(code); }
    void startNotifications() override {}
    void stopNotifications() override {}
    int notificationFd() const override { return -1; }
    bool takeNotifications() override
    {
        std::lock_guard guard(m_mutex);
        const bool changed = m_changed;
        m_changed = false;
        return changed;
    }

private:
    class Handle final : public HidHandle {
    public:
        Handle(ScriptedHidPlatform &platform, std::string instance, HidAccess access)
            : m_platform(platform), m_instance(std::move(instance)), m_access(access)
        {
        }
        ~Handle() override
        {
            std::lock_guard guard(m_platform.m_mutex);
            --m_platform.m_openHandles;
        }

        bool attributes(HidAttributes &attributes) override
        {
            std::lock_guard guard(m_platform.m_mutex);
            const FakeHidDevice *device = usable();
            if (!device || !device->identifiable)
                return false;
            attributes = device->attributes;
            return true;
        }
        bool productString(char16_t *buffer, std::size_t units) override
        {
            return text(&FakeHidDevice::product, buffer, units, true);
        }
        bool serialNumberString(char16_t *buffer, std::size_t units) override
        {
            return text(&FakeHidDevice::serial, buffer, units, true);
        }
        bool indexedString(unsigned index, char16_t *buffer, std::size_t units) override
        {
            // Raw: exactly the scripted units, no terminator added.
            return index == 0 && text(&FakeHidDevice::descriptor0, buffer, units, false);
        }
        std::optional<HidReportLengths> reportLengths() override
        {
            std::lock_guard guard(m_platform.m_mutex);
            const FakeHidDevice *device = usable();
            return device ? device->lengths : std::nullopt;
        }
        bool setFeature(const std::uint8_t *report, std::size_t length) override
        {
            std::lock_guard guard(m_platform.m_mutex);
            if (!usable() || m_access != HidAccess::ReadWrite)
                return false;
            m_platform.m_features.push_back({m_instance, {report, report + length}});
            return true;
        }
        bool write(const std::uint8_t *report, std::size_t length, std::size_t &written) override
        {
            std::lock_guard guard(m_platform.m_mutex);
            if (!usable() || m_access != HidAccess::ReadWrite)
                return false;
            m_platform.m_writes.push_back({m_instance, {report, report + length}});
            written = length;
            return true;
        }
        std::uint32_t startRead(std::uint8_t *buffer, std::size_t length) override
        {
            std::lock_guard guard(m_platform.m_mutex);
            ++m_platform.m_readStarts;
            m_platform.m_wakeUp.notify_all();
            if (m_shutdown)
                return errorClosed;
            if (!m_platform.find(m_instance))
                return errorGone;
            auto failing = m_platform.m_failStarts.find(m_instance);
            if (failing != m_platform.m_failStarts.end() && failing->second.first > 0) {
                --failing->second.first;
                return failing->second.second;
            }
            m_buffer = buffer;
            m_length = length;
            m_outstanding = true;
            return 0;
        }
        HidWait waitRead(int timeoutMs) override
        {
            std::unique_lock guard(m_platform.m_mutex);
            m_platform.m_wakeUp.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
                return m_woken || m_shutdown || !m_platform.find(m_instance) || !m_platform.m_reports[m_instance].empty();
            });
            if (m_shutdown || !m_platform.find(m_instance))
                return complete(0);
            auto &queue = m_platform.m_reports[m_instance];
            if (!queue.empty()) {
                const std::vector<std::uint8_t> report = std::move(queue.front());
                queue.pop_front();
                const std::size_t bytes = std::min(report.size(), m_length);
                std::copy_n(report.begin(), bytes, m_buffer);
                return complete(bytes);
            }
            m_woken = false;
            return HidWait::Pending;
        }
        std::size_t readResult() override
        {
            std::lock_guard guard(m_platform.m_mutex);
            return m_result;
        }
        void cancelRead() override
        {
            std::lock_guard guard(m_platform.m_mutex);
            m_outstanding = false;
        }
        void wake() override
        {
            std::lock_guard guard(m_platform.m_mutex);
            m_woken = true;
            m_platform.m_wakeUp.notify_all();
        }
        void shutdown() override
        {
            std::lock_guard guard(m_platform.m_mutex);
            m_shutdown = true;
            m_platform.m_wakeUp.notify_all();
        }

    private:
        const FakeHidDevice *usable() const { return m_shutdown ? nullptr : m_platform.find(m_instance); }
        bool text(std::optional<std::u16string> FakeHidDevice::*field, char16_t *buffer, std::size_t units,
                  bool terminate)
        {
            std::lock_guard guard(m_platform.m_mutex);
            const FakeHidDevice *device = usable();
            if (!device || !(device->*field))
                return false;
            const std::u16string &value = *(device->*field);
            const std::size_t count = std::min(value.size(), units);
            std::copy_n(value.begin(), count, buffer);
            if (terminate && count < units)
                buffer[count] = 0;
            return true;
        }
        HidWait complete(std::size_t bytes)
        {
            m_result = bytes;
            m_outstanding = false;
            return HidWait::Completed;
        }

        ScriptedHidPlatform &m_platform;
        const std::string m_instance;
        const HidAccess m_access;
        // Under the platform's lock.
        bool m_shutdown = false;
        bool m_woken = false;
        bool m_outstanding = false;
        std::uint8_t *m_buffer = nullptr;
        std::size_t m_length = 0;
        std::size_t m_result = 0;
    };

    const FakeHidDevice *find(const std::string &instance) const
    {
        for (const FakeHidDevice &device : m_devices)
            if (device.instance == instance)
                return &device;
        return nullptr;
    }

    mutable std::mutex m_mutex; // guards everything below and the handles' state
    std::condition_variable m_wakeUp;
    std::vector<FakeHidDevice> m_devices;
    std::map<std::string, std::deque<std::vector<std::uint8_t>>> m_reports;
    std::map<std::string, std::pair<int, std::uint32_t>> m_failStarts;
    std::vector<Sent> m_features;
    std::vector<Sent> m_writes;
    int m_openHandles = 0;
    int m_readStarts = 0;
    bool m_changed = false;
};

} // namespace tolmar::test
