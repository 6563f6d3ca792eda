#include "meter/qt/LcdTextLabel.h"

#include "meter/qt/LcdText.h"

#include <QPainter>

namespace tolmar {

// No background of its own: the chart shows around the glyphs.
LcdTextLabel::LcdTextLabel(QWidget *parent) : QWidget(parent) {}

void LcdTextLabel::setText(const std::string &bytes)
{
    if (bytes == m_text)
        return;
    m_text = bytes;
    update();
}

void LcdTextLabel::setCapHeight(qreal capHeight)
{
    m_capHeight = capHeight;
    update();
}

qreal LcdTextLabel::capHeight() const
{
    // Room above and below for the micro sign's tail.
    return m_capHeight > 0 ? m_capHeight : height() * 0.7;
}

void LcdTextLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintLcdText(painter, m_glyphs, m_text, QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter, capHeight(),
                 palette().color(QPalette::WindowText));
}

} // namespace tolmar
