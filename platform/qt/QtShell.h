#pragma once

#include "platform/Shell.h"

namespace tolmar {

// The program's folder from QCoreApplication, documents through QDesktopServices.
class QtShell final : public Shell {
public:
    std::string programDirectory() const override;
    bool exists(const std::string &path) const override;
    void openDocument(const std::string &path) override;
};

} // namespace tolmar
