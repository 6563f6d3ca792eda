#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace tolmar {

// The about box TForm1: shown without blocking the main window; its QUIT
// button and its close box hide it again.
class TForm1 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);

    QPlainTextEdit *TntMemo1;
    QPushButton *TntBitBtn1;

signals:
    void quitClicked();
    void closedByUser();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;
};

} // namespace tolmar
