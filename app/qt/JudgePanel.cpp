#include "app/qt/JudgePanel.h"

#include "app/qt/Placement.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace tolmar {

namespace {

void setText(QLineEdit *edit, const std::string &text)
{
    // Only a real change: setText moves the cursor to the end.
    const QString value = QString::fromStdString(text);
    if (edit->text() != value)
        edit->setText(value);
}

void setBackground(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

QFont pixelFont(const QFont &base, int pixels, bool bold)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

QColor judgeColour(JudgeColour colour)
{
    switch (colour) {
    case JudgeColour::Pass:
        return QColor(0, 128, 0);
    case JudgeColour::Fail:
        return QColor(255, 0, 0);
    case JudgeColour::Info:
        break;
    }
    return QApplication::palette().color(QPalette::ToolTipBase);
}

void JudgeLamp::setFill(const QColor &fill)
{
    if (fill == m_fill)
        return;
    m_fill = fill;
    update();
}

void JudgeLamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(m_fill);
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

char32_t typedCharacter(const QKeyEvent &event)
{
    if (event.key() == Qt::Key_Backspace)
        return U'\b';
    const QList<uint> text = event.text().toUcs4();
    // Control characters come from shortcuts (Ctrl+V and so on); they type
    // nothing, and the change check sees what they paste.
    if (text.isEmpty() || text.front() < 0x20 || text.front() == 0x7F)
        return 0;
    return text.front();
}

JudgePanel::JudgePanel(Judge &core, const std::string &systeminfomation, QWidget *parent)
    : QFrame(parent), m_judge(core), m_systeminfomation(systeminfomation)
{
    setObjectName("Panel6");
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    resize(panelWidth, panelHeight);

    T1_HI = place(new QLabel(Judge::T1_HICaption, this), "T1_HI", 12, 12, 96, 16);
    T1HI = place(new QLineEdit(this), "T1HI", 110, 8, 110, 24);
    T1_LO = place(new QLabel(Judge::T1_LOCaption, this), "T1_LO", 12, 46, 96, 16);
    T1LO = place(new QLineEdit(this), "T1LO", 110, 42, 110, 24);
    T1_Value = place(new QLabel(Judge::T1_ValueCaption, this), "T1_Value", 12, 88, 96, 16);
    T1VALUE = place(new QLineEdit(this), "T1VALUE", 110, 78, 170, 36);
    for (QLineEdit *limit : {T1HI, T1LO}) {
        limit->setToolTip(Judge::limitHint);
        limit->installEventFilter(this);
    }
    T1VALUE->setReadOnly(true);
    T1VALUE->setFocusPolicy(Qt::NoFocus);
    T1VALUE->setFont(pixelFont(font(), 22, true));

    judge = place(new QLabel(this), "judge", 296, 24, 120, 56);
    judge->setAlignment(Qt::AlignCenter);
    judge->setAutoFillBackground(true);
    judge->setFont(pixelFont(font(), 30, true));
    Shape1 = place(new JudgeLamp(this), "Shape1", 426, 38, 44, 44);

    m_linkLampSlot = new QWidget(this);
    m_linkLampSlot->setObjectName("linkLampSlot");
    m_linkLampSlot->setGeometry(linkLampRect);

    connect(T1HI, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_judge.T1HIChange(text.toStdString());
        refresh();
    });
    connect(T1LO, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_judge.T1LOChange(text.toStdString());
        refresh();
    });
    refresh();
}

bool JudgePanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == T1HI || watched == T1LO)) {
        const char32_t key = typedCharacter(*static_cast<QKeyEvent *>(event));
        if (key != 0) {
            const bool accepted = watched == T1HI ? m_judge.T1HIKeyPress(key, m_systeminfomation)
                                                  : m_judge.T1LOKeyPress(key, m_systeminfomation);
            if (!accepted)
                return true; // dropped
        }
    }
    return QFrame::eventFilter(watched, event);
}

void JudgePanel::refresh()
{
    const JudgeState &s = m_judge.state();
    setText(T1HI, s.T1HI);
    setText(T1LO, s.T1LO);
    setText(T1VALUE, s.T1VALUE);
    setBackground(T1VALUE, QPalette::Base, judgeColour(s.T1VALUEColour));
    judge->setText(QString::fromStdString(s.judge));
    setBackground(judge, QPalette::Window, judgeColour(s.judgeColour));
    Shape1->setFill(judgeColour(s.Shape1Colour));
}

void JudgePanel::setLinkLamp(QWidget *lamp)
{
    m_linkLamp = lamp;
    if (!lamp)
        return;
    lamp->setParent(m_linkLampSlot);
    lamp->setGeometry(0, 0, linkLampRect.width(), linkLampRect.height());
    lamp->show();
}

} // namespace tolmar
