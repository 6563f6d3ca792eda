#include "platform/linux/HidReportDescriptor.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <vector>

namespace tolmar {

namespace {

// Item prefixes with their size bits masked off (tag and type).
constexpr std::uint8_t itemInput = 0x80;
constexpr std::uint8_t itemOutput = 0x90;
constexpr std::uint8_t itemFeature = 0xB0;
constexpr std::uint8_t itemReportSize = 0x74;
constexpr std::uint8_t itemReportId = 0x84;
constexpr std::uint8_t itemReportCount = 0x94;
constexpr std::uint8_t itemPush = 0xA4;
constexpr std::uint8_t itemPop = 0xB4;
constexpr std::uint8_t longItemPrefix = 0xFE;

// The global items a report's length depends on.
struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

// Deeper Push nesting than this only comes from a broken or hostile descriptor.
constexpr std::size_t maxPushDepth = 64;

std::uint16_t reportBytes(std::uint64_t bits)
{
    const std::uint64_t bytes = bits / 8 + (bits % 8 != 0) + 1;
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(bytes, 0xFFFF));
}

} // namespace

std::optional<ReportDescriptorSummary> parseReportDescriptor(std::span<const std::uint8_t> descriptor)
{
    Globals globals;
    std::vector<Globals> stack;
    // Bits per (report type index, report ID); a type with no entry has no report.
    std::array<std::map<std::uint32_t, std::uint64_t>, 3> bits;
    ReportDescriptorSummary summary;

    std::size_t at = 0;
    while (at < descriptor.size()) {
        const std::uint8_t prefix = descriptor[at];
        if (prefix == longItemPrefix) {
            // Long item: size byte, tag byte, then the data; it carries no
            // report information.
            if (at + 3 > descriptor.size())
                return std::nullopt;
            const std::size_t size = descriptor[at + 1];
            if (at + 3 + size > descriptor.size())
                return std::nullopt;
            at += 3 + size;
            continue;
        }
        const std::size_t size = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
        if (at + 1 + size > descriptor.size())
            return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i)
            value |= static_cast<std::uint32_t>(descriptor[at + 1 + i]) << (8 * i);
        at += 1 + size;

        switch (prefix & 0xFC) {
        case itemReportSize:
            globals.reportSize = value;
            break;
        case itemReportCount:
            globals.reportCount = value;
            break;
        case itemReportId:
            globals.reportId = value;
            summary.numberedReports = true;
            break;
        case itemPush:
            if (stack.size() == maxPushDepth)
                return std::nullopt;
            stack.push_back(globals);
            break;
        case itemPop:
            if (stack.empty())
                return std::nullopt;
            globals = stack.back();
            stack.pop_back();
            break;
        case itemInput:
        case itemOutput:
        case itemFeature: {
            const std::size_t type = (prefix & 0xFC) == itemInput ? 0 : (prefix & 0xFC) == itemOutput ? 1 : 2;
            // Constant (padding) fields take room in the report too.
            std::uint64_t &sum = bits[type][globals.reportId];
            const std::uint64_t field = static_cast<std::uint64_t>(globals.reportSize) * globals.reportCount;
            sum = sum > std::numeric_limits<std::uint64_t>::max() - field ? std::numeric_limits<std::uint64_t>::max()
                                                                           : sum + field;
            break;
        }
        default:
            break; // other global, local and collection items
        }
    }

    const auto longest = [](const std::map<std::uint32_t, std::uint64_t> &reports) -> std::uint16_t {
        if (reports.empty())
            return 0;
        std::uint64_t most = 0;
        for (const auto &report : reports)
            most = std::max(most, report.second);
        return reportBytes(most);
    };
    summary.lengths.InputReportByteLength = longest(bits[0]);
    summary.lengths.OutputReportByteLength = longest(bits[1]);
    summary.lengths.FeatureReportByteLength = longest(bits[2]);
    return summary;
}

} // namespace tolmar
