// The virtual LCD and the link lamp, rendered offscreen and read back pixel by pixel.
#include "meter/FrameBuilder.h" // tests/meter
#include "meter/LcdDisplay.h"
#include "meter/qt/LcdWidget.h"
#include "meter/qt/LinkLamp.h"
#include "platform/Locale.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>

#include <gtest/gtest.h>

#include <initializer_list>

namespace tolmar {
namespace {

using S = LcdState;
const QRgb grey = qRgb(232, 232, 232);

// All labels and dots off, the four digits as given: the canvas of a reading.
LcdState reading(const char *d0, const char *da, const char *db, const char *dc, int dot,
                 std::initializer_list<S::Label> shown, int barMaximum = 40, int barPosition = 0)
{
    LcdState s;
    for (auto &label : s.labels)
        label.visible = false;
    s.dots = {false, false, false};
    const std::pair<S::Label, const char *> digits[] = {{S::LcdD0, d0}, {S::LcdDa, da}, {S::LcdDb, db}, {S::LcdDc, dc}};
    for (const auto &[label, text] : digits)
        s[label] = {true, text};
    if (dot >= 0)
        s.dots[static_cast<std::size_t>(dot)] = true;
    for (S::Label label : shown)
        s.show(label);
    s.barMaximum = barMaximum;
    s.barPosition = barPosition;
    return s;
}

LcdState blank()
{
    LcdState s = reading(" ", " ", " ", " ", -1, {});
    for (auto &label : s.labels)
        label.visible = false;
    return s;
}

QImage render(LcdWidget &lcd, const LcdState &state)
{
    lcd.setState(state);
    return lcd.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool dark(QRgb pixel)
{
    return qGray(pixel) < 100;
}

int darkPixels(const QImage &image, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += dark(image.pixel(x, y));
    return count;
}

// The box around every pixel that differs between two renderings.
QRect changed(const QImage &before, const QImage &after)
{
    QRect box;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            if (before.pixel(x, y) != after.pixel(x, y))
                box |= QRect(x, y, 1, 1);
    return box;
}

// The right end of the lit part of the bar, or -1 for an empty bar. The "OL"
// button covers the bar from x 268 on.
int barEnd(const QImage &image)
{
    int end = -1;
    for (int x = 2; x < 268; ++x)
        if (dark(image.pixel(x, 144)))
            end = x;
    return end;
}

TEST(LcdWidget, PanelButtonAndStartState)
{
    LcdWidget lcd;
    EXPECT_EQ(lcd.objectName(), "Panel4");
    EXPECT_EQ(lcd.size(), QSize(335, 154));
    EXPECT_EQ(lcd.minimumSize(), lcd.maximumSize());
    EXPECT_EQ(lcd.frameShadow(), QFrame::Sunken);
    const auto *button = lcd.findChild<QPushButton *>("TntBitBtn1");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->geometry(), QRect(268, 136, 65, 17));
    EXPECT_EQ(button->text(), "OL");
    EXPECT_EQ(lcd.state(), LcdState{});

    // At start: "3999" with the first dot and V, on the LCD grey.
    const QImage image = render(lcd, LcdState{});
    for (QPoint empty : {QPoint(60, 6), QPoint(150, 60), QPoint(250, 125), QPoint(320, 125)})
        EXPECT_EQ(image.pixel(empty), grey) << empty.x() << "," << empty.y();
    for (int left : {50, 106, 162, 218})
        EXPECT_GT(darkPixels(image, QRect(left, 40, 39, 76)), 300) << left;
    EXPECT_EQ(darkPixels(image, QRect(94, 110, 7, 8)), 56) << "LcdP0 solid";
    EXPECT_EQ(darkPixels(image, QRect(151, 110, 7, 8)), 0) << "LcdP1 hidden";
    EXPECT_EQ(darkPixels(image, QRect(15, 60, 30, 35)), 0) << "no minus";
    EXPECT_GT(darkPixels(image, QRect(304, 86, 20, 22)), 20) << "LcdV";
    EXPECT_EQ(barEnd(image), -1);
}

TEST(LcdWidget, DigitBoxesAndMinus)
{
    LcdWidget lcd;
    const struct { S::Label label; QRect box; } boxes[] = {
        {S::LcdFH, {13, 15, 36, 112}}, {S::LcdD0, {48, 15, 43, 126}},  {S::LcdDa, {104, 15, 43, 126}},
        {S::LcdDb, {160, 15, 43, 126}}, {S::LcdDc, {216, 15, 43, 126}},
    };
    const QImage none = render(lcd, blank());
    for (const auto &b : boxes) {
        LcdState s = blank();
        s[b.label] = {true, b.label == S::LcdFH ? "-" : "8"};
        const QImage shown = render(lcd, s);
        const QRect ink = changed(none, shown);
        ASSERT_FALSE(ink.isEmpty()) << b.label;
        EXPECT_TRUE(b.box.contains(ink)) << b.label << ": ink at " << ink.x() << "," << ink.y() << " " << ink.width()
                                         << "x" << ink.height();
        if (b.label == S::LcdFH) {
            EXPECT_LT(ink.height(), 20) << "a bar, not a digit";
            EXPECT_NEAR(ink.center().y(), 78, 6) << "at the height of the digits' middle bar";
        } else {
            EXPECT_GT(ink.height(), 75) << "digits are large";
            EXPECT_NEAR(ink.bottom(), 117, 2) << "standing on the line of the dots";
        }
    }
    // An "8" lights more than a "1", which lights more than a blank.
    LcdState one = blank(), eight = blank();
    one[S::LcdDa] = {true, "1"};
    eight[S::LcdDa] = {true, "8"};
    const QRect box(104, 15, 43, 126);
    const int ones = darkPixels(render(lcd, one), box), eights = darkPixels(render(lcd, eight), box);
    EXPECT_GT(ones, 100);
    EXPECT_GT(eights, 2 * ones);
}

TEST(LcdWidget, DecimalDots)
{
    LcdWidget lcd;
    const QRect dots[] = {{94, 110, 7, 8}, {151, 110, 7, 8}, {207, 110, 7, 8}};
    for (int shown = 0; shown < 3; ++shown) {
        const QImage image = render(lcd, reading(" ", " ", " ", " ", shown, {}));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(darkPixels(image, dots[i]), i == shown ? 56 : 0) << "dot " << i << " with " << shown << " shown";
    }
}

// Each annunciator paints near its own place and nowhere else.
TEST(LcdWidget, AnnunciatorsAtTheirPlaces)
{
    LcdWidget lcd;
    const struct { S::Label label; int left, top; } places[] = {
        {S::LcdAuto, 8, 11}, {S::LCDRec, 160, 3},   {S::LCDBF, 104, 8},    {S::LcdAC, 182, 14},
        {S::LcdDc1, 223, 14}, {S::LCDDI, 256, 9},   {S::LCDFm, 280, 31},   {S::LCDk, 286, 55},
        {S::LCDM1, 278, 57}, {S::LCDHz, 296, 58},   {S::LCDohm, 304, 54},  {S::LCDu, 288, 75},
        {S::Lcdm, 280, 81},  {S::LCDn, 288, 82},    {S::LcdV, 304, 83},    {S::LCDA, 304, 82},
        {S::LCDF, 304, 82},  {S::LCDHold, 8, 30},   {S::LCDBATT, 8, 88},   {S::LCDTRMS, 288, 11},
        {S::LCDTRMST, 309, 29}, {S::LcdACDC, 77, 14}, {S::LCDJa, 211, 13},
    };
    const QImage none = render(lcd, blank());
    for (const auto &p : places) {
        LcdState s = blank();
        s.show(p.label);
        const QRect ink = changed(none, render(lcd, s));
        ASSERT_FALSE(ink.isEmpty()) << p.label;
        EXPECT_GE(ink.left(), p.left - 1) << p.label;
        EXPECT_GE(ink.top(), p.top) << p.label;
        EXPECT_LT(ink.left(), p.left + 8) << p.label;
        EXPECT_LE(ink.right(), 333) << p.label;
        EXPECT_LT(ink.bottom(), 136) << p.label << " stays above the bar";
    }
}

// The units a reading shows together must not run into each other.
TEST(LcdWidget, UnitsShownTogetherDoNotOverlap)
{
    LcdWidget lcd;
    const std::pair<S::Label, S::Label> pairs[] = {
        {S::LCDk, S::LCDohm}, {S::LCDM1, S::LCDohm}, {S::LCDFm, S::LCDohm}, {S::Lcdm, S::LcdV},
        {S::Lcdm, S::LCDA},   {S::LCDu, S::LCDA},    {S::LCDu, S::LCDF},    {S::LCDn, S::LCDF},
        {S::LCDk, S::LCDHz},  {S::LCDM1, S::LCDHz},  {S::LCDDI, S::LcdV},   {S::LcdAuto, S::LCDHold},
        {S::LCDRec, S::LcdAC}, {S::LcdAC, S::LcdDc1}, {S::LCDBF, S::LCDRec},
    };
    const QImage none = render(lcd, blank());
    for (const auto &[first, second] : pairs) {
        LcdState a = blank(), b = blank();
        a.show(first);
        b.show(second);
        const QRect inkA = changed(none, render(lcd, a)), inkB = changed(none, render(lcd, b));
        EXPECT_FALSE(inkA.intersects(inkB)) << first << " and " << second;
    }
}

TEST(LcdWidget, BarGraph)
{
    LcdWidget lcd;
    const struct { int maximum, position; double lit; } cases[] = {
        {40, 0, 0.0},   {40, 20, 0.5}, {40, 10, 0.25}, {400, 100, 0.25}, {40, 40, 1.0},
        {40, 41, 1.0},  {40, 4000, 1.0}, {0, 0, 0.0},  {0, 5, 0.0},      {-40, 5, 0.0},
        {40, -5, 0.0},
    };
    for (const auto &c : cases) {
        const QImage image = render(lcd, reading(" ", " ", " ", " ", -1, {}, c.maximum, c.position));
        const int end = barEnd(image);
        if (c.lit == 0.0) {
            EXPECT_EQ(end, -1) << c.maximum << "/" << c.position;
        } else if (c.lit == 1.0) {
            EXPECT_GT(end, 260) << "full bar runs under the button: " << c.maximum << "/" << c.position;
        } else {
            EXPECT_NEAR((end - 2) / 331.0, c.lit, 0.03) << c.maximum << "/" << c.position;
        }
        EXPECT_FALSE(dark(image.pixel(150, 134))) << "bar keeps to its strip";
    }
}

TEST(LcdWidget, SameStateDoesNotRepaint)
{
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    LcdWidget lcd;
    lcd.show();
    QApplication::processEvents();
    lcd.installEventFilter(&counter);
    lcd.setState(LcdState{});
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    LcdState minus;
    minus.show(S::LcdFH);
    lcd.setState(minus);
    QApplication::processEvents();
    EXPECT_GE(counter.paints, 1);
}

// Captions are bytes from the meter: anything may arrive in any label.
TEST(LcdWidget, OddCaptionsAreDrawnWithoutHarm)
{
    const std::string odd[] = {"", std::string(1, '\0'), "\xFF", "\x7F", "\x01\x02", "12345", "@", "L", "  ",
                               "*+)!\"$&", "Hz\xB5\xE4", "AC+DC", "mnu", std::string(40, '8')};
    for (auto source : {LcdGlyphs::Source::SegmentFont, LcdGlyphs::Source::DrawnSegments}) {
        LcdWidget lcd;
        lcd.setGlyphSource(source);
        for (const std::string &caption : odd) {
            LcdState s;
            for (auto &label : s.labels)
                label = {true, caption};
            const QImage image = render(lcd, s);
            EXPECT_EQ(image.size(), QSize(335, 154));
        }
        // A blank or unprintable digit lights nothing; "@" is the segment L.
        for (const std::string &caption : {std::string(""), std::string(1, '\0'), std::string(" "), std::string("\x01")}) {
            LcdState s = blank();
            s[S::LcdDb] = {true, caption};
            EXPECT_EQ(darkPixels(render(lcd, s), QRect(160, 15, 43, 126)), 0) << int(source);
        }
        LcdState overload = blank();
        overload[S::LcdDb] = {true, "@"};
        const QImage l = render(lcd, overload);
        EXPECT_GT(darkPixels(l, QRect(160, 95, 43, 25)), 150) << "the L's foot";
        EXPECT_EQ(darkPixels(l, QRect(185, 30, 18, 50)), 0) << "an L has no right side";
    }
}

// Lower-case prefixes keep their meaning: milli must not look like mega.
TEST(LcdWidget, MilliAndMegaDiffer)
{
    LcdWidget lcd;
    LcdState milli = blank(), mega = blank();
    milli[S::Lcdm] = {true, "m"};
    mega[S::Lcdm] = {true, "M"};
    const QRect box(278, 81, 24, 24);
    const QImage a = render(lcd, milli), b = render(lcd, mega);
    EXPECT_FALSE(changed(a, b).isEmpty());
    EXPECT_EQ(darkPixels(a, QRect(278, 84, 24, 8)), 0) << "a small m leaves the upper half empty";
}

TEST(LcdWidget, DrawnSegmentsLookLikeTheFont)
{
    LcdWidget font, drawn;
    drawn.setGlyphSource(LcdGlyphs::Source::DrawnSegments);
    EXPECT_EQ(drawn.glyphSource(), LcdGlyphs::Source::DrawnSegments);
    const LcdState s = reading("8", "8", "8", "8", 1, {S::LcdV});
    const QImage a = render(font, s), b = render(drawn, s);
    for (QRect digit : {QRect(48, 15, 43, 126), QRect(216, 15, 43, 126)}) {
        const QRect inkA = changed(render(font, blank()), a) & digit, inkB = changed(render(drawn, blank()), b) & digit;
        EXPECT_NEAR(inkA.top(), inkB.top(), 3);
        EXPECT_NEAR(inkA.bottom(), inkB.bottom(), 3);
        EXPECT_NEAR(darkPixels(a, digit), darkPixels(b, digit), darkPixels(a, digit) / 2);
    }
}

// Renders the readings of the documentation. The PNGs go to the test output
// directory, and into docs/images when TOLMAR_UPDATE_DOCS=1.
// The display update with nothing beyond the LCD: the measure value is the value text.
struct LcdOnlyPeers : LcdDisplayPeers {
    void resetLinkTickDivider() override {}
    void SetMaxValue(int) override {}
    void SetMinValue(int) override {}
    bool JudgeReading() override
    {
        value = reading.ValueText;
        return true;
    }
    std::string T1VALUE() const override { return value; }
    void showWaveformValue(const std::string &, const std::string &) override {}
    void showPageControls() override {}
    void INDataToTable() override {}
    void INDataToTable1() override {}
    void showWaveformPage(const std::array<int, MeterReading::waveformLength> &) override {}
    MeterReading reading;
    std::string value;
};

// The LCD after the display update of a meter frame, as the program shows it.
LcdState afterFrame(const std::string &frame)
{
    LcdOnlyPeers peers;
    LcdState lcd;
    FixedLocale locale(".");
    const auto error = LcdDisplay(peers.reading, lcd, locale, peers).run(frame);
    EXPECT_FALSE(error) << error->what;
    return lcd;
}

TEST(LcdWidget, Screenshots)
{
    using test::shortFrame;
    const struct { const char *file; LcdState state; } shots[] = {
        {"lcd-vdc.png", afterFrame(test::sampleFrame)},
        {"lcd-ohm-k.png", afterFrame(shortFrame('4', '0', " 10.00k", 1))},
        {"lcd-overload.png", afterFrame(shortFrame('4', '0', "  0L  M", 1))},
        {"lcd-duty.png", afterFrame(shortFrame('2', '1', " 025.0 "))},
        {"lcd-ac-negative.png", afterFrame(shortFrame('0', '1', "-12.34m"))},
    };
    const QString output = QStringLiteral(TOLMAR_TEST_OUTPUT);
    ASSERT_TRUE(QDir().mkpath(output));
    const bool updateDocs = qgetenv("TOLMAR_UPDATE_DOCS") == "1";
    const QString docs = QFileInfo(QStringLiteral(__FILE__)).dir().absoluteFilePath("../../docs/images");
    if (updateDocs) {
        ASSERT_TRUE(QDir().mkpath(docs));
    }

    LcdWidget lcd;
    for (const auto &shot : shots) {
        const QImage image = render(lcd, shot.state);
        EXPECT_TRUE(image.save(output + "/" + shot.file)) << shot.file;
        if (updateDocs) {
            EXPECT_TRUE(image.save(docs + "/" + shot.file)) << shot.file;
        }
    }
    // Every element at once, and the hand-drawn segments, for a look by eye.
    LcdState all = reading("8", "8", "8", "8", -1, {}, 40, 40);
    for (auto &label : all.labels)
        label.visible = true;
    all.dots = {true, true, true};
    EXPECT_TRUE(render(lcd, all).save(output + "/lcd-all.png"));
    lcd.setGlyphSource(LcdGlyphs::Source::DrawnSegments);
    EXPECT_TRUE(render(lcd, all).save(output + "/lcd-all-drawn.png"));
    EXPECT_TRUE(render(lcd, shots[0].state).save(output + "/lcd-vdc-drawn.png"));
}

TEST(LinkLamp, ShowsThePictureOfTheVisibleState)
{
    QWidget panel;
    panel.resize(40, 40);
    panel.setAutoFillBackground(true);
    QPalette magenta = panel.palette();
    magenta.setColor(QPalette::Window, Qt::magenta);
    panel.setPalette(magenta);
    auto *lamp = new LinkLamp(&panel);
    lamp->move(5, 5);
    EXPECT_EQ(lamp->size(), QSize(25, 24));
    EXPECT_TRUE(lamp->conOkN()) << "the no-link picture at start";

    const struct { bool conOk, conOkN; const char *looks; } cases[] = {
        {true, false, "green"}, {false, true, "grey"}, {false, false, "nothing"}, {true, false, "green"},
    };
    for (const auto &c : cases) {
        lamp->setState(c.conOk, c.conOkN);
        const QColor middle = panel.grab().toImage().pixelColor(5 + 13, 5 + 14);
        const std::string looks = c.looks;
        if (looks == "green") {
            EXPECT_GT(middle.green(), middle.red() + 60) << middle.name().toStdString();
            EXPECT_GT(middle.green(), middle.blue() + 60) << middle.name().toStdString();
        } else if (looks == "grey") {
            EXPECT_NEAR(middle.red(), middle.green(), 10) << middle.name().toStdString();
            EXPECT_NEAR(middle.blue(), middle.green(), 10) << middle.name().toStdString();
        } else {
            EXPECT_EQ(middle, QColor(Qt::magenta));
        }
    }
    EXPECT_EQ(LinkLamp::CONok().size(), QSize(25, 24));
    EXPECT_EQ(LinkLamp::CONokN().size(), QSize(25, 24));
    EXPECT_EQ(LinkLamp::CONokN().pixelColor(0, 0).alpha(), 0) << "transparent corners on any panel colour";
}

} // namespace
} // namespace tolmar
