#pragma once

#include <QPainterPath>

#include <cstdint>
#include <optional>

namespace tolmar {

// Fourteen-segment glyphs drawn as outlines, for when no segment font is
// installed, for the lower-case unit letters ("m" milli, "n" nano, "u"),
// which the segment font draws as capitals, and for a V that reads as one.
// Same units as LcdGlyphs: cap height 1, x from 0 to drawnSegmentWidth.
constexpr qreal drawnSegmentWidth = 0.62;
constexpr qreal drawnSegmentAdvance = 0.8;

// The outline of a character, an empty path for a blank, or nothing when the
// character has no segment picture.
std::optional<QPainterPath> drawnSegmentGlyph(std::uint8_t character, bool bold);
// True for the letters drawn here even when the segment font is installed:
// the lower-case ones with a shape of their own on an LCD, and V.
bool prefersDrawnSegments(std::uint8_t character);

} // namespace tolmar
