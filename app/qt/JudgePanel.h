#pragma once

#include "record/Judge.h"

#include <QFrame>
#include <QRect>

#include <string>

class QKeyEvent;
class QLabel;
class QLineEdit;

namespace tolmar {

// The pass/fail lamp Shape1: a filled circle.
class JudgeLamp final : public QWidget {
public:
    explicit JudgeLamp(QWidget *parent = nullptr) : QWidget(parent) {}
    void setFill(const QColor &fill);
    QColor fill() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
};

// The colour a judge state stands for.
QColor judgeColour(JudgeColour colour);

// The judge panel Panel6 (515 x 127): the limit edits, the measure value, the
// judge caption and lamp, and a 25 x 24 slot for the link activity lamp. It
// paints the Judge's state and forwards edits and keys to its handlers.
class JudgePanel final : public QFrame {
    Q_OBJECT
public:
    static constexpr int panelWidth = 515;
    static constexpr int panelHeight = 127;
    static constexpr QRect linkLampRect{480, 8, 25, 24};

    // systeminfomation: the main window's hidden box with the system-default
    // decimal separator; read at every key press.
    JudgePanel(Judge &core, const std::string &systeminfomation, QWidget *parent = nullptr);

    // Paints the judge's state.
    void refresh();

    // The link lamp (CONok / CONokN) drawn by another widget: placed into
    // the slot, filling it.
    void setLinkLamp(QWidget *lamp);
    QWidget *linkLamp() const { return m_linkLamp; }
    QWidget *linkLampSlot() const { return m_linkLampSlot; }

    QLabel *T1_HI = nullptr;
    QLineEdit *T1HI = nullptr;
    QLabel *T1_LO = nullptr;
    QLineEdit *T1LO = nullptr;
    QLabel *T1_Value = nullptr;
    QLineEdit *T1VALUE = nullptr;
    QLabel *judge = nullptr;
    JudgeLamp *Shape1 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Judge &m_judge;
    const std::string &m_systeminfomation;
    QWidget *m_linkLampSlot = nullptr;
    QWidget *m_linkLamp = nullptr;
};

// The character a key press types: U+0008 for backspace, 0 for keys that
// type nothing (arrows, shortcuts with Ctrl), else the first code point.
char32_t typedCharacter(const QKeyEvent &event);

} // namespace tolmar
