#include "cli/Commands.h"
#include "cli/Options.h"
#include "link/JvHidControllerClass.h"
#include "platform/UiDispatcher.h"
#include "platform/SystemHid.h"
#include "platform/sim/SimulatedHidPlatform.h"

#include <cstdio>
#include <memory>
#include <ostream>

namespace tolmar::cli {

namespace {
const char *const devicesDescription =
    "      List the HID interfaces as Tolmar sees them: index, device path,\n"
    "      VID:PID, product and serial number strings, input, output and\n"
    "      feature report lengths, and whether Tolmar may read and write it;\n"
    "      for each cable its port and whether another Tolmar uses it.\n"
    "      The meter's cable is the last \"USB to Serial\" entry without a\n"
    "      serial number that no other Tolmar uses; --device takes a port or\n"
    "      an index shown here. --simulate lists the simulated cables instead.\n";

// The command line of devices.
struct DevicesLine {
    bool simulate = false;
    int cables = 1;
    OptionTable table{"devices", "devices: unknown argument "};

    DevicesLine()
    {
        table.describe(devicesDescription);
        addSimulateOption(table, simulate, cables);
    }
};

// What one enumerated interface shows, read while it is being enumerated.
struct Listed {
    int index;
    std::string path;
    std::uint16_t vendor;
    std::uint16_t product;
    std::string productText;
    std::string serialText;
    HidReportLengths lengths;
    bool canReadWrite;
    std::string port = {};
    bool inUse = false; // held by another Tolmar
};

std::string hex4(std::uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

void print(std::ostream &out, const Listed &device)
{
    out << device.index << ": " << device.path << "\n"
        << "   VID:PID   " << hex4(device.vendor) << ":" << hex4(device.product) << "\n"
        << "   product   \"" << device.productText << "\"\n"
        << "   serial    \"" << device.serialText << "\"\n"
        << "   reports   input " << device.lengths.InputReportByteLength << ", output "
        << device.lengths.OutputReportByteLength << ", feature " << device.lengths.FeatureReportByteLength
        << " bytes\n"
        << "   access    " << (device.canReadWrite ? "read and write" : "queries only (no permission to read and write)")
        << "\n";
    if (!device.port.empty())
        out << "   port      " << device.port << "\n";
    if (device.productText == SimulatedHidPlatform::productName && device.serialText.empty())
        out << "   in use    " << (device.inUse ? "by another Tolmar" : "no") << "\n";
}

// The cable the program would take: the last "USB to Serial" without a
// serial number.
void explain(std::ostream &out, const std::vector<Listed> &devices)
{
    const Listed *cable = nullptr;
    bool withSerial = false;
    for (const Listed &device : devices) {
        if (device.productText != SimulatedHidPlatform::productName)
            continue;
        if (device.serialText.empty()) {
            // The last one no other Tolmar uses; the last one when all are used.
            if (!device.inUse || !cable || cable->inUse)
                cable = &device;
        } else
            withSerial = true;
    }
    out << "\n";
    if (cable && cable->inUse) {
        out << "The meter's cable (entry " << cable->index << ") is in use by another Tolmar.\n";
    } else if (cable && cable->canReadWrite) {
        out << "The meter's cable is entry " << cable->index << ".\n";
    } else if (cable) {
        out << "The meter's cable (entry " << cable->index
            << ") cannot be opened for reading and writing. Tolmar's udev rule gives the\n"
               "user logged in at the machine access: the package installs it as\n"
               "/usr/lib/udev/rules.d/70-tolmar.rules; from source, install\n"
               "packaging/udev/70-tolmar.rules (README.md, \"Install\"). Then plug the cable\n"
               "in again.\n";
    } else if (withSerial) {
        out << "A \"USB to Serial\" device is there, but it reports a serial number: Tolmar\n"
               "takes only the meter's cable, which has none.\n";
    } else {
        out << "No meter cable (\"USB to Serial\") found: plug it in, then run this again.\n";
    }
}

} // namespace

std::string devicesHelp()
{
    return DevicesLine().table.help();
}

int devicesCommand(const Args &args, std::ostream &out, std::ostream &err)
{
    DevicesLine line;
    if (const int status = line.table.parse(args, err))
        return status;

    std::unique_ptr<HidPlatform> platform;
    if (line.simulate)
        platform = std::make_unique<SimulatedHidPlatform>(SimulatedHidPlatform::sharedCables(line.cables));
    else
        platform = makeSystemHidPlatform();
    InlineUiDispatcher dispatcher;

    std::vector<Listed> devices;
    try {
        TJvHidDeviceController controller(*platform, dispatcher);
        // The strings can be read only while a device is being enumerated.
        controller.SetOnEnumerate([&devices, &platform](TJvHidDevice *device, int index) {
            devices.push_back({index, device->PnPInfo().DevicePath, device->VendorID(), device->ProductID(),
                               device->ProductText(), device->SerialText(), device->Capabilities(),
                               device->CanReadWrite()});
            Listed &listed = devices.back();
            const HidInterfaceInfo where{listed.path, device->PnPInfo().DeviceInstance};
            listed.port = platform->port(where);
            // Only bridges are looked at: a look opens the device node.
            if (listed.productText == SimulatedHidPlatform::productName)
                listed.inUse = platform->heldElsewhere(where);
            return true;
        });
        controller.EnumeratePresent();
    } catch (const EControllerError &error) {
        err << "tolmar-cli: devices: " << error.what() << "\n";
        return 1;
    }

    if (devices.empty()) {
        out << "No HID interfaces found.\n";
    } else {
        for (const Listed &device : devices)
            print(out, device);
    }
    explain(out, devices);
    return 0;
}

} // namespace tolmar::cli
