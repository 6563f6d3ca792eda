#include "platform/passive/PassiveBridgePlatform.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace tolmar {

class PassiveBridgePlatform::Handle final : public HidHandle {
public:
    Handle(PassiveBridgePlatform &platform, HidAccess access) : m_platform(platform), m_access(access) {}

    // Queries fail once the handle is retired, and a failed one writes nothing.
    bool attributes(HidAttributes &attributes) override
    {
        if (retired())
            return false;
        attributes.VendorID = 0x1A86;
        attributes.ProductID = 0xE008;
        attributes.VersionNumber = 0x0100;
        return true;
    }
    bool productString(char16_t *buffer, std::size_t units) override
    {
        return !retired() && copy(u"USB to Serial", buffer, units);
    }
    bool serialNumberString(char16_t *, std::size_t) override { return false; } // the bridge has none
    bool indexedString(unsigned index, char16_t *buffer, std::size_t units) override
    {
        return index == 0 && !retired() && copy(u"\x0409", buffer, units); // US English
    }
    std::optional<HidReportLengths> reportLengths() override
    {
        if (retired())
            return std::nullopt;
        return HidReportLengths{9, 9, 6};
    }

    bool setFeature(const std::uint8_t *, std::size_t) override
    {
        if (m_access != HidAccess::ReadWrite || retired())
            return false;
        ++m_platform.m_featureReports;
        return true;
    }
    bool write(const std::uint8_t *, std::size_t length, std::size_t &written) override
    {
        written = 0;
        if (m_access != HidAccess::ReadWrite || retired())
            return false;
        ++m_platform.m_outputReports;
        written = length;
        return true;
    }

    std::uint32_t startRead(std::uint8_t *, std::size_t) override { return retired() ? 9 : 0; }
    HidWait waitRead(int timeoutMs) override
    {
        // Nothing ever arrives: wait out the step unless woken or retired.
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
    static bool copy(const char16_t *text, char16_t *buffer, std::size_t units)
    {
        std::size_t i = 0;
        for (; text[i] && i < units; ++i)
            buffer[i] = text[i];
        if (i < units)
            buffer[i] = 0;
        return true;
    }

    PassiveBridgePlatform &m_platform;
    HidAccess m_access;
    std::mutex m_mutex; // guards m_woken and m_retired
    std::condition_variable m_wake;
    bool m_woken = false;
    bool m_retired = false;
};

std::unique_ptr<HidHandle> PassiveBridgePlatform::open(const HidInterfaceInfo &device, HidAccess access,
                                                       std::uint32_t &error)
{
    if (device.path != path) {
        error = 19; // ENODEV
        return nullptr;
    }
    return std::make_unique<Handle>(*this, access);
}

std::string PassiveBridgePlatform::errorText(std::uint32_t code) const
{
    return code == 9 ? "Bad file descriptor" : code == 19 ? "No such device" : "error " + std::to_string(code);
}

} // namespace tolmar
