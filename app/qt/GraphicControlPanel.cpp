#include "app/qt/GraphicControlPanel.h"

#include "app/qt/JudgePanel.h"
#include "app/qt/Placement.h"
#include "meter/qt/LcdTextLabel.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace tolmar {

namespace {

// A widget that lies over others fills its background with the window's
// white, so nothing beneath shows through.
void paintOpaque(QWidget *widget, bool opaque = true)
{
    widget->setAutoFillBackground(opaque);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
}

QRect rectOf(const ControlRect &r)
{
    return QRect(r.left, r.top, r.width, r.height);
}

void setText(QLineEdit *edit, const std::string &text)
{
    const QString value = QString::fromStdString(text);
    if (edit->text() != value)
        edit->setText(value);
}

} // namespace

GraphicControlPanel::GraphicControlPanel(GraphicControl &core, QWidget *parent)
    : QGroupBox(GraphicControl::GroupBox1Caption, parent), m_core(core)
{
    setObjectName("GroupBox1");
    setGeometry(rectOf(GraphicControl::normalGroupBox));

    const auto button = [this](const char *name, int left, const char *hint, QStyle::StandardPixmap icon) {
        auto *b = place(new QToolButton(this), name, left, 23, 24, 23);
        b->setToolTip(hint);
        b->setIcon(style()->standardIcon(icon));
        return b;
    };
    const auto edit = [this](const char *name, int left, const char *hint) {
        auto *e = place(new QLineEdit(this), name, left, 24, 44, 21);
        e->setToolTip(hint);
        return e;
    };

    cbFill = place(new QCheckBox(GraphicControl::cbFillCaption, this), "cbFill", 8, 26, 42, 17);
    edtRange = edit("edtRange", 52, GraphicControl::edtRangeHint);
    edtRange->setAlignment(Qt::AlignRight);
    edtRange->installEventFilter(this);
    btnfirst = button("btnfirst", 100, GraphicControl::btnfirstHint, QStyle::SP_MediaSkipBackward);
    btnPrevious = button("btnPrevious", 126, GraphicControl::btnPreviousHint, QStyle::SP_MediaSeekBackward);
    edtCurPage = edit("edtCurPage", 152, GraphicControl::edtCurPageHint);
    edtCurPage->setReadOnly(true);
    edtCurPage->setAlignment(Qt::AlignCenter);
    // A display only: it never takes the focus, which passes on to the next control.
    edtCurPage->setFocusPolicy(Qt::NoFocus);
    btnNext = button("btnNext", 198, GraphicControl::btnNextHint, QStyle::SP_MediaSeekForward);
    btnLast = button("btnLast", 224, GraphicControl::btnLastHint, QStyle::SP_MediaSkipForward);
    Label7 = place(new QLabel(GraphicControl::Label7Caption, this), "Label7", 256, 27, 32, 15);
    edtPage = edit("edtPage", 290, GraphicControl::edtPageHint);
    btnGoPage = button("btnGoPage", 336, GraphicControl::btnGoPageHint, QStyle::SP_ArrowForward);
    btnNew = button("btnNew", 378, GraphicControl::btnNewHint, QStyle::SP_DialogResetButton);
    btnSave = button("btnSave", 404, GraphicControl::btnSaveHint, QStyle::SP_DialogSaveButton);
    btnfly = button("btnfly", 440, GraphicControl::btnflyHint, QStyle::SP_TitleBarMaxButton);
    btnChartZoomOut = button("btnChartZoomOut", 440, GraphicControl::btnChartZoomOutHint, QStyle::SP_TitleBarNormalButton);

    connect(cbFill, &QCheckBox::clicked, this, [this](bool checked) {
        m_core.cbFillClick(checked);
        refresh();
    });
    connect(edtRange, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_core.edtRangeChange(text.toStdString());
        refresh();
    });
    connect(edtPage, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_core.edtPageChange(text.toStdString());
    });
    // One slot for the page buttons, their handlers in a table. Not a lambda
    // per button holding its handler: g++ 12 with the sanitizers compiles a
    // lambda that captures `this` and a pointer to member function so that
    // the call reads `this` from a stack frame long gone (AddressSanitizer:
    // a stack buffer underflow at -O0; at -O2 the handler ran on a null
    // panel). A lambda capturing `this` alone, or a slot, is compiled right.
    m_pageButtons = {{
        {btnfirst, &GraphicControl::btnFirstClick},
        {btnPrevious, &GraphicControl::btnPreviousClick},
        {btnNext, &GraphicControl::btnNextClick},
        {btnLast, &GraphicControl::btnLastClick},
        {btnGoPage, &GraphicControl::btnGoPageClick},
        {btnfly, &GraphicControl::btnFlyClick},
        {btnChartZoomOut, &GraphicControl::btnChartZoomOutClick},
    }};
    for (const PageButton &pageButton : m_pageButtons)
        connect(pageButton.button, &QToolButton::clicked, this, &GraphicControlPanel::pageButtonClicked);
    connect(btnNew, &QToolButton::clicked, this, &GraphicControlPanel::btnNewClicked);
    connect(btnSave, &QToolButton::clicked, this, &GraphicControlPanel::btnSaveClicked);
    refresh();
}

void GraphicControlPanel::attachChart(QWidget *chart)
{
    m_chart = chart;
    if (!chart)
        return;
    // Enlarged, the chart lies over the LCD and the judge panel: it must
    // paint every pixel of its own.
    paintOpaque(chart);
    if (!Edit1) {
        Edit1 = place(new QLineEdit(chart), "Edit1", 60, 6, 80, 21);
        Edit1->setAlignment(Qt::AlignRight);
        Label6 = place(new LcdTextLabel(chart), "Label6", 146, 9, 60, 16);
    } else {
        Edit1->setParent(chart);
        Label6->setParent(chart);
    }
    refresh();
}

void GraphicControlPanel::pageButtonClicked()
{
    for (const PageButton &pageButton : m_pageButtons)
        if (pageButton.button == sender()) {
            (m_core.*pageButton.handler)();
            refresh();
        }
}

QWidget *GraphicControlPanel::pageControl(int index) const
{
    QWidget *const controls[] = {cbFill, edtRange, btnfirst, btnPrevious, edtCurPage,
                                 btnNext, btnLast, Label7, edtPage, btnGoPage};
    return index < 10 ? controls[index] : nullptr;
}

bool GraphicControlPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edtRange && event->type() == QEvent::KeyPress) {
        const char32_t key = typedCharacter(*static_cast<QKeyEvent *>(event));
        if (key != 0 && !m_core.edtRangeKeyPress(key))
            return true; // dropped
    }
    return QGroupBox::eventFilter(watched, event);
}

void GraphicControlPanel::refresh()
{
    const GraphicControlState &s = m_core.state();
    for (int i = 0; QWidget *control = pageControl(i); ++i)
        control->setVisible(s.pageControlsVisible);
    cbFill->setChecked(s.cbFillChecked);
    setText(edtRange, s.edtRange);
    setText(edtCurPage, s.edtCurPage);
    if (s.edtCurPageSelLength > 0)
        edtCurPage->setSelection(s.edtCurPageSelStart, s.edtCurPageSelLength);
    setText(edtPage, s.edtPage);
    btnfly->setVisible(s.btnflyVisible);
    btnChartZoomOut->setVisible(s.btnChartZoomOutVisible);

    // The enlarged layout lays the box and the chart over the other panels.
    // In place, the box stays see-through: its top edge lies on the judge
    // panel's bottom line.
    setGeometry(rectOf(s.GroupBox1));
    paintOpaque(this, s.GroupBox1 != GraphicControl::normalGroupBox);
    raise();
    if (m_chart) {
        m_chart->setGeometry(rectOf(s.Chart1));
        m_chart->raise();
        setText(Edit1, s.Edit1);
        Edit1->setVisible(s.Edit1Visible);
        Label6->setText(s.Label6);
        Label6->setVisible(s.Label6Visible);
    }
}

} // namespace tolmar
