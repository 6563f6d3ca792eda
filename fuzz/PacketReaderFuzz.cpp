// Any bytes as a data packet: read whole and in pieces of random size (the
// two must agree), a packet that loads written and read back (the same
// records, the same bytes when written again) and, one in eight, exported as
// text; every attribute value the tokenizer finds decoded both as UTF-8 and
// as Windows-1252.

#include "fuzz/FuzzSupport.h"

#include "files/Packet.h"
#include "files/PacketTokenizer.h"
#include "files/TextTable.h"
#include "platform/BackgroundWork.h"
#include "platform/Locale.h"

#include <cstdint>

using namespace tolmar;
using namespace tolmar::fuzz;

namespace {

bool isAscii(std::string_view text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

void checkAttributeValues(std::string_view bytes)
{
    PacketTag tag;
    std::string error;
    std::string asUtf8;
    std::string as1252;
    std::size_t at = 0;
    for (;;) {
        std::size_t consumed = 0;
        const auto result = PacketTokenizer::next(bytes.substr(at), true, consumed, tag, error);
        if (consumed > bytes.size() - at)
            fail("the tokenizer consumed more than it was given");
        if (result == PacketTokenizer::Result::NeedMore)
            fail("the tokenizer wants more after the last byte");
        if (result != PacketTokenizer::Result::Tag)
            return;
        if (consumed == 0)
            fail("a tag of no bytes");
        for (const PacketTag::Attribute &attribute : tag.attributes) {
            std::string utf8Error;
            std::string cp1252Error;
            const bool utf8Ok = decodePacketValue(attribute.value, false, asUtf8, utf8Error);
            const bool cp1252Ok = decodePacketValue(attribute.value, true, as1252, cp1252Error);
            // Only the references can be wrong, and they are ASCII.
            if (utf8Ok != cp1252Ok || utf8Error != cp1252Error)
                fail("the code page decides whether a value decodes", std::string(attribute.value));
            if (!utf8Ok)
                continue;
            if (!validUtf8(as1252))
                fail("a Windows-1252 value decoded to something other than UTF-8", std::string(attribute.value));
            if (validUtf8(attribute.value) && !validUtf8(asUtf8))
                fail("a UTF-8 value decoded to something other than UTF-8", std::string(attribute.value));
            if (isAscii(attribute.value) && asUtf8 != as1252)
                fail("an ASCII value decoded differently by code page", std::string(attribute.value));
        }
        at += consumed;
    }
}

void checkWrittenBack(const ReadingTable &table, bool exportToo)
{
    StringSink written;
    if (!writePacket(table.snapshot(), written))
        fail("writing a loaded table failed");
    if (written.text.find_first_of("\r\n") != std::string::npos)
        fail("a written packet is more than one line");
    if (!validUtf8(written.text))
        fail("a written packet is not UTF-8");

    ReadingTable reread;
    MemorySource source(written.text);
    const LoadResult result = readPacket(source, reread);
    if (!result.loaded())
        fail("a written packet does not load", describe(result) + " in " + written.text.substr(0, 4096));
    requireSameTables(table, reread, false, "written and read back");

    // A record's state is either written or dropped, so the second writing
    // must give the same bytes as the first.
    StringSink again;
    if (!writePacket(reread.snapshot(), again) || again.text != written.text)
        fail("a packet read back is written differently");

    if (!exportToo)
        return;
    StringSink exported;
    if (!exportText(table.snapshot(), FixedLocale(), exported))
        fail("exporting a loaded table failed");
    if (exported.text.compare(0, exportHeaderLine.size(), exportHeaderLine) != 0)
        fail("an export without its header line");
    if (exported.text.size() < 2 || exported.text.compare(exported.text.size() - 2, 2, "\r\n") != 0)
        fail("an export that does not end in CR LF");
    if (!validUtf8(exported.text))
        fail("an export is not UTF-8");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);

    ReadingTable table;
    MemorySource source(bytes);
    const LoadResult result = readPacket(source, table);
    if (result.status == LoadResult::Status::Cancelled)
        fail("a read without a progress was cancelled");
    if (!result.loaded() && (result.offset > size || result.error.empty()))
        fail("a failure without a place in the packet or a reason", describe(result));
    if (result.line != 0)
        fail("a packet failure with a line number", describe(result));
    requireStoredTexts(table);

    ReadingTable piecewise;
    PiecewiseSource pieces(bytes, hashBytes(bytes));
    WorkProgress progress;
    const LoadResult piecewiseResult = readPacket(pieces, piecewise, &progress);
    requireSameResults(result, piecewiseResult, "read whole and in pieces");
    requireSameTables(table, piecewise, true, "read whole and in pieces");

    // An export sets up a day of time texts and a large buffer, which would
    // take most of the time of a run: one input in eight is exported.
    if (result.loaded())
        checkWrittenBack(table, hashBytes(bytes) % 8 == 0);
    checkAttributeValues(bytes);
    return 0;
}
