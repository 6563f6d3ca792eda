// Arbitrary bytes as a HID report descriptor (a device's own, read from
// sysfs): the parser must stop at a damaged item without reading past the
// end, and give the same answer for the same bytes.
#include "platform/linux/HidReportDescriptor.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto summary = tolmar::parseReportDescriptor(std::span<const std::uint8_t>(data, size));
    if (!summary)
        return 0;
    // Parsing is a pure function of the bytes.
    const auto again = tolmar::parseReportDescriptor(std::span<const std::uint8_t>(data, size));
    if (!again || again->lengths != summary->lengths || again->numberedReports != summary->numberedReports) {
        std::fprintf(stderr, "fuzz check failed: a second parse differs\n");
        std::abort();
    }
    return 0;
}
