#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tolmar {

// A file dialog as the program configures it, and the name it holds between
// openings.
struct FileDialog {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    // "Display name|pattern|Display name|pattern..."
    std::string Filter;
    // Appended (after a ".") to a typed name without an extension; empty: none.
    std::string DefaultExt;
    bool overwritePrompt = false; // ask before a save replaces a file
    bool hideReadOnly = false;    // no read-only check box
    std::string FileName;         // preselected when it opens; the choice after OK
};

// Shows file dialogs.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Shows the dialog modally. On OK the chosen name is in dialog.FileName
    // and the answer is true; Cancel leaves FileName as it was.
    virtual bool execute(FileDialog &dialog) = 0;
};

// For a program without a window: every dialog is cancelled.
class NoFileDialogs final : public FileDialogs {
public:
    bool execute(FileDialog &) override { return false; }
};

// Names from a script (nullopt = Cancel), and what each dialog was opened
// with. When the script runs out the dialog is cancelled.
class ScriptedFileDialogs final : public FileDialogs {
public:
    bool execute(FileDialog &dialog) override
    {
        opened.push_back(dialog);
        if (names.empty() || !names.front()) {
            if (!names.empty())
                names.pop_front();
            return false;
        }
        dialog.FileName = *names.front();
        names.pop_front();
        return true;
    }
    std::deque<std::optional<std::string>> names;
    std::vector<FileDialog> opened;
};

} // namespace tolmar
