#pragma once

#include "platform/HidPlatform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The hidraw interfaces as sysfs shows them. Everything here reads files
// under a sysfs root ("/sys", or a fake tree in the tests) and needs no
// access to the device nodes.
namespace tolmar::sysfs {

struct Hidraw {
    std::string syspath; // canonical, e.g. /sys/devices/.../0003:1A86:E008.0004/hidraw/hidraw3
    std::string devnode; // e.g. /dev/hidraw3
};

// The hidraw interfaces under root/class/hidraw, by hidraw number. Empty when
// the folder is missing.
std::vector<Hidraw> listHidraw(const std::string &root);

// The device node of a hidraw syspath: "/dev/" + DEVNAME from its uevent,
// else "/dev/" + its folder name.
std::string devnodeOf(const std::string &syspath);

// The folders behind one hidraw interface.
struct HidDevice {
    std::string hidraw;    // the hidraw syspath
    std::string hid;       // the HID device: report_descriptor, uevent (HID_ID)
    std::string usbDevice; // the USB device above it, empty when not on USB
};

// nullopt when the syspath is gone (the device was unplugged).
std::optional<HidDevice> resolve(const std::string &syspath);

// Vendor and product ID and version: from the USB device (idVendor,
// idProduct, bcdDevice), else from HID_ID in the HID device's uevent
// (version 0).
std::optional<HidAttributes> attributes(const HidDevice &device);
// A string attribute of the USB device ("product", "serial",
// "manufacturer"), without the trailing newline; nullopt when it has none.
std::optional<std::string> usbString(const HidDevice &device, const char *name);
std::optional<std::vector<std::uint8_t>> reportDescriptor(const HidDevice &device);
// The USB device's bus and device number, for its usbfs node.
std::optional<std::pair<int, int>> usbBusAndDevice(const HidDevice &device);

} // namespace tolmar::sysfs
