#include "cli/Json.h"

#include <cstdio>

namespace tolmar::json {

namespace {
void appendEscaped(std::string &out, unsigned code)
{
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04X", code);
    out += escaped;
}
} // namespace

std::string quote(std::string_view bytes)
{
    std::string out = "\"";
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        switch (byte) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                appendEscaped(out, byte);
            } else if (byte < 0x80) {
                out += bytes[at];
            } else if (const std::size_t length = utf8SequenceAt(bytes, at)) {
                // U+0080..U+009F (C2 80..C2 9F) are controls: escaped as a
                // lone byte of the same value would be.
                const auto second = static_cast<unsigned char>(bytes[at + 1]);
                if (byte == 0xC2 && second < 0xA0)
                    appendEscaped(out, second);
                else
                    out.append(bytes, at, length);
                at += length - 1;
            } else {
                appendEscaped(out, byte); // the Latin-1 character of the byte
            }
        }
    }
    return out + "\"";
}

void ObjectWriter::keyPrefix(std::string_view key)
{
    if (m_body.size() > 1)
        m_body += ", ";
    m_body += quote(key);
    m_body += ": ";
}

ObjectWriter &ObjectWriter::text(std::string_view key, std::string_view value)
{
    keyPrefix(key);
    m_body += quote(value);
    return *this;
}

ObjectWriter &ObjectWriter::number(std::string_view key, long long value)
{
    keyPrefix(key);
    m_body += std::to_string(value);
    return *this;
}

ObjectWriter &ObjectWriter::raw(std::string_view key, std::string_view value)
{
    keyPrefix(key);
    m_body += value;
    return *this;
}

} // namespace tolmar::json
