#pragma once

#include "platform/Prompts.h"

#include <cstdint>
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

// The boxes of a run nobody watches, answered as an empty script answers
// them (OK, and None for a question) and only counted: a replay without a
// bridge raises the no-cable box at every frame's request, millions of times
// for a long capture, so no box's text is kept beyond the last.
class HeadlessPrompts final : public Prompts {
public:
    using Prompts::show;
    PromptAnswer show(PromptIcon, const std::string &text, PromptButtons buttons, const std::string &) override
    {
        ++shown;
        if (text != last)
            last = text;
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::None;
    }
    std::uint64_t shown = 0;
    std::string last;
};

} // namespace tolmar::cli
