#pragma once

#include "platform/HidPlatform.h"

#include <cstdint>
#include <optional>
#include <span>

namespace tolmar {

// What the controller needs from a HID report descriptor.
struct ReportDescriptorSummary {
    // Per report type, the longest report in bytes plus 1 for the report ID
    // byte (counted also when the device has no numbered reports), as the
    // Windows HID capabilities give it; 0 when the device has no report of
    // that type.
    HidReportLengths lengths;
    // The descriptor declares report IDs: every report then starts with its ID.
    bool numberedReports = false;
};

// Walks the descriptor's items: per report type and report ID the main items'
// Report Size x Report Count are summed (Push and Pop honoured, long items
// skipped), and the longest report of each type is taken. nullopt for a
// descriptor that cannot be parsed: an item cut short, a Pop without a Push,
// or nesting deeper than any real device uses.
std::optional<ReportDescriptorSummary> parseReportDescriptor(std::span<const std::uint8_t> descriptor);

} // namespace tolmar
