#pragma once

#include "platform/Prompts.h"

class QWidget;

namespace tolmar {

// Modal QMessageBoxes over a parent window.
class QtPrompts final : public Prompts {
public:
    explicit QtPrompts(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    using Prompts::show;
    PromptAnswer show(PromptIcon icon, const std::string &text, PromptButtons buttons,
                      const std::string &caption) override;

private:
    QWidget *m_parent;
};

} // namespace tolmar
