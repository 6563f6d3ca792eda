#pragma once

#include <string>
#include <string_view>

namespace tolmar::json {

// A JSON string literal. Bytes 0x80..0xFF are taken as Latin-1 characters:
// the meter's texts are bytes, not UTF-8.
std::string quote(std::string_view bytes);

// Builds one JSON object on one line: {"key": value, ...}.
class ObjectWriter {
public:
    ObjectWriter &text(std::string_view key, std::string_view value);
    ObjectWriter &number(std::string_view key, long long value);
    // value is already JSON.
    ObjectWriter &raw(std::string_view key, std::string_view value);
    std::string str() const { return m_body + "}"; }

private:
    void keyPrefix(std::string_view key);
    std::string m_body = "{";
};

} // namespace tolmar::json
