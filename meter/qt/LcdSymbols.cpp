#include "meter/qt/LcdSymbols.h"

#include <QPainterPathStroker>

namespace tolmar {

namespace {

constexpr qreal stroke = 0.11; // line width of the symbols, like a thin segment

QPainterPath outlined(const QPainterPath &lines, qreal width = stroke)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    return stroker.createStroke(lines).simplified();
}

QPainterPath ellipse(QPointF centre, qreal rx, qreal ry)
{
    QPainterPath path;
    path.addEllipse(centre, rx, ry);
    return path;
}

// Omega: an open ring standing on two short feet.
LcdSymbol ohm()
{
    const QRectF ring(0.06, 0.04, 0.72, 0.78);
    QPainterPath lines;
    lines.moveTo(0.0, 0.945);
    lines.lineTo(0.27, 0.945);
    lines.arcTo(ring, 240, 0); // the point on the ring where the left leg meets it
    lines.arcTo(ring, 240, -300);
    lines.lineTo(0.57, 0.945);
    lines.lineTo(0.84, 0.945);
    return {outlined(lines), 0.92};
}

// Micro: a u whose left stem runs down below the line.
LcdSymbol micro()
{
    const qreal left = 0.08, right = 0.5;
    QPainterPath lines;
    lines.moveTo(left, 0.3);
    lines.lineTo(left, 1.2);
    lines.moveTo(left, 0.3);
    lines.lineTo(left, 0.72);
    lines.arcTo(QRectF(left, 0.5, right - left, 0.44), 180, 180);
    lines.moveTo(right, 0.3);
    lines.lineTo(right, 0.9);
    lines.quadTo(right, 0.97, right + 0.1, 0.97);
    return {outlined(lines), 0.7};
}

// Diode: a triangle against a bar, with its two leads.
LcdSymbol diode()
{
    QPainterPath triangle;
    triangle.moveTo(0.22, 0.2);
    triangle.lineTo(0.78, 0.5);
    triangle.lineTo(0.22, 0.8);
    triangle.closeSubpath();
    QPainterPath lines;
    lines.moveTo(0.0, 0.5);
    lines.lineTo(0.22, 0.5);
    lines.moveTo(0.78, 0.5);
    lines.lineTo(1.05, 0.5);
    lines.moveTo(0.83, 0.18);
    lines.lineTo(0.83, 0.82);
    return {triangle.united(outlined(lines)), 1.12};
}

// Record: a ring around a dot.
LcdSymbol record()
{
    QPainterPath ring;
    ring.addEllipse(QPointF(0.4, 0.55), 0.36, 0.36);
    return {outlined(ring, 0.09).united(ellipse({0.4, 0.55}, 0.19, 0.19)), 0.9};
}

// Hold: an H in a frame.
LcdSymbol hold()
{
    QPainterPath lines;
    lines.addRoundedRect(QRectF(0.05, 0.05, 0.8, 0.9), 0.12, 0.12);
    lines.moveTo(0.28, 0.25);
    lines.lineTo(0.28, 0.75);
    lines.moveTo(0.62, 0.25);
    lines.lineTo(0.62, 0.75);
    lines.moveTo(0.28, 0.5);
    lines.lineTo(0.62, 0.5);
    return {outlined(lines, 0.1), 0.95};
}

// Battery: an empty cell with its terminal, as when the battery runs low.
LcdSymbol battery()
{
    QPainterPath lines;
    lines.addRect(QRectF(0.05, 0.25, 1.1, 0.6));
    QPainterPath solid;
    solid.addRect(QRectF(1.15, 0.4, 0.13, 0.3));
    solid.addRect(QRectF(0.17, 0.37, 0.16, 0.36));
    return {outlined(lines, 0.1).united(solid), 1.35};
}

// Continuity: a dot sending out three sound waves.
LcdSymbol continuity()
{
    const QPointF source(0.12, 0.5);
    QPainterPath waves;
    for (qreal r : {0.3, 0.55, 0.8}) {
        const QRectF box(source.x() - r, source.y() - r * 0.6, 2 * r, 2 * r * 0.6);
        waves.arcMoveTo(box, 50);
        waves.arcTo(box, 50, -100);
    }
    return {outlined(waves, 0.1).united(ellipse(source, 0.12, 0.12)), 1.0};
}

} // namespace

std::optional<LcdSymbol> lcdSymbol(std::uint8_t character)
{
    switch (character) {
    case '*': return ohm();
    case '+': return micro();
    case ')': return diode();
    case '!': return record();
    case '"': return hold();
    case '$': return battery();
    case '&': return continuity();
    default: return std::nullopt;
    }
}

} // namespace tolmar
