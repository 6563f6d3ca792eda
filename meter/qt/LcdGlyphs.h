#pragma once

#include <QHash>
#include <QPainterPath>

#include <array>
#include <cstdint>

namespace tolmar {

// The glyphs of the LCD symbol font, as fillable outlines. Units are the cap
// height: y = 0 is the top of a digit, y = 1 its foot; x runs from 0 to the
// glyph's advance. Digits and letters come from the DSEG segment fonts when
// they can be found, else from segments drawn here; the LCD's own symbols
// ("*" ohm, "+" micro, ")" diode, "!" record, '"' hold, "$" battery,
// "&" continuity) are always drawn here, because no font has them.
class LcdGlyphs {
public:
    // Seven-segment digits, and the regular and bold letters of the annunciators.
    enum class Face { Digit, Letter, BoldLetter };
    enum class Source { SegmentFont, DrawnSegments };

    struct Glyph {
        QPainterPath path; // empty for a blank or a byte that has no picture
        qreal advance = 0;
    };

    // SegmentFont falls back to DrawnSegments when the fonts cannot be loaded.
    explicit LcdGlyphs(Source source = Source::SegmentFont);

    Source source() const { return m_source; }
    // The glyph for one caption byte; never fails, unknown bytes draw nothing.
    const Glyph &glyph(Face face, std::uint8_t byte);
    // Width of the "8" of a face: the box a digit is fitted into.
    qreal cellWidth(Face face);

    // True when the DSEG fonts are installed or could be loaded from their files.
    static bool segmentFontAvailable();

private:
    Glyph build(Face face, std::uint8_t byte);
    Glyph segmentGlyph(Face face, std::uint8_t byte);
    Glyph fromFont(Face face, std::uint8_t byte);
    qreal advance(Face face) const;

    Source m_source;
    // Per face, the font's "8" at the size the outlines are taken at.
    std::array<QRectF, 3> m_eightBoxes{};
    std::array<qreal, 3> m_fontAdvances{};
    QHash<int, Glyph> m_cache;
};

} // namespace tolmar
