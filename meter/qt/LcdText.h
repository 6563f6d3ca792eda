#pragma once

#include "meter/qt/LcdGlyphs.h"

#include <QBrush>
#include <QPointF>
#include <QRectF>

#include <string_view>

class QPainter;

namespace tolmar {

// The meter's unit texts ("M*", "k*&", "V)", "+A") in the LCD's own letters
// and symbols, wherever they are shown: the LCD's annunciators, the grid's
// unit column, the unit beside the waveform value. Every byte is drawn as the
// LCD draws it, so a unit reads the same everywhere.

// Draws the bytes from `origin` (the top of the caps), the outlines scaled
// to xScale by capHeight and every advance by xScale. Returns the x after the
// last glyph. The painter's render hints are left as they are.
qreal paintLcdRun(QPainter &painter, LcdGlyphs &glyphs, LcdGlyphs::Face face, std::string_view bytes,
                  QPointF origin, qreal xScale, qreal capHeight, const QBrush &brush);

// The width of the bytes drawn at capHeight, from the left of the first cell
// to the right edge of the last stroke.
qreal lcdTextWidth(LcdGlyphs &glyphs, std::string_view bytes, qreal capHeight,
                   LcdGlyphs::Face face = LcdGlyphs::Face::Letter);

// Draws the bytes into a box, antialiased: left, centred or right by the
// horizontal alignment; the caps at the top, centred or at the bottom by the
// vertical one (centred when none is given). A text wider than the box runs
// over its edge: clip the painter to keep it in.
void paintLcdText(QPainter &painter, LcdGlyphs &glyphs, std::string_view bytes, const QRectF &box,
                  Qt::Alignment alignment, qreal capHeight, const QBrush &brush = QBrush(Qt::black),
                  LcdGlyphs::Face face = LcdGlyphs::Face::Letter);

} // namespace tolmar
