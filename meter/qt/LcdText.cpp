#include "meter/qt/LcdText.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>

namespace tolmar {

qreal paintLcdRun(QPainter &painter, LcdGlyphs &glyphs, LcdGlyphs::Face face, std::string_view bytes,
                  QPointF origin, qreal xScale, qreal capHeight, const QBrush &brush)
{
    qreal x = origin.x();
    for (unsigned char byte : bytes) {
        const LcdGlyphs::Glyph &glyph = glyphs.glyph(face, byte);
        if (!glyph.path.isEmpty()) {
            QTransform place = QTransform::fromTranslate(x, origin.y());
            place.scale(xScale, capHeight);
            painter.fillPath(place.map(glyph.path), brush);
        }
        x += glyph.advance * xScale;
    }
    return x;
}

qreal lcdTextWidth(LcdGlyphs &glyphs, std::string_view bytes, qreal capHeight, LcdGlyphs::Face face)
{
    // To the right edge of the ink, not of the last cell: a right-aligned
    // unit then ends where its last stroke ends.
    qreal units = 0;
    qreal inkRight = 0;
    for (unsigned char byte : bytes) {
        const LcdGlyphs::Glyph &glyph = glyphs.glyph(face, byte);
        if (!glyph.path.isEmpty())
            inkRight = std::max(inkRight, units + glyph.path.boundingRect().right());
        units += glyph.advance;
    }
    return inkRight * capHeight;
}

void paintLcdText(QPainter &painter, LcdGlyphs &glyphs, std::string_view bytes, const QRectF &box,
                  Qt::Alignment alignment, qreal capHeight, const QBrush &brush, LcdGlyphs::Face face)
{
    if (bytes.empty())
        return;
    const qreal width = lcdTextWidth(glyphs, bytes, capHeight, face);
    qreal x = box.left();
    if (alignment & Qt::AlignRight)
        x = box.right() - width;
    else if (alignment & Qt::AlignHCenter)
        x = box.center().x() - width / 2;
    qreal y = box.center().y() - capHeight / 2;
    if (alignment & Qt::AlignTop)
        y = box.top();
    else if (alignment & Qt::AlignBottom)
        y = box.bottom() - capHeight;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintLcdRun(painter, glyphs, face, bytes, QPointF(x, y), capHeight, capHeight, brush);
    painter.restore();
}

} // namespace tolmar
