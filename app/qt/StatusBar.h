#pragma once

#include <QWidget>

#include <array>

class QLabel;
class QTimer;

namespace tolmar {

// The three-panel status bar: 200 pixels left-aligned, 300 centred, and the
// last panel right-aligned out to the bar's right edge, as a desktop status
// bar draws its last panel.
class StatusBar final : public QWidget {
    Q_OBJECT
public:
    static constexpr std::array<int, 3> panelWidths = {200, 300, 200};

    explicit StatusBar(QWidget *parent = nullptr);
    void setPanelText(int panel, const QString &text);
    QString panelText(int panel) const;
    QLabel *panel(int index) const { return m_panels[static_cast<std::size_t>(index)]; }
    // A message over the first two panels for `ms` milliseconds; the panels
    // stay as they are beneath it. Its whole text is the tooltip.
    void showMessage(const QString &text, int ms);
    QLabel *message() const { return m_message; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    std::array<QLabel *, 3> m_panels{};
    QLabel *m_message = nullptr;
    QTimer *m_messageTimer = nullptr;
};

} // namespace tolmar
