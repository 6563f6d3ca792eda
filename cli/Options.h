#pragma once

#include "cli/Commands.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tolmar::cli {

// Thrown by an option's check: the usage error's message, as it follows
// "tolmar-cli: ".
struct UsageError {
    std::string message;
};

// An option that takes a value: "--count N", given as "--count 5" or
// "--count=5".
struct ValueOption {
    std::string name;      // "--count"
    std::string valueName; // "N", as the synopsis shows it
    // Checks and keeps the value; throws UsageError for a bad one.
    std::function<void(const std::string &)> take;
    // The message when the value is missing (the option ends the command
    // line); none: the table's message for an unknown option.
    std::optional<std::string> missing = {};
    // An empty value is refused with the `missing` message.
    bool notEmpty = false;
    // A line of its own under the command's description, when not empty.
    std::string help = {};
};

class ParserApp;

// The options and arguments of one command in one table: CLI11 parses the
// command line from it and the command's part of --help is built from it.
// Options come in the order the synopsis shows them; "--" ends them. A usage
// error is told as "tolmar-cli: message" and the hint to --help, status 2.
class OptionTable {
public:
    // `unknown` precedes an unknown option in its message
    // ("decode: unknown option ").
    OptionTable(std::string command, std::string unknown);
    ~OptionTable();
    OptionTable(const OptionTable &) = delete;
    OptionTable &operator=(const OptionTable &) = delete;

    const std::string &command() const { return m_command; }

    // The description under the synopsis, indented as --help prints it.
    void describe(std::string text) { m_description = std::move(text); }
    void flag(const std::string &name, std::function<void()> given);
    // A flag that may carry a value after "=" ("--simulate" or
    // "--simulate=2"), shown as "--simulate[=N]". `take` checks and keeps the
    // value (throws UsageError for a bad one); `given` runs either way.
    void flagWithValue(const std::string &name, const std::string &valueName, std::function<void()> given,
                       std::function<void(const std::string &)> take);
    void value(ValueOption option);
    // The command's arguments (all that is not an option), shown as `shown`
    // in the synopsis ("FRAME...", "[FILE|-]").
    void arguments(std::string shown, Args &into);
    // The two options (declared before) exclude each other; the synopsis
    // shows them as "[--every-frame | --interval N]".
    void exclusive(const std::string &first, const std::string &second);
    // A flag that opens a second form of the command: the options declared
    // from here to endMode() need it (`needMessage` otherwise), and the help
    // shows that form in a synopsis of its own, with `description` under it.
    void mode(const std::string &name, bool &given, std::string description, std::string needMessage);
    void endMode() { m_inMode = false; }

    // Parses `args`: 0, or 2 after telling the usage error on `err`.
    int parse(const Args &args, std::ostream &err);
    // The command's entry in --help: each synopsis, wrapped at 79 columns,
    // with its description and the option lines under it.
    std::string help() const;

private:
    struct Entry {
        std::string name;
        std::string valueName = {}; // empty: a flag (or the arguments)
        std::string help = {};
        bool arguments = false;
        bool inMode = false;
        std::string excludes = {}; // the other option of an exclusive pair
        const ValueOption *value = nullptr;
        std::string joinedValue = {}; // "[=N]" of a flag that may carry a value
        std::function<void(const std::string &)> takeJoined = {};
    };
    const Entry *find(const std::string &name) const;
    void given(const std::string &name);
    std::string usage(bool modeForm) const;

    std::string m_command;
    std::string m_unknown;
    std::string m_description;
    std::unique_ptr<ParserApp> m_app;
    std::vector<Entry> m_entries;
    std::vector<std::unique_ptr<ValueOption>> m_values;
    Args *m_arguments = nullptr;
    std::set<std::string> m_given;
    bool m_inMode = false;
    std::string m_mode;
    bool *m_modeGiven = nullptr;
    std::string m_modeDescription;
    std::string m_needMessage;
};

// --decimal-separator C: the text written for the decimal point instead of
// the locale's; never empty (`missing` then).
void addDecimalSeparator(OptionTable &table, std::optional<std::string> &separator,
                         std::optional<std::string> missing = {}, std::string help = {});

// --simulate[=N]: the simulated cables instead of the system's HID devices,
// N of them (1 to 16, 1 without a value).
void addSimulateOption(OptionTable &table, bool &simulate, int &cables);

// --out TABLE: the file the records are written to as well; never empty.
void addOutOption(OptionTable &table, std::optional<std::string> &outPath);

} // namespace tolmar::cli
