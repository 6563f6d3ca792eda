#include "platform/windows/HidRules.h"

#include <algorithm>
#include <cstdio>

namespace tolmar::winhid {

bool isUnpluggedError(std::uint32_t error)
{
    switch (error) {
    case code::fileNotFound:
    case code::pathNotFound:
    case code::badCommand:
    case code::genFailure:
    case code::devNotExist:
    case code::noSuchDevice:
    case code::operationAborted:
    case code::deviceNotConnected:
    case code::deviceRemoved:
        return true;
    default:
        return false;
    }
}

HidReportLengths reportLengthsFromCaps(std::uint16_t input, std::uint16_t output, std::uint16_t feature)
{
    // Unlike a descriptor's sizes these already count the ID byte, numbered
    // reports or not: nothing to add.
    return {input, output, feature};
}

std::size_t transferLength(std::size_t length, std::uint16_t reportLength)
{
    return std::max<std::size_t>(length, reportLength);
}

void copyTerminatedUnits(const char16_t *source, std::size_t sourceUnits, char16_t *buffer, std::size_t units)
{
    const std::size_t length = std::find(source, source + sourceUnits, u'\0') - source;
    const std::size_t count = std::min(length, units);
    std::copy_n(source, count, buffer);
    if (count < units)
        buffer[count] = 0;
}

namespace {
constexpr std::string_view arrivalMark = "|arrived ";
}

std::string composeInstance(std::string_view deviceInstanceId, std::optional<std::uint64_t> arrivalTicks)
{
    std::string instance(deviceInstanceId);
    if (arrivalTicks) {
        instance += arrivalMark;
        instance += std::to_string(*arrivalTicks);
    }
    return instance;
}

bool instanceHasArrival(std::string_view instance)
{
    return instance.find(arrivalMark) != std::string_view::npos;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithFolded(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lowerAscii(text[i]) != lowerAscii(prefix[i]))
            return false;
    return true;
}

std::string foldedPath(std::string_view path)
{
    std::string folded(path);
    for (char &c : folded)
        c = lowerAscii(c);
    return folded;
}

std::string holdObjectName(std::string_view path)
{
    // FNV-1a over the folded path: a fixed-length name whatever the path
    // holds (the object namespace takes no backslash in a name).
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : foldedPath(path))
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    char name[64];
    std::snprintf(name, sizeof name, "Global\\tolmar-hid-%016llx", static_cast<unsigned long long>(hash));
    return name;
}

bool isUsbDeviceId(std::string_view id)
{
    if (!startsWithFolded(id, "usb\\"))
        return false;
    const std::size_t end = id.find('\\', 4);
    const std::string hardware = foldedPath(id.substr(4, end == std::string_view::npos ? end : end - 4));
    return hardware.find("&mi_") == std::string::npos;
}

bool isPortLocation(std::string_view location)
{
    return startsWithFolded(location, "port_#");
}

std::string trimmedMessage(std::string text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

} // namespace tolmar::winhid
