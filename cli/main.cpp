#include "cli/Cli.h"

#include <iostream>

int main(int argc, char *argv[])
{
    const std::vector<std::string> args(argv + 1, argv + argc);
#ifdef TOLMAR_CLI_REPORT
    static const tolmar::cli::Command withQt[] = {
        {"report", tolmar::cli::reportHelp, tolmar::cli::reportCommand},
    };
    return tolmar::cli::run(args, std::cout, std::cerr, withQt);
#else
    return tolmar::cli::run(args, std::cout, std::cerr);
#endif
}
