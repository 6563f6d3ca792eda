#include "platform/qt/QtPrompts.h"

#include <QApplication>
#include <QMessageBox>

namespace tolmar {

PromptAnswer QtPrompts::show(PromptIcon icon, const std::string &text, PromptButtons buttons,
                            const std::string &caption)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(caption.empty() ? QApplication::applicationName() : QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (icon) {
    case PromptIcon::Information: box.setIcon(QMessageBox::Information); break;
    case PromptIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case PromptIcon::Confirmation: box.setIcon(QMessageBox::Question); break;
    case PromptIcon::Plain: box.setIcon(QMessageBox::NoIcon); break;
    }
    if (buttons == PromptButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return PromptAnswer::Yes;
    case QMessageBox::No: return PromptAnswer::No;
    case QMessageBox::Ok: return PromptAnswer::Ok;
    default: return PromptAnswer::None;
    }
}

} // namespace tolmar
