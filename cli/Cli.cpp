#include "cli/Cli.h"

#include "cli/Commands.h"
#include "cli/RecordingOptions.h"
#include "tolmar/Version.h"

#include <ostream>

namespace tolmar::cli {

namespace {
const Command commands[] = {
    {"decode", decodeHelp, decodeCommand},
    {"replay", replayHelp, replayCommand},
    {"monitor", monitorHelp, monitorCommand},
    {"record", recordHelp, recordCommand},
    {"convert", convertHelp, convertCommand},
    {"stats", statsHelp, statsCommand},
    {"devices", devicesHelp, devicesCommand},
};

void printUsage(std::ostream &out, std::span<const Command> more)
{
    out << "Usage: tolmar-cli COMMAND [OPTIONS] [ARGUMENTS]\n"
           "\n"
           "The headless companion of Tolmar, the multimeter interface program.\n"
           "\n"
           "Commands:\n";
    for (const Command &command : commands)
        out << command.help() << "\n";
    for (const Command &command : more)
        out << command.help() << "\n";
    out << "  The recording options of replay --record and record:\n"
        << recordingOptionsHelp << "\n";
    out << "  help, --help, -h\n"
           "      Show this text.\n"
           "  --version\n"
           "      Show the version.\n"
           "\n"
           "Exit status: 0 success, 1 a command failed, 2 wrong usage.\n";
}
} // namespace

int usageError(std::ostream &err, const std::string &message)
{
    err << "tolmar-cli: " << message << "\n"
        << "Try 'tolmar-cli --help'.\n";
    return 2;
}

int run(const Args &args, std::ostream &out, std::ostream &err, std::span<const Command> more)
{
    if (args.empty())
        return usageError(err, "missing COMMAND");
    const std::string &name = args.front();
    if (name == "help" || name == "--help" || name == "-h") {
        if (args.size() > 1)
            return usageError(err, name + " takes no arguments");
        printUsage(out, more);
        return 0;
    }
    if (name == "--version") {
        if (args.size() > 1)
            return usageError(err, "--version takes no arguments");
        out << "tolmar-cli " << version << "\n"; // project()'s version, as "tolmar --version" prints it
        return 0;
    }
    for (const Command &command : commands)
        if (name == command.name)
            return command.run(Args(args.begin() + 1, args.end()), out, err);
    for (const Command &command : more)
        if (name == command.name)
            return command.run(Args(args.begin() + 1, args.end()), out, err);
    return usageError(err, "unknown command " + name);
}

} // namespace tolmar::cli
