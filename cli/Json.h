#pragma once

#include "platform/TextEncoding.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tolmar::json {

// A JSON string literal. UTF-8 in the text (a decimal separator from the
// locale or the command line) is written as it is; a byte that is not part
// of a UTF-8 sequence is the meter's own (0xB5, 0xB0) and is taken as its
// Latin-1 character (\u00B5: the output's documented form, which callers
// parse; the window and the files read such a byte as Windows-1252, the same
// character outside 0x80..0x9F), so the output is always valid UTF-8. Control characters,
// C1 ones included, are escaped as \u00XX.
std::string quote(std::string_view bytes);

// The length of the UTF-8 sequence of two to four bytes that starts at
// `at`; 0 when the bytes there are ASCII or not UTF-8 (a lone 0xB5, a
// sequence cut short, an overlong form, a surrogate).
using tolmar::utf8SequenceAt;

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
