#pragma once

#include "meter/qt/LcdGlyphs.h"

#include <QWidget>

#include <string>

namespace tolmar {

// A label that shows the meter's unit text in the LCD's letters and symbols
// ("M*" megaohm, "V)" diode volts) instead of the raw characters: left
// aligned, the caps centred on its height, in the palette's text colour.
class LcdTextLabel final : public QWidget {
    Q_OBJECT
public:
    explicit LcdTextLabel(QWidget *parent = nullptr);

    // The meter's bytes; repaints only when they change.
    void setText(const std::string &bytes);
    const std::string &text() const { return m_text; }

    // The height of the caps; 0 (the default) takes it from the label's height.
    void setCapHeight(qreal capHeight);
    qreal capHeight() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::string m_text;
    qreal m_capHeight = 0;
    LcdGlyphs m_glyphs;
};

} // namespace tolmar
