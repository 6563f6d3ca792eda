#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tolmar::cli {

// Runs one tolmar-cli command line (without the program name) and returns
// the exit status: 0 success, 1 a command that failed, 2 a usage error.
int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace tolmar::cli
