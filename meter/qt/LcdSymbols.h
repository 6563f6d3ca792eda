#pragma once

#include <QPainterPath>

#include <cstdint>
#include <optional>

namespace tolmar {

// The LCD's symbol characters, which no segment font has: "*" ohm, "+" micro,
// ")" diode, "!" record, '"' hold, "$" battery, "&" continuity (the second
// resistance symbol). Units as LcdGlyphs: cap height 1, baseline at y = 1.
struct LcdSymbol {
    QPainterPath path;
    qreal advance;
};

std::optional<LcdSymbol> lcdSymbol(std::uint8_t character);

} // namespace tolmar
