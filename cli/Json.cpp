#include "cli/Json.h"

#include <cstdio>

namespace tolmar::json {

std::string quote(std::string_view bytes)
{
    std::string out = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20 || byte >= 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
                out += escaped;
            } else {
                out += c;
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
