#include "meter/qt/LcdWidget.h"

#include "meter/qt/LcdText.h"
#include "platform/TextEncoding.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace tolmar {

namespace {

const QColor lcdGrey(232, 232, 232);

enum class Style {
    Digit,      // one of the big digit boxes, glyphs stretched to the box
    Segment,    // annunciator in the LCD font
    SegmentBold,
    Sans,       // annunciator in an ordinary sans-serif font
    SansBold,
};

// Panel4's labels: place (left, top), box width for the digit boxes, and the
// character height in pixels.
struct Element {
    LcdState::Label label;
    int left, top, width;
    int size;
    Style style;
};

using S = LcdState;
constexpr Element elements[] = {
    {S::LcdFH, 13, 15, 36, 113, Style::Digit},
    {S::LcdD0, 48, 15, 43, 113, Style::Digit},
    {S::LcdDa, 104, 15, 43, 113, Style::Digit},
    {S::LcdDb, 160, 15, 43, 113, Style::Digit},
    {S::LcdDc, 216, 15, 43, 113, Style::Digit},
    {S::LcdAuto, 8, 11, 0, 19, Style::SegmentBold},
    {S::LCDRec, 160, 3, 0, 32, Style::Segment},
    {S::LCDBF, 104, 8, 0, 20, Style::SegmentBold},
    {S::LcdAC, 182, 14, 0, 20, Style::SegmentBold},
    {S::LcdDc1, 223, 14, 0, 20, Style::SegmentBold},
    {S::LCDDI, 256, 9, 0, 29, Style::Segment},
    {S::LCDFm, 280, 31, 0, 32, Style::Segment},
    {S::LCDk, 286, 55, 0, 27, Style::Segment},
    {S::LCDM1, 278, 57, 0, 24, Style::Segment},
    {S::LCDHz, 296, 58, 0, 24, Style::Segment},
    {S::LCDohm, 304, 54, 0, 29, Style::Segment},
    {S::LCDu, 288, 75, 0, 32, Style::Segment},
    {S::Lcdm, 280, 81, 0, 24, Style::Segment},
    {S::LCDn, 288, 82, 0, 24, Style::Segment},
    {S::LcdV, 304, 83, 0, 24, Style::Segment},
    {S::LCDA, 304, 82, 0, 24, Style::Segment},
    {S::LCDF, 304, 82, 0, 24, Style::Segment},
    {S::LCDHold, 8, 30, 0, 35, Style::Segment},
    {S::LCDBATT, 8, 88, 0, 35, Style::Segment},
    {S::LCDTRMS, 288, 11, 0, 12, Style::SegmentBold},
    {S::LCDTRMST, 309, 29, 0, 19, Style::SegmentBold},
    {S::LcdACDC, 77, 14, 0, 16, Style::SansBold},
    {S::LCDJa, 211, 13, 0, 21, Style::Sans},
};
static_assert(std::size(elements) == S::LabelCount, "every label has its place");

// The three decimal dots, 7 x 8 and solid.
constexpr QPoint dotPlaces[S::DotCount] = {{94, 110}, {151, 110}, {207, 110}};
constexpr QSize dotSize(7, 8);

// Where a segment glyph sits inside a label of character height `size`: the
// font's cell is taller than its characters, whose feet stand at 91 % of it
// (so the digits end on the line of the decimal dots, y 118).
constexpr qreal capRatio = 0.72;
constexpr qreal footRatio = 0.91;

// The bar graph is a row of LCD segments.
constexpr int barSegmentWidth = 5;
constexpr int barSegmentGap = 2;
constexpr int barSegmentCount = (LcdWidget::barRect.width() + barSegmentGap) / (barSegmentWidth + barSegmentGap);

LcdGlyphs::Face faceOf(Style style)
{
    switch (style) {
    case Style::Digit: return LcdGlyphs::Face::Digit;
    case Style::SegmentBold: return LcdGlyphs::Face::BoldLetter;
    default: return LcdGlyphs::Face::Letter;
    }
}

QFont sansFont(int size, bool bold)
{
    QFont font;
    font.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
    font.setPixelSize(size);
    font.setBold(bold);
    return font;
}

// Bytes are the meter's 8-bit text: Windows-1252, with control bytes left out.
QString sansText(const std::string &caption)
{
    QString text;
    for (unsigned char byte : caption)
        if (const QChar character(static_cast<char16_t>(windows1252Character(byte))); character.isPrint())
            text += character;
    return text;
}

} // namespace

LcdWidget::LcdWidget(QWidget *parent)
    : QFrame(parent)
{
    setObjectName("Panel4");
    setFixedSize(panelWidth, panelHeight);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, lcdGrey);
    setPalette(palette);

    TntBitBtn1 = new QPushButton("OL", this);
    TntBitBtn1->setObjectName("TntBitBtn1");
    TntBitBtn1->setGeometry(268, 136, 65, 17);
    QFont small = sansFont(10, true);
    TntBitBtn1->setFont(small);
}

void LcdWidget::setState(const LcdState &state)
{
    if (state == m_state)
        return;
    m_state = state;
    update();
}

void LcdWidget::setGlyphSource(LcdGlyphs::Source source)
{
    if (source == m_glyphs.source())
        return;
    m_glyphs = LcdGlyphs(source);
    update();
}

void LcdWidget::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintLabels(painter);
    for (std::size_t i = 0; i < S::DotCount; ++i)
        if (m_state.dots[i])
            painter.fillRect(QRect(dotPlaces[i], dotSize), Qt::black);
    paintBar(painter);
}

void LcdWidget::paintLabels(QPainter &painter)
{
    for (const Element &e : elements) {
        const LcdState::LabelState &label = m_state[e.label];
        if (!label.visible || label.caption.empty())
            continue;
        if (e.style == Style::Sans || e.style == Style::SansBold) {
            const QFont font = sansFont(e.size, e.style == Style::SansBold);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(e.left, e.top + QFontMetricsF(font).ascent()), sansText(label.caption));
            continue;
        }

        const LcdGlyphs::Face face = faceOf(e.style);
        const qreal capHeight = capRatio * e.size;
        const qreal glyphTop = e.top + (footRatio - capRatio) * e.size;
        qreal xScale = capHeight;
        qreal x = e.left;
        if (e.style == Style::Digit) {
            // The characters are stretched across the box, a pixel and a half in
            // from each side; a caption of several characters shares the box.
            const qreal inner = e.width - 3;
            qreal units = m_glyphs.cellWidth(face);
            if (label.caption.size() > 1) {
                units = 0;
                for (unsigned char byte : label.caption)
                    units += m_glyphs.glyph(face, byte).advance;
            }
            xScale = inner / units;
            x += 1.5;
        }
        paintLcdRun(painter, m_glyphs, face, label.caption, QPointF(x, glyphTop), xScale, capHeight, Qt::black);
    }
}

void LcdWidget::paintBar(QPainter &painter) const
{
    // A maximum of 0 or less shows an empty bar; a position above the maximum
    // a full one.
    const int maximum = m_state.barMaximum;
    if (maximum <= 0)
        return;
    const int position = std::clamp(m_state.barPosition, 0, maximum);
    const auto lit = static_cast<int>(std::lround(static_cast<double>(barSegmentCount) * position / maximum));
    for (int i = 0; i < lit; ++i)
        painter.fillRect(QRect(barRect.left() + i * (barSegmentWidth + barSegmentGap), barRect.top() + 2,
                               barSegmentWidth, barRect.height() - 4),
                         Qt::black);
}

} // namespace tolmar
