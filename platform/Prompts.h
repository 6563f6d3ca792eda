#pragma once

#include <deque>
#include <string>
#include <vector>

namespace tolmar {

enum class PromptIcon { Information, Error, Confirmation };
enum class PromptButtons { Ok, YesNo };
// None: the box was dismissed without a button, or could not be shown.
enum class PromptAnswer { Ok, Yes, No, None };

// Modal message boxes with the program's fixed texts.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual PromptAnswer show(PromptIcon icon, const std::string &text, PromptButtons buttons) = 0;
};

// Answers from a script, and a log of every box shown. When the script runs
// out it answers Ok for an OK box and None otherwise.
class ScriptedPrompts final : public Prompts {
public:
    struct Shown {
        PromptIcon icon;
        std::string text;
        PromptButtons buttons;
        bool operator==(const Shown &) const = default;
    };

    PromptAnswer show(PromptIcon icon, const std::string &text, PromptButtons buttons) override
    {
        shown.push_back({icon, text, buttons});
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
