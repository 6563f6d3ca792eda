// Any bytes as a session journal (or, after a first byte '#', as the lines
// of one, each given its right check, so the fuzzer gets past the checks to
// what the lines say): read whole and in pieces of random size
// (the two must agree), never more than its whole lines, and the same again
// from those lines alone. What a journal restores, written again as loaded
// rows and chart values, must read back the same: texts with every byte
// survive their escapes.

#include "fuzz/FuzzSupport.h"

#include "files/Journal.h"
#include "platform/BackgroundWork.h"

#include <cstdio>

using namespace tolmar;
using namespace tolmar::fuzz;

namespace {

void requireSameContents(const JournalContents &a, const JournalContents &b, const char *what)
{
    if (a.status != b.status || a.reason != b.reason || a.validBytes != b.validBytes || a.lineCount != b.lineCount
        || a.created != b.created)
        fail(what, "status, reason, length or lines differ");
    requireSameTables(a.rows, b.rows, true, what);
    for (std::size_t i = 0; i < a.rows.size(); ++i)
        if (a.rows.dateOf(i) != b.rows.dateOf(i))
            fail(what, "dates differ at row " + std::to_string(i));
    if (a.chartValues != b.chartValues || !(a.numbering == b.numbering))
        fail(what, "chart values or numbering differ");
}

// The lines of `bodies` each with its CRC; a last line without a line feed stays cut.
std::string checked(std::string_view bodies)
{
    std::string out;
    std::size_t at = 0;
    for (std::size_t eol; (eol = bodies.find('\n', at)) != std::string_view::npos; at = eol + 1) {
        const std::string_view body = bodies.substr(at, eol - at);
        char crc[16];
        std::snprintf(crc, sizeof crc, "\t%08x\n", crc32(body));
        out.append(body);
        out.append(crc);
    }
    out.append(bodies.substr(at));
    return out;
}

JournalContents read(std::string_view bytes)
{
    MemorySource source(bytes);
    return readJournal(source);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char *>(data), size);
    std::string withChecks;
    if (!bytes.empty() && bytes[0] == '#') {
        withChecks = checked(bytes.substr(1));
        bytes = withChecks;
        size = withChecks.size();
    }
    const JournalContents whole = read(bytes);
    // The texts are the table's bytes as they were (the meter's 0xB5 too), cut to the field.
    for (std::size_t i = 0; i < whole.rows.size(); ++i) {
        const ReadingRecord r = whole.rows.at(i);
        for (const std::string_view text : {r.DCAC, r.Value, r.Unit, r.Auto})
            if (cutToFieldWidth(text) != text)
                fail("a restored text is longer than the field", describe(r));
    }

    PiecewiseSource pieces(bytes, hashBytes(bytes));
    WorkProgress progress;
    requireSameContents(whole, readJournal(pieces, &progress), "read whole and in pieces");

    if (whole.status == JournalContents::Status::Refused)
        return 0;
    if (whole.validBytes > size || bytes[whole.validBytes - 1] != '\n')
        fail("the whole lines do not end in a line feed");
    JournalContents lines = read(bytes.substr(0, whole.validBytes));
    if (lines.status != JournalContents::Status::Restorable)
        fail("the whole lines alone are not restorable");
    lines.status = whole.status; // the rest is the same
    requireSameContents(whole, lines, "read whole and up to its last whole line");

    std::string again;
    journal::appendHeader(again, whole.created);
    journal::appendBegin(again, 'E', {0, 0});
    for (const double value : whole.chartValues)
        journal::appendChartValue(again, value);
    journal::appendRows(again, whole.rows.snapshot(), 0, whole.rows.size());
    journal::appendNumbering(again, whole.numbering);
    JournalContents rewritten = read(again);
    if (rewritten.status != JournalContents::Status::Restorable)
        fail("a journal written again is not restorable", rewritten.reason);
    rewritten.status = whole.status;
    rewritten.validBytes = whole.validBytes;
    rewritten.lineCount = whole.lineCount;
    requireSameContents(whole, rewritten, "restored and written again");
    return 0;
}
