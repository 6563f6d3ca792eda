#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// The commands of tolmar-cli. Each lives in its own file and has one entry in
// the table of Cli.cpp.
namespace tolmar::cli {

using Args = std::vector<std::string>;

struct Command {
    const char *name;
    const char *help; // synopsis and description, indented as --help prints it
    int (*run)(const Args &args, std::ostream &out, std::ostream &err);
};

// Prints "tolmar-cli: message" and the hint to --help; returns 2.
int usageError(std::ostream &err, const std::string &message);

int decodeCommand(const Args &args, std::ostream &out, std::ostream &err);
extern const char *const decodeHelp;
int replayCommand(const Args &args, std::ostream &out, std::ostream &err);
extern const char *const replayHelp;
int monitorCommand(const Args &args, std::ostream &out, std::ostream &err);
extern const char *const monitorHelp;
int recordCommand(const Args &args, std::ostream &out, std::ostream &err);
extern const char *const recordHelp;
int convertCommand(const Args &args, std::ostream &out, std::ostream &err);
extern const char *const convertHelp;
int devicesCommand(const Args &args, std::ostream &out, std::ostream &err);
extern const char *const devicesHelp;

} // namespace tolmar::cli
