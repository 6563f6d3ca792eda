#pragma once

#include <array>
#include <string>

namespace tolmar {

// Everything the virtual LCD panel Panel4 shows, as plain data: the display
// update writes it, the LCD widget paints it.
struct LcdState {
    // The panel's labels, drawn in the LCD symbol font.
    enum Label {
        LcdFH,    // minus sign
        LcdD0,    // the four digits
        LcdDa,
        LcdDb,
        LcdDc,
        LcdAuto,  // "AUTO"
        LCDRec,   // recording symbol "!"
        LCDBF,    // "DUTY"
        LcdAC,
        LcdDc1,   // "DC"
        LCDDI,    // diode symbol ")"
        LCDFm,    // second resistance symbol "&"
        LCDk,
        LCDM1,    // "M"
        LCDHz,
        LCDohm,   // "*"
        LCDu,     // micro "+"
        Lcdm,
        LCDn,
        LcdV,
        LCDA,
        LCDF,
        LCDHold,  // never changed by the program
        LCDBATT,
        LCDTRMS,
        LCDTRMST,
        LcdACDC,
        LCDJa,
        LabelCount
    };
    // The decimal point dots after the first, second and third digit.
    enum Dot { LcdP0, LcdP1, LcdP2, DotCount };

    struct LabelState {
        bool visible;
        std::string caption;
        bool operator==(const LabelState &) const = default;
    };

    std::array<LabelState, LabelCount> labels = {{
        {false, "-"},    {true, "3"},     {true, "9"},    {true, "9"},     {true, "9"},   {false, "AUTO"},
        {false, "!"},    {false, "DUTY"}, {false, "AC"},  {false, "DC"},   {false, ")"},  {false, "&"},
        {false, "k"},    {false, "M"},    {false, "Hz"},  {false, "*"},    {false, "+"},  {false, "m"},
        {false, "n"},    {true, "V"},     {false, "A"},   {false, "F"},    {false, "\""}, {false, "$"},
        {false, "uF"},   {false, "T"},    {false, "AC+DC"}, {false, "+"},
    }};
    std::array<bool, DotCount> dots = {true, false, false};

    // The bar graph pbar1 along the bottom edge.
    int barMaximum = 40;
    int barPosition = 0;

    // The link activity lamp in the judge panel: two pictures at one place.
    bool CONok = false;
    bool CONokN = true;
    // Toggled by every completed display update.
    bool ActivityPhase = false;

    LabelState &operator[](Label label) { return labels[label]; }
    const LabelState &operator[](Label label) const { return labels[label]; }
    void show(Label label, bool visible = true) { labels[label].visible = visible; }
    void hide(Label label) { labels[label].visible = false; }
    bool operator==(const LcdState &) const = default;
};

} // namespace tolmar
