#pragma once

#include <deque>
#include <string>
#include <vector>

namespace tolmar {

// Plain: a box without an icon.
enum class PromptIcon { Information, Error, Confirmation, Plain };
enum class PromptButtons { Ok, YesNo };
// None: the box was dismissed without a button, or could not be shown.
enum class PromptAnswer { Ok, Yes, No, None };

// Modal message boxes with the program's fixed texts.
class Prompts {
public:
    virtual ~Prompts() = default;
    // An empty caption is the program's name.
    virtual PromptAnswer show(PromptIcon icon, const std::string &text, PromptButtons buttons,
                              const std::string &caption) = 0;
    PromptAnswer show(PromptIcon icon, const std::string &text, PromptButtons buttons)
    {
        return show(icon, text, buttons, std::string());
    }
};

// Answers from a script, and a log of every box shown. When the script runs
// out it answers Ok for an OK box and None otherwise.
class ScriptedPrompts final : public Prompts {
public:
    struct Shown {
        PromptIcon icon;
        std::string text;
        PromptButtons buttons;
        std::string caption = {};
        bool operator==(const Shown &) const = default;
    };

    using Prompts::show;
    PromptAnswer show(PromptIcon icon, const std::string &text, PromptButtons buttons,
                      const std::string &caption) override
    {
        shown.push_back({icon, text, buttons, caption});
        if (answers.empty())
            return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::None;
        const PromptAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<PromptAnswer> answers;
    std::vector<Shown> shown;
};

} // namespace tolmar
