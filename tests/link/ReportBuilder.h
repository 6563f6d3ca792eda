#pragma once

// Input reports of the bridge for tests: report ID 0, then 8 data bytes, the
// first holding the payload count in its low four bits.
#include <cstdint>
#include <string>
#include <vector>

namespace tolmar::test {

struct Report {
    std::uint8_t id = 0;
    std::vector<std::uint8_t> data;
};

inline std::vector<std::uint8_t> bytesOf(const std::string &hex)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// A data-bearing report with `payload` (1..7 bytes), count byte = highNibble | n.
inline Report dataReport(const std::vector<std::uint8_t> &payload, std::uint8_t highNibble = 0)
{
    Report r;
    r.data.assign(8, 0);
    r.data[0] = static_cast<std::uint8_t>(highNibble | payload.size());
    for (std::size_t i = 0; i < payload.size() && i < 7; ++i)
        r.data[i + 1] = payload[i];
    return r;
}

// A report without payload: the count digit 0 or A..F.
inline Report idleReport(std::uint8_t countByte = 0x00)
{
    Report r;
    r.data.assign(8, 0);
    r.data[0] = countByte;
    return r;
}

// One burst: the bytes in data reports of at most `perReport` bytes, then one
// idle report to close it.
inline std::vector<Report> burst(const std::vector<std::uint8_t> &bytes, std::size_t perReport = 7,
                                 std::uint8_t closer = 0x00)
{
    std::vector<Report> reports;
    for (std::size_t at = 0; at < bytes.size(); at += perReport)
        reports.push_back(dataReport({bytes.begin() + static_cast<long>(at),
                                      bytes.begin() + static_cast<long>(std::min(bytes.size(), at + perReport))}));
    reports.push_back(idleReport(closer));
    return reports;
}

} // namespace tolmar::test
