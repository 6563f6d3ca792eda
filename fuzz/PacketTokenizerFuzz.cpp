// The packet tokenizer fed the same bytes whole and in pieces, the way a
// reader feeds it block by block: cut anywhere, the tags, the end and any
// error (what and where) must be the same. Short inputs are cut at every
// single place and fed a byte at a time; longer ones in pieces of random
// size. The input as a whole, and every attribute value, also goes through
// decodePacketValue.

#include "fuzz/FuzzSupport.h"

#include "files/PacketTokenizer.h"

#include <cstdint>
#include <vector>

using namespace tolmar;
using namespace tolmar::fuzz;

namespace {

struct OwnedTag {
    PacketTag::Kind kind;
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    bool operator==(const OwnedTag &) const = default;
};

struct Scan {
    std::vector<OwnedTag> tags;
    PacketTokenizer::Result last = PacketTokenizer::Result::End;
    std::size_t errorAt = 0;
    std::string error;
    bool operator==(const Scan &) const = default;
};

OwnedTag own(const PacketTag &tag)
{
    OwnedTag owned{tag.kind, std::string(tag.name), {}};
    for (const PacketTag::Attribute &a : tag.attributes)
        owned.attributes.emplace_back(std::string(a.name), std::string(a.value));
    return owned;
}

std::string describe(const Scan &scan)
{
    std::string text = std::to_string(scan.tags.size()) + " tags";
    if (!scan.tags.empty())
        text += ", the last <" + scan.tags.back().name + "> with " +
                std::to_string(scan.tags.back().attributes.size()) + " attributes";
    if (scan.last == PacketTokenizer::Result::Error)
        text += ", error at " + std::to_string(scan.errorAt) + ": " + scan.error;
    else
        text += ", end";
    return text;
}

// Feeds `bytes` in pieces that end at `cuts` (ascending, inside the bytes),
// keeping what the tokenizer left over in front of the next piece.
Scan scanInPieces(std::string_view bytes, const std::vector<std::size_t> &cuts)
{
    Scan scan;
    std::string pending;
    std::size_t base = 0; // offset of pending[0] in bytes
    std::size_t fed = 0;
    std::size_t nextCut = 0;
    const auto feed = [&] {
        const std::size_t to = nextCut < cuts.size() ? cuts[nextCut++] : bytes.size();
        pending.append(bytes.substr(fed, to - fed));
        fed = to;
    };
    feed();
    PacketTag tag;
    for (;;) {
        const bool final = fed == bytes.size();
        std::size_t consumed = 0;
        std::string error;
        const auto result = PacketTokenizer::next(pending, final, consumed, tag, error);
        if (consumed > pending.size())
            fail("the tokenizer consumed more than it was given");
        switch (result) {
        case PacketTokenizer::Result::Tag:
            if (consumed == 0)
                fail("a tag of no bytes");
            scan.tags.push_back(own(tag));
            break;
        case PacketTokenizer::Result::NeedMore:
            if (final)
                fail("the tokenizer wants more after the last byte");
            feed();
            break;
        case PacketTokenizer::Result::End:
            if (!final)
                fail("the tokenizer ended before the last byte");
            scan.last = result;
            return scan;
        case PacketTokenizer::Result::Error:
            scan.last = result;
            scan.errorAt = base + consumed;
            scan.error = error;
            return scan;
        }
        pending.erase(0, consumed);
        base += consumed;
    }
}

void requireSameScan(const Scan &whole, std::string_view bytes, const std::vector<std::size_t> &cuts)
{
    const Scan pieces = scanInPieces(bytes, cuts);
    if (pieces == whole)
        return;
    std::string where;
    for (const std::size_t cut : cuts)
        where += (where.empty() ? "" : ",") + std::to_string(cut);
    fail("cut into pieces the bytes tokenize differently",
         "whole: " + describe(whole) + "; cut at " + where.substr(0, 400) + ": " + describe(pieces));
}

void checkDecoding(std::string_view raw)
{
    std::string asUtf8;
    std::string as1252;
    std::string utf8Error;
    std::string cp1252Error;
    const bool utf8Ok = decodePacketValue(raw, false, asUtf8, utf8Error);
    const bool cp1252Ok = decodePacketValue(raw, true, as1252, cp1252Error);
    if (utf8Ok != cp1252Ok || utf8Error != cp1252Error)
        fail("the code page decides whether a value decodes");
    if (utf8Ok && !validUtf8(as1252))
        fail("a Windows-1252 value decoded to something other than UTF-8");
    if (utf8Ok && validUtf8(raw) && !validUtf8(asUtf8))
        fail("a UTF-8 value decoded to something other than UTF-8");
    if (!utf8Ok && utf8Error.empty())
        fail("a value that does not decode without a reason");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const Scan whole = scanInPieces(bytes, {});

    std::vector<std::size_t> cuts;
    if (size <= 96) {
        for (std::size_t at = 1; at < size; ++at)
            requireSameScan(whole, bytes, {at});
        for (std::size_t at = 1; at < size; ++at)
            cuts.push_back(at);
        requireSameScan(whole, bytes, cuts);
    } else {
        // A byte at a time rescans a cut tag from its start each time, which
        // is quadratic in a long tag: random pieces here, twice.
        Random random(hashBytes(bytes));
        for (int round = 0; round < 2; ++round) {
            cuts.clear();
            for (std::size_t at = random.pieceSize(); at < size; at += random.pieceSize())
                cuts.push_back(at);
            requireSameScan(whole, bytes, cuts);
        }
    }

    checkDecoding(bytes.substr(0, 4096));
    for (const OwnedTag &tag : whole.tags)
        for (const auto &attribute : tag.attributes)
            checkDecoding(attribute.second);
    return 0;
}
