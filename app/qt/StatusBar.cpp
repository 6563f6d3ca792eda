#include "app/qt/StatusBar.h"

#include <QLabel>
#include <QTimer>

namespace tolmar {

StatusBar::StatusBar(QWidget *parent) : QWidget(parent)
{
    const Qt::Alignment alignments[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    for (int i = 0; i < 3; ++i) {
        auto *label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(alignments[i] | Qt::AlignVCenter);
        label->setIndent(3);
        m_panels[static_cast<std::size_t>(i)] = label;
    }
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("StatusMessage"));
    m_message->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_message->setIndent(3);
    m_message->setAutoFillBackground(true);
    m_message->hide();
    m_messageTimer = new QTimer(this);
    m_messageTimer->setSingleShot(true);
    connect(m_messageTimer, &QTimer::timeout, m_message, &QLabel::hide);
}

void StatusBar::showMessage(const QString &text, int ms)
{
    m_message->setText(text);
    m_message->setToolTip(text);
    m_message->setGeometry(0, 0, panelWidths[0] + panelWidths[1], height());
    m_message->show();
    m_message->raise();
    m_messageTimer->start(ms);
}

void StatusBar::setPanelText(int panel, const QString &text)
{
    m_panels[static_cast<std::size_t>(panel)]->setText(text);
}

QString StatusBar::panelText(int panel) const
{
    return m_panels[static_cast<std::size_t>(panel)]->text();
}

void StatusBar::resizeEvent(QResizeEvent *)
{
    int left = 0;
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        const int width = i + 1 == m_panels.size() ? std::max(panelWidths[i], this->width() - left) : panelWidths[i];
        m_panels[i]->setGeometry(left, 0, width, height());
        left += width;
    }
    m_message->setGeometry(0, 0, panelWidths[0] + panelWidths[1], height());
}

} // namespace tolmar
