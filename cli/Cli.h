#pragma once

#include "cli/Commands.h"

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace tolmar::cli {

// Runs one tolmar-cli command line (without the program name) and returns
// the exit status: 0 success, 1 a command that failed, 2 a usage error.
// `more` are commands beyond the built-in ones (those that need Qt).
int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
        std::span<const Command> more = {});

} // namespace tolmar::cli
