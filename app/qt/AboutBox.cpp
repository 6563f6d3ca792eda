#include "app/qt/AboutBox.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tolmar {

// A dialog of fixed size: a title, the system menu and the close box, no
// minimise or maximise button.
TForm1::TForm1(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName("TForm1");
    setWindowTitle("Tolmar");
    setFixedSize(437, 218);
    setModal(false);
    setAutoFillBackground(true);
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);

    TntMemo1 = new QPlainTextEdit(this);
    TntMemo1->setObjectName("TntMemo1");
    TntMemo1->setGeometry(128, 64, 177, 65);
    TntMemo1->setReadOnly(true);
    TntMemo1->setFrameStyle(QFrame::NoFrame);
    TntMemo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    TntMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TntMemo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette sky = TntMemo1->palette();
    sky.setColor(QPalette::Base, QColor(166, 202, 240)); // sky blue
    TntMemo1->setPalette(sky);
    QFont memoFont = TntMemo1->font();
    memoFont.setPixelSize(11);
    TntMemo1->setFont(memoFont);
    TntMemo1->setPlainText(QStringLiteral("                2011-8-29\n"
                                          "\n"
                                          "              version : 3.0.1\n"
                                          "\n"
                                          "  "));

    TntBitBtn1 = new QPushButton("QUIT", this);
    TntBitBtn1->setObjectName("TntBitBtn1");
    TntBitBtn1->setGeometry(200, 160, 81, 25);
    connect(TntBitBtn1, &QPushButton::clicked, this, &TForm1::quitClicked);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // The main window owns the box's visibility: tell it and let it hide us.
    event->ignore();
    emit closedByUser();
}

void TForm1::reject()
{
    emit closedByUser(); // Escape
}

} // namespace tolmar
