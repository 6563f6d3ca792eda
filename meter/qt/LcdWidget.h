#pragma once

#include "meter/LcdState.h"
#include "meter/qt/LcdGlyphs.h"

#include <QFrame>

class QPushButton;

namespace tolmar {

// The virtual LCD Panel4: paints an LcdState, decides nothing. Every element
// sits at its pixel place on the 335 x 154 panel, black on the LCD's light
// grey; the display update fills the state, this widget only shows it.
class LcdWidget final : public QFrame {
    Q_OBJECT
public:
    static constexpr int panelWidth = 335;
    static constexpr int panelHeight = 154;
    // The bar graph pbar1 along the bottom edge.
    static constexpr QRect barRect{2, 136, 331, 16};

    explicit LcdWidget(QWidget *parent = nullptr);

    // Stores the state and repaints; the same state again changes nothing.
    void setState(const LcdState &state);
    const LcdState &state() const { return m_state; }

    // Draw digits and letters from the segment font (when installed) or from
    // segments drawn here.
    void setGlyphSource(LcdGlyphs::Source source);
    LcdGlyphs::Source glyphSource() const { return m_glyphs.source(); }

    // The small "OL" button on the right end of the bar; it has no action.
    QPushButton *TntBitBtn1 = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintLabels(QPainter &painter);
    void paintBar(QPainter &painter) const;

    LcdState m_state;
    LcdGlyphs m_glyphs;
};

} // namespace tolmar
