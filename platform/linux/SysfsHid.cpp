#include "platform/linux/SysfsHid.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tolmar::sysfs {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return text.str();
}

// A sysfs attribute without its trailing newline.
std::optional<std::string> readAttribute(const fs::path &path)
{
    auto text = readFile(path);
    if (text && !text->empty() && text->back() == '\n')
        text->pop_back();
    return text;
}

// KEY=value from a uevent file.
std::optional<std::string> ueventValue(const fs::path &folder, std::string_view key)
{
    const auto text = readFile(folder / "uevent");
    if (!text)
        return std::nullopt;
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line))
        if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 && line[key.size()] == '=')
            return line.substr(key.size() + 1);
    return std::nullopt;
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view text, int base)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<std::uint16_t> hexAttribute(const fs::path &path)
{
    const auto text = readAttribute(path);
    return text ? parseNumber<std::uint16_t>(*text, 16) : std::nullopt;
}

// hidraw12 -> 12, for ordering.
long hidrawNumber(const std::string &name)
{
    const auto digits = name.find_first_of("0123456789");
    if (digits == std::string::npos)
        return -1;
    return parseNumber<long>(std::string_view(name).substr(digits), 10).value_or(-1);
}

} // namespace

std::vector<Hidraw> listHidraw(const std::string &root)
{
    std::vector<std::pair<long, Hidraw>> found;
    std::error_code error;
    for (fs::directory_iterator it(fs::path(root) / "class" / "hidraw", error), end; !error && it != end;
         it.increment(error)) {
        std::error_code resolveError;
        const fs::path syspath = fs::canonical(it->path(), resolveError);
        if (resolveError)
            continue;
        const std::string name = it->path().filename().string();
        found.push_back({hidrawNumber(name), Hidraw{syspath.string(), devnodeOf(syspath.string())}});
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first : a.second.syspath < b.second.syspath;
    });
    std::vector<Hidraw> list;
    for (auto &entry : found)
        list.push_back(std::move(entry.second));
    return list;
}

std::string devnodeOf(const std::string &syspath)
{
    if (const auto name = ueventValue(syspath, "DEVNAME"); name && !name->empty())
        return (*name)[0] == '/' ? *name : "/dev/" + *name;
    return "/dev/" + fs::path(syspath).filename().string();
}

std::optional<HidDevice> resolve(const std::string &syspath)
{
    std::error_code error;
    const fs::path hid = fs::canonical(fs::path(syspath) / "device", error);
    if (error)
        return std::nullopt;
    HidDevice device{syspath, hid.string(), {}};
    // The USB device is an ancestor (HID device <- USB interface <- USB device).
    for (fs::path folder = hid.parent_path(); folder.has_relative_path() && folder != folder.parent_path();
         folder = folder.parent_path()) {
        if (ueventValue(folder, "DEVTYPE") == "usb_device") {
            device.usbDevice = folder.string();
            break;
        }
    }
    return device;
}

std::optional<HidAttributes> attributes(const HidDevice &device)
{
    HidAttributes result;
    if (!device.usbDevice.empty()) {
        const auto vendor = hexAttribute(fs::path(device.usbDevice) / "idVendor");
        const auto product = hexAttribute(fs::path(device.usbDevice) / "idProduct");
        if (vendor && product) {
            result.VendorID = *vendor;
            result.ProductID = *product;
            result.VersionNumber = hexAttribute(fs::path(device.usbDevice) / "bcdDevice").value_or(0);
            return result;
        }
    }
    // HID_ID=0003:00001A86:0000E008 (bus, vendor, product).
    const auto id = ueventValue(device.hid, "HID_ID");
    if (!id)
        return std::nullopt;
    const auto first = id->find(':');
    const auto second = first == std::string::npos ? std::string::npos : id->find(':', first + 1);
    if (second == std::string::npos)
        return std::nullopt;
    const auto vendor = parseNumber<std::uint32_t>(std::string_view(*id).substr(first + 1, second - first - 1), 16);
    const auto product = parseNumber<std::uint32_t>(std::string_view(*id).substr(second + 1), 16);
    if (!vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF)
        return std::nullopt;
    result.VendorID = static_cast<std::uint16_t>(*vendor);
    result.ProductID = static_cast<std::uint16_t>(*product);
    return result;
}

std::optional<std::string> usbString(const HidDevice &device, const char *name)
{
    if (device.usbDevice.empty())
        return std::nullopt;
    return readAttribute(fs::path(device.usbDevice) / name);
}

std::optional<std::vector<std::uint8_t>> reportDescriptor(const HidDevice &device)
{
    const auto bytes = readFile(fs::path(device.hid) / "report_descriptor");
    if (!bytes)
        return std::nullopt;
    return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
}

std::optional<std::pair<int, int>> usbBusAndDevice(const HidDevice &device)
{
    if (device.usbDevice.empty())
        return std::nullopt;
    const auto bus = readAttribute(fs::path(device.usbDevice) / "busnum");
    const auto dev = readAttribute(fs::path(device.usbDevice) / "devnum");
    if (!bus || !dev)
        return std::nullopt;
    const auto busNumber = parseNumber<int>(*bus, 10);
    const auto devNumber = parseNumber<int>(*dev, 10);
    if (!busNumber || !devNumber)
        return std::nullopt;
    return std::pair{*busNumber, *devNumber};
}

} // namespace tolmar::sysfs
