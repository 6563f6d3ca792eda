#pragma once

// Runs a tolmar-cli command line in-process and keeps what it printed.
#include "cli/Cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace tolmar::test {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline CliRun runCli(const std::vector<std::string> &args)
{
    std::ostringstream out, err;
    const int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

} // namespace tolmar::test
