#pragma once

#include <set>
#include <string>
#include <vector>

namespace tolmar {

// The desktop shell: where the program file lies, whether a file is there, and
// opening a document with the desktop's default handler.
class Shell {
public:
    virtual ~Shell() = default;
    virtual std::string programDirectory() const = 0;
    virtual bool exists(const std::string &path) const = 0;
    // Opens path with its default handler; nothing happens when it is missing
    // or nothing can open it.
    virtual void openDocument(const std::string &path) = 0;
};

// Records what would be opened; the files it has are those in `files`.
class RecordingShell final : public Shell {
public:
    std::string programDirectory() const override { return directory; }
    bool exists(const std::string &path) const override { return files.count(path) != 0; }
    void openDocument(const std::string &path) override { opened.push_back(path); }

    std::string directory = "/opt/tolmar";
    std::set<std::string> files;
    std::vector<std::string> opened;
};

} // namespace tolmar
