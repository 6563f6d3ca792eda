#include "meter/qt/LcdSegments.h"

#include <QLineF>
#include <QPolygonF>

#include <array>

namespace tolmar {

namespace {

// The fourteen segments: the seven of a digit (the middle bar split in two),
// the centre verticals and the four diagonals.
enum Segment : std::uint16_t {
    A = 1 << 0,   // top
    B = 1 << 1,   // upper right
    C = 1 << 2,   // lower right
    D = 1 << 3,   // bottom
    E = 1 << 4,   // lower left
    F = 1 << 5,   // upper left
    G1 = 1 << 6,  // middle, left half
    G2 = 1 << 7,  // middle, right half
    I = 1 << 8,   // upper centre
    L = 1 << 9,   // lower centre
    H = 1 << 10,  // diagonal to the upper left
    J = 1 << 11,  // diagonal to the upper right
    K = 1 << 12,  // diagonal to the lower left
    M = 1 << 13,  // diagonal to the lower right
    // Two strokes of our own for a V: from the middle of each side down to
    // the foot of the centre. The fourteen segments only make a lopsided "|/".
    VL = 1 << 14,
    VR = 1 << 15,
    G = G1 | G2,
};

std::uint16_t upperCasePattern(std::uint8_t c)
{
    switch (c) {
    case '0': case 'O': return A | B | C | D | E | F;
    case '1': return B | C;
    case '2': return A | B | G | E | D;
    case '3': return A | B | G | C | D;
    case '4': return F | G | B | C;
    case '5': return A | F | G | C | D;
    case '6': return A | F | E | D | C | G;
    case '7': return A | B | C;
    case '8': return A | B | C | D | E | F | G;
    case '9': return A | B | C | D | F | G;
    case '-': return G;
    case '_': return D;
    case '=': return G | D;
    case 'A': return A | B | C | E | F | G;
    case 'B': return A | B | C | D | G2 | I | L;
    case 'C': return A | D | E | F;
    case 'D': return A | B | C | D | I | L;
    case 'E': return A | D | E | F | G1;
    case 'F': return A | E | F | G1;
    case 'G': return A | C | D | E | F | G2;
    case 'H': return B | C | E | F | G;
    case 'I': return A | D | I | L;
    case 'J': return B | C | D | E;
    case 'K': return E | F | G1 | J | M;
    case 'L': return D | E | F;
    case 'M': return B | C | E | F | H | J;
    case 'N': return B | C | E | F | H | M;
    case 'P': return A | B | E | F | G;
    case 'Q': return A | B | C | D | E | F | M;
    case 'R': return A | B | E | F | G | M;
    case 'S': return A | C | D | F | G;
    case 'T': return A | I | L;
    case 'U': return B | C | D | E | F;
    case 'V': return F | B | VL | VR;
    case 'W': return B | C | E | F | K | M;
    case 'X': return H | J | K | M;
    case 'Y': return H | J | L;
    case 'Z': return A | D | J | K;
    default: return 0;
    }
}

// Letters whose small form differs from the capital on a segment display.
std::uint16_t lowerCasePattern(std::uint8_t c)
{
    switch (c) {
    case 'b': return C | D | E | F | G;
    case 'c': return D | E | G;
    case 'd': return B | C | D | E | G;
    case 'h': return C | E | F | G;
    case 'm': return C | E | G | L;
    case 'n': return C | E | G;
    case 'o': return C | D | E | G;
    case 'r': return E | G;
    case 't': return D | E | F | G;
    case 'u': return C | D | E;
    default: return 0;
    }
}

// A straight segment with pointed ends, as on an LCD glass.
QPolygonF bar(QPointF from, QPointF to, qreal thickness, qreal gap)
{
    const QLineF line(from, to);
    const QPointF dir = (to - from) / line.length();
    const QPointF normal(-dir.y(), dir.x());
    const QPointF p = from + dir * gap, q = to - dir * gap;
    const qreal half = thickness / 2;
    return QPolygonF{{p, p + dir * half + normal * half, q - dir * half + normal * half, q,
                      q - dir * half - normal * half, p + dir * half - normal * half, p}};
}

// A diagonal, kept clear of the frame segments at both ends.
QPolygonF diagonal(QPointF corner, QPointF centre, qreal thickness)
{
    const QLineF line(corner, centre);
    const QPointF dir = (centre - corner) / line.length();
    const QPointF normal(-dir.y(), dir.x());
    const QPointF p = corner + dir * thickness * 1.3, q = centre - dir * thickness * 0.8;
    const qreal half = thickness * 0.4;
    return QPolygonF{{p + normal * half, q + normal * half, q - normal * half, p - normal * half, p + normal * half}};
}

QPainterPath outline(std::uint16_t pattern, bool bold)
{
    const qreal t = bold ? 0.15 : 0.11;
    const qreal gap = 0.02;
    const qreal x0 = t / 2, x1 = drawnSegmentWidth - t / 2, xc = drawnSegmentWidth / 2;
    const qreal y0 = t / 2, ym = 0.5, y1 = 1 - t / 2;
    const struct { Segment segment; QPointF from, to; bool straight; } segments[] = {
        {A, {x0, y0}, {x1, y0}, true},   {B, {x1, y0}, {x1, ym}, true},  {C, {x1, ym}, {x1, y1}, true},
        {D, {x0, y1}, {x1, y1}, true},   {E, {x0, ym}, {x0, y1}, true},  {F, {x0, y0}, {x0, ym}, true},
        {G1, {x0, ym}, {xc, ym}, true},  {G2, {xc, ym}, {x1, ym}, true}, {I, {xc, y0}, {xc, ym}, true},
        {L, {xc, ym}, {xc, y1}, true},   {H, {x0, y0}, {xc, ym}, false}, {J, {x1, y0}, {xc, ym}, false},
        {K, {x0, y1}, {xc, ym}, false},  {M, {x1, y1}, {xc, ym}, false},
    };
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    // A whole middle bar is one segment, as on a seven-segment digit; two
    // halves would show a minus as two dots.
    if ((pattern & G) == G) {
        path.addPolygon(bar({x0, ym}, {x1, ym}, t, gap));
        path.closeSubpath();
        pattern &= static_cast<std::uint16_t>(~G);
    }
    for (const auto &s : segments) {
        if (!(pattern & s.segment))
            continue;
        path.addPolygon(s.straight ? bar(s.from, s.to, t, gap) : diagonal(s.from, s.to, t));
        path.closeSubpath();
    }
    for (const auto &[segment, side] : {std::pair{VL, x0}, std::pair{VR, x1}}) {
        if (!(pattern & segment))
            continue;
        path.addPolygon(bar({side, ym}, {xc, y1}, t, gap));
        path.closeSubpath();
    }
    return path;
}

} // namespace

bool prefersDrawnSegments(std::uint8_t character)
{
    return lowerCasePattern(character) != 0 || character == 'V' || character == 'v';
}

std::optional<QPainterPath> drawnSegmentGlyph(std::uint8_t character, bool bold)
{
    if (character == ' ')
        return QPainterPath();
    std::uint16_t pattern = lowerCasePattern(character);
    if (!pattern && character >= 'a' && character <= 'z')
        pattern = upperCasePattern(static_cast<std::uint8_t>(character - 'a' + 'A'));
    if (!pattern)
        pattern = upperCasePattern(character);
    if (!pattern)
        return std::nullopt;
    return outline(pattern, bold);
}

} // namespace tolmar
