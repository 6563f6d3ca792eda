#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the program sends to the USB-to-UART bridge, and how it names devices.
namespace tolmar {

// The baud-rate options B9600, B4800, B2400 (only B9600 is set; the user
// cannot change them).
struct BaudOptions {
    bool B2400 = false;
    bool B4800 = false;
    bool B9600 = true;
};

// The 10-byte configuration feature report:
//   0     report ID 0
//   1..4  baud rate, 32-bit little-endian; the lowest rate set wins, none gives 0
//   5     0x03
//   6..9  0
std::array<std::uint8_t, 10> configurationReport(const BaudOptions &options);

// The request for a frame, an output report of the device's output report
// length: report ID 0, then 0x02 0x5A, then zeros.
std::vector<std::uint8_t> requestReport(std::size_t outputReportLength);

// The product string, or "Device VID=xxxx PID=xxxx" without one; then
// " (Serial=...)" when the device has a serial number string.
std::string DescribeDevice(const std::string &product, const std::string &serial, std::uint16_t vendorId,
                           std::uint16_t productId);

// Each byte as two uppercase hex digits and a blank: the link log's form.
std::string hexBytesLine(const std::uint8_t *bytes, std::size_t count);

} // namespace tolmar
