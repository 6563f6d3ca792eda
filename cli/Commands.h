#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// The commands of tolmar-cli. Each lives in its own file and has one entry in
// the table of Cli.cpp.
namespace tolmar {
class Locale;
class ReadingTable;
} // namespace tolmar

namespace tolmar::cli {

using Args = std::vector<std::string>;

struct Command {
    const char *name;
    std::string (*help)(); // synopsis and description, indented as --help prints it
    int (*run)(const Args &args, std::ostream &out, std::ostream &err);
};

// Prints "tolmar-cli: message" and the hint to --help; returns 2.
int usageError(std::ostream &err, const std::string &message);

int decodeCommand(const Args &args, std::ostream &out, std::ostream &err);
std::string decodeHelp();
int replayCommand(const Args &args, std::ostream &out, std::ostream &err);
std::string replayHelp();
int monitorCommand(const Args &args, std::ostream &out, std::ostream &err);
std::string monitorHelp();
int recordCommand(const Args &args, std::ostream &out, std::ostream &err);
std::string recordHelp();
int convertCommand(const Args &args, std::ostream &out, std::ostream &err);
std::string convertHelp();
int statsCommand(const Args &args, std::ostream &out, std::ostream &err);
std::string statsHelp();
// Loads a table file as "Open old data files" does (a packet for ".xml",
// else text) into an empty table; a refusal is told on `err` after
// `prefix` with "Failed to Load File!", the name and where it failed.
bool loadTableFile(const std::string &name, const Locale &locale, ReadingTable &table, std::ostream &err,
                   const std::string &prefix);

// The two names IN and OUT of convert and report ("--" ends the options):
// 0, or the usage error's status; and the help of such a command.
int inAndOut(const Args &args, const std::string &command, std::string &in, std::string &out, std::ostream &err);
std::string inAndOutHelp(const std::string &command, const char *description);

int devicesCommand(const Args &args, std::ostream &out, std::ostream &err);
std::string devicesHelp();
// Built with the Qt program: the report as a PDF.
int reportCommand(const Args &args, std::ostream &out, std::ostream &err);
std::string reportHelp();

} // namespace tolmar::cli
