#include "meter/qt/LinkLamp.h"

#include <QPainter>
#include <QRadialGradient>

namespace tolmar {

namespace {

// A round lamp in a dark bezel; `centre` and `rim` colour the glass.
QImage lamp(QColor centre, QColor rim, bool glow)
{
    QImage image(LinkLamp::lampWidth, LinkLamp::lampHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF middle(12.5, 12);
    if (glow) {
        QRadialGradient halo(middle, 12.5);
        halo.setColorAt(0.6, QColor(80, 255, 80, 110));
        halo.setColorAt(1.0, QColor(80, 255, 80, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(halo);
        painter.drawEllipse(middle, 12.5, 12);
    }
    painter.setPen(QPen(QColor(60, 60, 60), 1.5));
    painter.setBrush(QColor(90, 90, 90));
    painter.drawEllipse(middle, 9.5, 9.5);
    QRadialGradient glass(middle - QPointF(2.5, 2.5), 9);
    glass.setColorAt(0.0, centre);
    glass.setColorAt(1.0, rim);
    painter.setPen(Qt::NoPen);
    painter.setBrush(glass);
    painter.drawEllipse(middle, 7.5, 7.5);
    // The highlight of the glass dome.
    painter.setBrush(QColor(255, 255, 255, glow ? 200 : 90));
    painter.drawEllipse(middle - QPointF(3, 3), 2.2, 1.6);
    return image;
}

} // namespace

QImage LinkLamp::CONok()
{
    return lamp(QColor(190, 255, 150), QColor(0, 160, 30), true);
}

QImage LinkLamp::CONokN()
{
    return lamp(QColor(150, 150, 150), QColor(70, 70, 70), false);
}

LinkLamp::LinkLamp(QWidget *parent)
    : QWidget(parent)
    , m_lit(CONok())
    , m_dark(CONokN())
{
    setFixedSize(lampWidth, lampHeight);
}

void LinkLamp::setState(bool conOk, bool conOkN)
{
    if (conOk == m_conOk && conOkN == m_conOkN)
        return;
    m_conOk = conOk;
    m_conOkN = conOkN;
    update();
}

void LinkLamp::paintEvent(QPaintEvent *)
{
    // Should both be shown, the link picture lies on top.
    if (!m_conOk && !m_conOkN)
        return;
    QPainter(this).drawImage(0, 0, m_conOk ? m_lit : m_dark);
}

} // namespace tolmar
