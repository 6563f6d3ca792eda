#pragma once

#include <QImage>
#include <QWidget>

namespace tolmar {

// The link activity lamp of the judge panel: the two 25 x 24 pictures CONok
// (a frame came in) and CONokN (no frame) at one place.
class LinkLamp final : public QWidget {
    Q_OBJECT
public:
    static constexpr int lampWidth = 25;
    static constexpr int lampHeight = 24;

    explicit LinkLamp(QWidget *parent = nullptr);

    // The visibility of the two pictures; with both hidden the lamp shows nothing.
    void setState(bool conOk, bool conOkN);
    bool conOk() const { return m_conOk; }
    bool conOkN() const { return m_conOkN; }

    // The pictures themselves: a lit green lamp, and the same lamp dark.
    static QImage CONok();
    static QImage CONokN();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_conOk = false;
    bool m_conOkN = true;
    QImage m_lit;
    QImage m_dark;
};

} // namespace tolmar
