#pragma once

#include "platform/Prompts.h"

#include <ostream>
#include <string>

namespace tolmar::cli {

// The link's message boxes, written to the error stream as
// "tolmar-cli: COMMAND: text". OK boxes are answered OK, questions No.
class StreamPrompts final : public Prompts {
public:
    StreamPrompts(std::ostream &err, std::string command) : m_err(err), m_command(std::move(command)) {}
    using Prompts::show;
    PromptAnswer show(PromptIcon, const std::string &text, PromptButtons buttons, const std::string &) override
    {
        m_err << "tolmar-cli: " << m_command << ": " << text << "\n";
        ++shown;
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
    int shown = 0;

private:
    std::ostream &m_err;
    std::string m_command;
};

} // namespace tolmar::cli
