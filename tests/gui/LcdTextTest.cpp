// The meter's unit texts in the LCD's glyphs, outside the LCD: the drawing
// helper and the waveform's unit label.
#include "gui/Ink.h"
#include "meter/qt/LcdGlyphs.h"
#include "meter/qt/LcdText.h"
#include "meter/qt/LcdTextLabel.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tolmar {
namespace {

using test::inkBox;

const QRect box(10, 5, 80, 24);
constexpr qreal capHeight = 12;

QImage drawn(const std::string &bytes, Qt::Alignment alignment)
{
    QImage image(100, 34, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    LcdGlyphs glyphs(LcdGlyphs::Source::DrawnSegments);
    paintLcdText(painter, glyphs, bytes, QRectF(box), alignment, capHeight);
    return image;
}

TEST(LcdText, AlignsTheInkInTheBox)
{
    const struct { Qt::Alignment alignment; const char *name; } cases[] = {
        {Qt::AlignLeft | Qt::AlignVCenter, "left"},
        {Qt::AlignHCenter | Qt::AlignVCenter, "centre"},
        {Qt::AlignRight | Qt::AlignVCenter, "right"},
        {Qt::AlignRight | Qt::AlignTop, "right top"},
        {Qt::AlignRight | Qt::AlignBottom, "right bottom"},
    };
    for (const std::string bytes : {"V", "k*", "M*&", "V)"}) {
        for (const auto &c : cases) {
            const QRect ink = inkBox(drawn(bytes, c.alignment), box);
            ASSERT_FALSE(ink.isEmpty()) << bytes << " " << c.name;
            const int leftRoom = ink.left() - box.left();
            const int rightRoom = box.right() - ink.right();
            if (c.alignment & Qt::AlignLeft)
                EXPECT_LE(leftRoom, 2) << bytes << " " << c.name;
            else if (c.alignment & Qt::AlignRight)
                EXPECT_LE(rightRoom, 1) << bytes << " " << c.name;
            else
                EXPECT_LE(std::abs(leftRoom - rightRoom), 2) << bytes << " " << c.name;

            // The caps stand capHeight tall where the vertical alignment puts them.
            const qreal capTop = (c.alignment & Qt::AlignTop)      ? box.top()
                               : (c.alignment & Qt::AlignBottom) ? box.bottom() - capHeight
                                                                 : box.center().y() - capHeight / 2;
            EXPECT_NEAR(ink.top(), capTop, 2) << bytes << " " << c.name;
        }
    }
}

TEST(LcdText, WidthIsTheInkWidth)
{
    LcdGlyphs glyphs(LcdGlyphs::Source::DrawnSegments);
    for (const std::string bytes : {"V", "kHz", "M*", "+A", "V)"}) {
        const QRect ink = inkBox(drawn(bytes, Qt::AlignLeft), box);
        const qreal width = lcdTextWidth(glyphs, bytes, capHeight);
        EXPECT_NEAR(ink.right() + 1, box.left() + width, 1.5) << bytes;
        EXPECT_GT(width, 0) << bytes;
    }
    EXPECT_EQ(lcdTextWidth(glyphs, "", capHeight), 0);
}

QImage labelImage(const std::string &bytes)
{
    LcdTextLabel label;
    label.resize(60, 16);
    label.setText(bytes);
    QImage image(label.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    label.render(&image);
    return image;
}

TEST(LcdTextLabel, ShowsUnitsInTheLcdSymbols)
{
    const QImage ohm = labelImage("*");
    const QImage megaohm = labelImage("M*");
    const QImage mega = labelImage("M");
    const QRect ohmInk = inkBox(ohm, ohm.rect());
    ASSERT_FALSE(ohmInk.isEmpty());
    // An ohm sign, not the font's small star: nearly as wide as tall, and
    // standing over most of the label's height.
    EXPECT_GE(ohmInk.height(), 9);
    EXPECT_GE(ohmInk.width(), ohmInk.height() * 3 / 4);
    EXPECT_GT(inkBox(megaohm, megaohm.rect()).width(), inkBox(mega, mega.rect()).width() + ohmInk.width() / 2)
        << "the ohm sign follows the M";
    EXPECT_TRUE(inkBox(labelImage(""), QRect(0, 0, 60, 16)).isEmpty());
}

} // namespace
} // namespace tolmar
