#include "link/BridgeReports.h"

#include "platform/NumberText.h"

#include <cstdio>

namespace tolmar {

std::array<std::uint8_t, 10> configurationReport(const BaudOptions &options)
{
    std::array<std::uint8_t, 10> report{};
    // Each option that is set overwrites the rate, so the lowest wins. The
    // rates fit in bytes 1 and 2; bytes 3 and 4 stay zero.
    auto setRate = [&report](unsigned rate) {
        report[1] = static_cast<std::uint8_t>(rate & 0xFF);
        report[2] = static_cast<std::uint8_t>(rate >> 8);
    };
    if (options.B9600)
        setRate(9600);
    if (options.B4800)
        setRate(4800);
    if (options.B2400)
        setRate(2400);
    report[5] = 0x03;
    return report;
}

std::vector<std::uint8_t> requestReport(std::size_t outputReportLength)
{
    std::vector<std::uint8_t> report(outputReportLength, 0);
    if (report.size() > 1)
        report[1] = 0x02;
    if (report.size() > 2)
        report[2] = 0x5A;
    return report;
}

std::string DescribeDevice(const std::string &product, const std::string &serial, std::uint16_t vendorId,
                           std::uint16_t productId)
{
    std::string description = product;
    if (description.empty()) {
        char ids[40];
        std::snprintf(ids, sizeof ids, "Device VID=%.4X PID=%.4X", vendorId, productId);
        description = ids;
    }
    if (!serial.empty())
        description += " (Serial=" + serial + ")";
    return description;
}

std::string hexBytesLine(const std::uint8_t *bytes, std::size_t count)
{
    std::string line;
    line.reserve(3 * count);
    for (std::size_t i = 0; i < count; ++i) {
        appendHexByte(line, bytes[i]);
        line += ' ';
    }
    return line;
}

} // namespace tolmar
