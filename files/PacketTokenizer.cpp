#include "files/PacketTokenizer.h"

#include "platform/TextEncoding.h"

#include <cstring>

namespace tolmar {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// True for a byte that ends a name; a '/' does so only right before '>'.
constexpr std::size_t maxAttributes = 256;

bool endsName(const char *p, const char *end)
{
    const char c = *p;
    if (isBlank(c) || c == '=' || c == '"' || c == '<' || c == '>')
        return true;
    if (c == '/')
        return p + 1 < end && p[1] == '>';
    if (c == '?')
        return p + 1 < end && p[1] == '>'; // the declaration's "?>"
    return false;
}

} // namespace

PacketTokenizer::Result PacketTokenizer::next(std::string_view text, bool final, std::size_t &consumed,
                                              PacketTag &tag, std::string &error)
{
    const char *const begin = text.data();
    const char *const end = begin + text.size();
    const char *p = begin;
    while (p < end && isBlank(*p))
        ++p;
    if (p == end) {
        consumed = text.size();
        return final ? Result::End : Result::NeedMore;
    }
    const auto fail = [&](const char *at, const char *what) {
        consumed = static_cast<std::size_t>(at - begin);
        error = what;
        return Result::Error;
    };
    // A tag cut off by the end of the bytes so far.
    const auto cut = [&]() {
        if (final)
            return fail(end, "the packet ends inside a tag");
        consumed = 0;
        return Result::NeedMore;
    };
    if (*p != '<')
        return fail(p, "text outside a tag");
    const char *const tagStart = p;
    ++p;
    if (p == end)
        return cut();
    tag.attributes.clear();
    if (*p == '?') {
        tag.kind = PacketTag::Kind::Declaration;
        ++p;
    } else if (*p == '/') {
        tag.kind = PacketTag::Kind::End;
        ++p;
    } else if (*p == '!') {
        return fail(p, "comments, CDATA and document types are not part of a packet");
    } else {
        tag.kind = PacketTag::Kind::Start;
    }

    const auto scanName = [&](std::string_view &name) -> bool {
        const char *start = p;
        while (p < end && !endsName(p, end))
            ++p;
        name = std::string_view(start, static_cast<std::size_t>(p - start));
        return p < end;
    };

    if (!scanName(tag.name))
        return cut();
    if (tag.name.empty())
        return fail(p, "a tag without a name");
    if (tag.kind == PacketTag::Kind::Declaration && tag.name != "xml")
        return fail(tagStart, "a processing instruction other than the XML declaration");

    for (;;) {
        const char *const blanks = p;
        while (p < end && isBlank(*p))
            ++p;
        if (p == end)
            return cut();
        const char c = *p;
        if (tag.kind == PacketTag::Kind::Declaration) {
            if (c == '?') {
                if (p + 1 == end)
                    return cut();
                if (p[1] != '>')
                    return fail(p, "'?' not followed by '>'");
                p += 2;
                break;
            }
        } else if (c == '>') {
            ++p;
            break;
        } else if (c == '/') {
            if (p + 1 == end)
                return cut();
            if (p[1] == '>' && tag.kind == PacketTag::Kind::Start) {
                tag.kind = PacketTag::Kind::Empty;
                p += 2;
                break;
            }
        }
        if (tag.kind == PacketTag::Kind::End)
            return fail(p, "an end tag with attributes");
        if (p == blanks)
            return fail(p, "no blank before an attribute");
        PacketTag::Attribute attribute;
        if (!scanName(attribute.name))
            return cut();
        if (attribute.name.empty())
            return fail(p, "an attribute without a name");
        while (p < end && isBlank(*p))
            ++p;
        if (p == end)
            return cut();
        if (*p != '=')
            return fail(p, "an attribute without '='");
        ++p;
        while (p < end && isBlank(*p))
            ++p;
        if (p == end)
            return cut();
        if (*p != '"')
            return fail(p, "an attribute value without '\"'");
        ++p;
        // One pass to the closing quote: values are short, so a loop beats
        // three library searches.
        const char *close = p;
        bool reference = false;
        for (; close < end && *close != '"'; ++close) {
            if (*close == '<')
                return fail(close, "'<' in an attribute value");
            reference |= *close == '&';
        }
        if (close == end)
            return cut();
        attribute.value = std::string_view(p, static_cast<std::size_t>(close - p));
        attribute.hasReference = reference;
        p = close + 1;
        // A packet's tags have a few attributes each (a row one per field);
        // the bound keeps the check for twice-given ones cheap on any input.
        if (tag.attributes.size() == maxAttributes)
            return fail(attribute.name.data(), "more than 256 attributes in a tag");
        for (const PacketTag::Attribute &other : tag.attributes)
            if (other.name == attribute.name)
                return fail(attribute.name.data(), "an attribute given twice");
        tag.attributes.push_back(attribute);
    }
    consumed = static_cast<std::size_t>(p - begin);
    return Result::Tag;
}

bool decodePacketValue(std::string_view raw, bool windows1252, std::string &out, std::string &error)
{
    out.clear();
    std::size_t at = 0;
    while (at < raw.size()) {
        const std::size_t amp = raw.find('&', at);
        const std::string_view plain = raw.substr(at, amp == std::string_view::npos ? raw.size() - at : amp - at);
        if (windows1252)
            appendWindows1252AsUtf8(out, plain);
        else
            out += plain;
        if (amp == std::string_view::npos)
            break;
        const std::size_t semicolon = raw.find(';', amp);
        if (semicolon == std::string_view::npos || semicolon - amp > 12) {
            error = "'&' without a reference";
            return false;
        }
        const std::string_view name = raw.substr(amp + 1, semicolon - amp - 1);
        if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "amp")
            out += '&';
        else if (name == "apos")
            out += '\'';
        else if (name == "quot")
            out += '"';
        else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            if (digits.empty()) {
                error = "a character reference without digits";
                return false;
            }
            char32_t code = 0;
            for (const char d : digits) {
                int v = d >= '0' && d <= '9' ? d - '0' : -1;
                if (hex && v < 0)
                    v = d >= 'a' && d <= 'f' ? d - 'a' + 10 : d >= 'A' && d <= 'F' ? d - 'A' + 10 : -1;
                if (v < 0) {
                    error = "a character reference with a bad digit";
                    return false;
                }
                code = code * (hex ? 16 : 10) + static_cast<char32_t>(v);
                if (code > 0x10FFFF) {
                    error = "a character reference past U+10FFFF";
                    return false;
                }
            }
            if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) {
                error = "a character reference to no character";
                return false;
            }
            appendUtf8(out, code);
        } else {
            error = "an unknown entity";
            return false;
        }
        at = semicolon + 1;
    }
    return true;
}

} // namespace tolmar
