#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolmar {

// One tag of a data packet. Names and values point into the scanned text;
// values are raw (entity references not yet resolved).
struct PacketTag {
    enum class Kind { Declaration, Start, End, Empty };
    struct Attribute {
        std::string_view name;
        std::string_view value;
        bool hasReference = false; // an '&' in the value
    };
    Kind kind = Kind::Start;
    std::string_view name;
    std::vector<Attribute> attributes;
};

// Scans a data packet tag by tag. The packet looks like XML but is not: a
// name is any run of bytes other than blanks, '=', '"', '<', '>' and a '/'
// that closes the tag, so the field name DC/AC is an attribute name. Between
// tags only blanks may stand; comments, CDATA, doctypes and text are refused.
class PacketTokenizer {
public:
    enum class Result { Tag, NeedMore, End, Error };

    // Scans the next tag in `text`. `final` says no bytes follow `text`.
    // Tag: `tag` is filled and `consumed` bytes (blanks before it included)
    // are used. NeedMore: the tag is cut off; call again with more bytes from
    // the same start. End: only blanks were left. Error: `error` says what,
    // at byte `consumed` of `text`.
    static Result next(std::string_view text, bool final, std::size_t &consumed, PacketTag &tag, std::string &error);
};

// Resolves the references in a raw attribute value: the five named entities
// and decimal (&#NNN;) and hexadecimal (&#xHH;) character references, which
// are appended as UTF-8. With `windows1252` set the other bytes are Windows-
// 1252 and appended as UTF-8 too. False, with `error`, for a bad reference
// or a raw '&'.
bool decodePacketValue(std::string_view raw, bool windows1252, std::string &out, std::string &error);

} // namespace tolmar
