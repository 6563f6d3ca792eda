#include "app/qt/RecordingPanel.h"

#include "app/qt/JudgePanel.h"
#include "app/qt/Placement.h"

#include <QCheckBox>
#include <QIconEngine>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOption>
#include <QToolButton>

#include <algorithm>
#include <string_view>

namespace tolmar {

namespace {

constexpr int controlTop = 8;
constexpr int checkBoxHeight = 17;
constexpr int buttonTop = 5;
constexpr int buttonWidth = 24;
constexpr int buttonHeight = 23;
const QColor problemBase(255, 224, 224);

// Small icons drawn on a 16 x 16 grid at whatever size is asked, for the
// buttons no standard icon fits.
class DrawnIconEngine : public QIconEngine {
public:
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        draw(*painter, mode == QIcon::Disabled);
        painter->restore();
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

protected:
    virtual void draw(QPainter &painter, bool disabled) const = 0;
};

// "Close Data": a table sheet with a red cross.
class CloseDataIconEngine final : public DrawnIconEngine {
public:
    QIconEngine *clone() const override { return new CloseDataIconEngine; }

protected:
    void draw(QPainter &painter, bool disabled) const override
    {
        const QColor outline = disabled ? QColor(150, 150, 150) : QColor(70, 80, 100);
        painter.setPen(QPen(outline, 1));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(1.5, 1.5, 11, 12));
        painter.setPen(QPen(disabled ? QColor(190, 190, 190) : QColor(120, 150, 200), 1));
        for (qreal y : {4.5, 7.5, 10.5})
            painter.drawLine(QPointF(2, y), QPointF(12, y));
        painter.drawLine(QPointF(5.5, 2), QPointF(5.5, 13));
        QPen cross(disabled ? QColor(170, 170, 170) : QColor(210, 30, 30), 2.2);
        cross.setCapStyle(Qt::RoundCap);
        painter.setPen(cross);
        painter.drawLine(QPointF(9, 9), QPointF(14.5, 14.5));
        painter.drawLine(QPointF(14.5, 9), QPointF(9, 14.5));
    }
};

// No standard icon shows a printer.
class PrinterIconEngine final : public DrawnIconEngine {
public:
    QIconEngine *clone() const override { return new PrinterIconEngine; }

protected:
    void draw(QPainter &painter, bool disabled) const override
    {
        const QColor outline = disabled ? QColor(150, 150, 150) : QColor(60, 60, 60);
        const QColor body = disabled ? QColor(210, 210, 210) : QColor(176, 180, 188);
        painter.setPen(QPen(outline, 1));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(4.5, 1.5, 7, 5)); // the paper going in
        painter.setBrush(body);
        painter.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1.5, 1.5);
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(4.5, 9.5, 7, 5)); // the printed sheet
        painter.drawLine(QPointF(6, 11.5), QPointF(10, 11.5));
        painter.drawLine(QPointF(6, 13), QPointF(9, 13));
        painter.setPen(Qt::NoPen);
        painter.setBrush(disabled ? QColor(180, 180, 180) : QColor(40, 170, 60));
        painter.drawEllipse(QPointF(12.5, 7.5), 0.9, 0.9);
    }
};

} // namespace

RecordingPanel::RecordingPanel(Recording &core, QWidget *parent) : QFrame(parent), m_core(core)
{
    setObjectName("Panel5");
    setFixedSize(panelWidth, panelHeight);
    setFrameStyle(QFrame::Panel | QFrame::Raised);

    RepeatSet = new QCheckBox(Recording::RepeatSetCaption, this);
    RepeatSet->setObjectName("RepeatSet");
    RepeatSet->setToolTip(Recording::RepeatSetHint);
    RecordSI = new QCheckBox(Recording::RecordSICaption, this);
    RecordSI->setObjectName("RecordSI");
    RecordSI->setToolTip(Recording::RecordSIHint);
    // Created after RecordSI, so it lies over the gap in its caption.
    RecordSITime = new QLineEdit(this);
    RecordSITime->setObjectName("RecordSITime");
    RecordSITime->installEventFilter(this);

    const auto button = [this](const char *name, int left, const char *hint, const QIcon &icon) {
        auto *b = place(new QToolButton(this), name, left, buttonTop, buttonWidth, buttonHeight);
        b->setToolTip(hint);
        b->setIcon(icon);
        b->setAutoRaise(false);
        return b;
    };
    // "Close Data" empties the table: set a little apart from the file buttons.
    RecordNew = button("RecordNew", 232, Recording::RecordNewHint, QIcon(new CloseDataIconEngine));
    OpenDataFiles = button("OpenDataFiles", 260, Recording::OpenDataFilesHint,
                           style()->standardIcon(QStyle::SP_DialogOpenButton));
    saveas = button("saveas", 284, Recording::saveasHint, style()->standardIcon(QStyle::SP_DialogSaveButton));
    BtPrint = button("BtPrint", 308, Recording::BtPrintHint, QIcon(new PrinterIconEngine));
    layOut();

    connect(RepeatSet, &QCheckBox::clicked, this, [this](bool checked) {
        m_core.RepeatSetClick(checked);
        refresh();
    });
    connect(RecordSI, &QCheckBox::clicked, this, [this](bool checked) {
        m_core.RecordSIClick(checked);
        refresh();
    });
    connect(RecordSITime, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_core.RecordSITimeChange(text.toStdString());
        refresh();
    });
    connect(RecordNew, &QToolButton::clicked, this, &RecordingPanel::recordNewClicked);
    connect(OpenDataFiles, &QToolButton::clicked, this, &RecordingPanel::openDataFilesClicked);
    connect(saveas, &QToolButton::clicked, this, &RecordingPanel::saveasClicked);
    connect(BtPrint, &QToolButton::clicked, this, &RecordingPanel::btPrintClicked);
    refresh();
}

void RecordingPanel::layOut()
{
    RepeatSet->setGeometry(6, controlTop, RepeatSet->sizeHint().width(), checkBoxHeight);
    const int left = RepeatSet->geometry().right() + 8;
    const int room = RecordNew->x() - 4 - left;

    // The caption keeps its run of spaces: the interval edit lies over it,
    // so the bar reads "Sampling Interval [1] 'S". A font too wide for the
    // bar is narrowed rather than the caption cut.
    QFont font = this->font();
    RecordSI->setFont(font);
    for (int stretch = 95; RecordSI->sizeHint().width() > room && stretch >= 70; stretch -= 5) {
        font.setStretch(stretch);
        RecordSI->setFont(font);
    }
    RecordSI->setGeometry(left, controlTop, std::min(room, RecordSI->sizeHint().width()), checkBoxHeight);

    const std::string_view caption = Recording::RecordSICaption;
    const std::size_t gapStart = caption.find("  ");
    if (gapStart == std::string_view::npos) {
        // No room kept in the caption: the edit follows the check box.
        RecordSITime->setGeometry(RecordSI->geometry().right() + 2, controlTop - 2, 32, checkBoxHeight + 4);
        return;
    }
    const std::size_t gapEnd = caption.find_first_not_of(' ', gapStart);
    QStyleOptionButton option;
    option.initFrom(RecordSI);
    option.text = RecordSI->text();
    const QRect label = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, RecordSI);
    const QFontMetrics metrics(RecordSI->font());
    const auto advance = [&metrics, caption](std::size_t length) {
        return metrics.horizontalAdvance(QString::fromLatin1(caption.data(), static_cast<qsizetype>(length)));
    };
    const int editLeft = left + label.left() + advance(gapStart) + 3;
    const int editRight = left + label.left() + advance(std::min(gapEnd, caption.size())) - 3;
    RecordSITime->setGeometry(editLeft, controlTop - 2, std::max(20, editRight - editLeft), checkBoxHeight + 4);
}

void RecordingPanel::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        layOut();
}

bool RecordingPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == RecordSITime && event->type() == QEvent::KeyPress) {
        const char32_t key = typedCharacter(*static_cast<QKeyEvent *>(event));
        if (key != 0 && !m_core.RecordSITimeKeyPress(key))
            return true; // dropped
    }
    return QFrame::eventFilter(watched, event);
}

void RecordingPanel::setFileWorkRunning(bool running)
{
    OpenDataFiles->setEnabled(!running);
    saveas->setEnabled(!running);
}

void RecordingPanel::refresh()
{
    const RecordingState &s = m_core.state();
    RepeatSet->setChecked(s.RepeatSetChecked);
    RecordSI->setChecked(s.RecordSIChecked);
    const QString interval = QString::fromStdString(s.RecordSITime);
    if (RecordSITime->text() != interval)
        RecordSITime->setText(interval);

    // An interval that arms no timer records nothing: say so at the edit.
    const bool problem = !s.RecordSITimeValid;
    if (problem != m_showsProblem) {
        m_showsProblem = problem;
        QPalette palette = RecordSITime->palette();
        if (problem)
            palette.setColor(QPalette::Base, problemBase);
        else
            palette.setColor(QPalette::Base, this->palette().color(QPalette::Base));
        RecordSITime->setPalette(palette);
        RecordSITime->setToolTip(problem ? intervalProblemHint : QString());
    }
}

} // namespace tolmar
