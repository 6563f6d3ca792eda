#include "meter/qt/LcdGlyphs.h"

#include "meter/qt/LcdSegments.h"
#include "meter/qt/LcdSymbols.h"
#include "platform/TextEncoding.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QRawFont>
#include <QTransform>

namespace tolmar {

namespace {

// Debian's fonts-dseg. Looked up by family first; the files are loaded by hand
// only when fontconfig does not list them (a private font directory, a bare
// container), from the system's font folder, else from fonts/ beside the
// program (where the Windows build carries them).
constexpr const char *dsegDirectory = "/usr/share/fonts/truetype/dseg/";
constexpr const char *dsegFiles[] = {"DSEG7Classic-Regular.ttf", "DSEG7Classic-Bold.ttf",
                                     "DSEG14Classic-Regular.ttf", "DSEG14Classic-Bold.ttf"};

QString family(LcdGlyphs::Face face)
{
    return face == LcdGlyphs::Face::Digit ? QStringLiteral("DSEG7 Classic") : QStringLiteral("DSEG14 Classic");
}

bool familiesPresent()
{
    const QStringList families = QFontDatabase::families();
    return families.contains(family(LcdGlyphs::Face::Digit)) && families.contains(family(LcdGlyphs::Face::Letter));
}

// The outlines are taken at a large size so that nothing is lost to rounding,
// then scaled down to cap-height units.
QFont fontFor(LcdGlyphs::Face face)
{
    QFont font(family(face));
    font.setPixelSize(200);
    font.setBold(face != LcdGlyphs::Face::Letter);
    font.setStyleStrategy(QFont::NoFontMerging);
    return font;
}

// The "8" lights every segment: its box is the character cell.
QRectF eightBox(const QFont &font)
{
    QPainterPath eight;
    eight.addText(0, 0, font, QStringLiteral("8"));
    return eight.boundingRect();
}

constexpr qreal letterNarrowing = 0.85;

int cacheKey(LcdGlyphs::Face face, std::uint8_t byte)
{
    return static_cast<int>(face) << 8 | byte;
}

} // namespace

bool LcdGlyphs::segmentFontAvailable()
{
    static const bool available = [] {
        if (familiesPresent())
            return true;
        for (const QString &directory : {QString::fromLatin1(dsegDirectory),
                                         QCoreApplication::applicationDirPath() + QStringLiteral("/fonts/")}) {
            for (const char *file : dsegFiles)
                QFontDatabase::addApplicationFont(directory + QString::fromLatin1(file));
            if (familiesPresent())
                return true;
        }
        return false;
    }();
    return available;
}

LcdGlyphs::LcdGlyphs(Source source)
    : m_source(source == Source::SegmentFont && segmentFontAvailable() ? Source::SegmentFont
                                                                        : Source::DrawnSegments)
{
    if (m_source == Source::DrawnSegments)
        return;
    for (Face face : {Face::Digit, Face::Letter, Face::BoldLetter}) {
        const QFont font = fontFor(face);
        const auto i = static_cast<std::size_t>(face);
        m_eightBoxes[i] = eightBox(font);
        // One advance for every character: the display is a row of equal cells.
        m_fontAdvances[i] = QFontMetricsF(font).horizontalAdvance(QLatin1Char('8')) / m_eightBoxes[i].height();
    }
}

qreal LcdGlyphs::cellWidth(Face face)
{
    if (m_source == Source::DrawnSegments)
        return drawnSegmentWidth;
    const QRectF &box = m_eightBoxes[static_cast<std::size_t>(face)];
    return box.width() / box.height();
}

qreal LcdGlyphs::advance(Face face) const
{
    return m_source == Source::DrawnSegments ? drawnSegmentAdvance : m_fontAdvances[static_cast<std::size_t>(face)];
}

const LcdGlyphs::Glyph &LcdGlyphs::glyph(Face face, std::uint8_t byte)
{
    const int key = cacheKey(face, byte);
    auto it = m_cache.find(key);
    if (it == m_cache.end())
        it = m_cache.insert(key, build(face, byte));
    return *it;
}

LcdGlyphs::Glyph LcdGlyphs::build(Face face, std::uint8_t byte)
{
    if (const auto symbol = lcdSymbol(byte))
        return {symbol->path, symbol->advance};
    Glyph glyph = segmentGlyph(face, byte);
    // The unit letters stand close together ("kHz" from x 286 on), so they
    // are drawn narrower than the segment cell.
    if (face == Face::Letter) {
        const QTransform narrow = QTransform::fromScale(letterNarrowing, 1);
        glyph.path = narrow.map(glyph.path);
        glyph.advance *= letterNarrowing;
    }
    return glyph;
}

LcdGlyphs::Glyph LcdGlyphs::segmentGlyph(Face face, std::uint8_t byte)
{
    // "@" is how the meter's text carries the segment L of an overload ("0L").
    if (byte == '@')
        byte = 'L';
    // The segment font draws "m" as "M", so milli would read as mega.
    const bool ownShape = face != Face::Digit && prefersDrawnSegments(byte);
    if (m_source == Source::SegmentFont && !ownShape) {
        Glyph fromFontGlyph = fromFont(face, byte);
        if (fromFontGlyph.advance > 0)
            return fromFontGlyph;
    }
    // A byte nobody can draw keeps its cell, so the characters after it stay in place.
    const auto drawn = drawnSegmentGlyph(byte, face == Face::BoldLetter);
    return {drawn.value_or(QPainterPath()), advance(face)};
}

// The font's outline of a byte, normalised to the "8"; advance 0 when the
// font has no glyph for it.
LcdGlyphs::Glyph LcdGlyphs::fromFont(Face face, std::uint8_t byte)
{
    const QFont font = fontFor(face);
    // The meter's byte as the grid and the files read it: Windows-1252, all
    // of it in the Basic Multilingual Plane.
    const QChar character(static_cast<char16_t>(windows1252Character(byte)));
    if (!character.isPrint() || !QRawFont::fromFont(font).supportsCharacter(character))
        return {};
    const QRectF &box = m_eightBoxes[static_cast<std::size_t>(face)];
    QPainterPath path;
    if (!character.isSpace())
        path.addText(0, 0, font, QString(character));
    const QTransform toCapHeight =
        QTransform::fromScale(1 / box.height(), 1 / box.height()).translate(-box.left(), -box.top());
    return {toCapHeight.map(path), advance(face)};
}

} // namespace tolmar
