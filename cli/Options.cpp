#include "cli/Options.h"

#include "platform/NumberText.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>

namespace tolmar::cli {

// CLI11's application, which keeps what it did not take (unknown options,
// the arguments, the "--" that ended the options) with how it classed each.
class ParserApp final : public CLI::App {
public:
    explicit ParserApp(const std::string &name) : CLI::App("", name) {}
    const missing_t &leftOver() const { return missing_; }
};

namespace {
constexpr std::size_t helpWidth = 79;

// "--name" of "--name=value"; empty for anything else.
std::string joinedName(const std::string &arg)
{
    const auto equals = arg.find('=');
    return arg.rfind("--", 0) == 0 && equals != std::string::npos ? arg.substr(0, equals) : std::string();
}
} // namespace

OptionTable::OptionTable(std::string command, std::string unknown)
    : m_command(std::move(command)), m_unknown(std::move(unknown)), m_app(std::make_unique<ParserApp>(m_command))
{
    m_app->set_help_flag(); // "COMMAND --help" is an unknown option, as it always was
    m_app->allow_extras();  // the arguments and unknown options are told apart here
    // Options are "--name" everywhere: CLI11 built for Windows would also
    // take "/name" for one, and so a path such as /data/x.csv.
    m_app->allow_windows_style_options(false);
}

OptionTable::~OptionTable() = default;

const OptionTable::Entry *OptionTable::find(const std::string &name) const
{
    for (const Entry &entry : m_entries)
        if (!entry.arguments && entry.name == name)
            return &entry;
    return nullptr;
}

void OptionTable::given(const std::string &name)
{
    m_given.insert(name);
    const Entry *entry = find(name);
    if (entry && !entry->excludes.empty() && m_given.count(entry->excludes)) {
        const bool first = find(entry->excludes) < entry;
        throw UsageError{m_command + ": " + (first ? entry->excludes : name) + " and "
                         + (first ? name : entry->excludes) + " exclude each other"};
    }
}

void OptionTable::flag(const std::string &name, std::function<void()> onGiven)
{
    m_app->add_flag_callback(name, [this, name, onGiven = std::move(onGiven)] {
           onGiven();
           given(name);
       })->trigger_on_parse();
    m_entries.push_back({.name = name, .inMode = m_inMode});
}

void OptionTable::flagWithValue(const std::string &name, const std::string &valueName, std::function<void()> onGiven,
                                std::function<void(const std::string &)> take)
{
    flag(name, std::move(onGiven));
    m_entries.back().joinedValue = "[=" + valueName + "]";
    m_entries.back().takeJoined = std::move(take);
}

void OptionTable::value(ValueOption option)
{
    m_values.push_back(std::make_unique<ValueOption>(std::move(option)));
    const ValueOption *kept = m_values.back().get();
    m_app->add_option_function<std::string>(kept->name, [this, kept](const std::string &text) {
           if (kept->notEmpty && text.empty())
               throw UsageError{kept->missing.value_or(m_unknown + kept->name)};
           kept->take(text);
           given(kept->name);
       })
        ->type_name(kept->valueName)
        ->description(kept->help)
        ->allow_extra_args(false) // a value "[a,b]" stays one text
        ->trigger_on_parse();     // checked in the order given
    m_entries.push_back({.name = kept->name, .valueName = kept->valueName, .help = kept->help, .inMode = m_inMode,
                         .value = kept});
}

void OptionTable::arguments(std::string shown, Args &into)
{
    m_arguments = &into;
    m_entries.push_back({.name = std::move(shown), .arguments = true, .inMode = m_inMode});
}

void OptionTable::exclusive(const std::string &first, const std::string &second)
{
    for (Entry &entry : m_entries) {
        if (entry.name == first)
            entry.excludes = second;
        else if (entry.name == second)
            entry.excludes = first;
    }
}

void OptionTable::mode(const std::string &name, bool &modeGiven, std::string description, std::string needMessage)
{
    flag(name, [&modeGiven] { modeGiven = true; });
    m_mode = name;
    m_modeGiven = &modeGiven;
    m_modeDescription = std::move(description);
    m_needMessage = std::move(needMessage);
    m_inMode = true;
}

int OptionTable::parse(const Args &args, std::ostream &err)
{
    // CLI11 reads "--name=" as "--name" and takes the next argument for the
    // value, and gives a flag a value after "=": an empty value stays empty
    // here, and a flag with a value is no option of ours.
    Args given;
    bool ended = false;
    for (const std::string &arg : args) {
        const Entry *entry = ended ? nullptr : find(joinedName(arg));
        ended = ended || arg == "--";
        if (entry && entry->takeJoined && arg.size() > entry->name.size() + 1) {
            try {
                entry->takeJoined(arg.substr(entry->name.size() + 1));
            } catch (const UsageError &error) {
                return usageError(err, error.message);
            }
            given.push_back(entry->name);
            continue;
        }
        if (entry && !entry->value)
            return usageError(err, m_unknown + arg);
        if (entry && arg.size() == entry->name.size() + 1) {
            given.push_back(entry->name);
            given.emplace_back();
        } else {
            given.push_back(arg);
        }
    }

    try {
        std::vector<std::string> reversed(given.rbegin(), given.rend()); // CLI11 takes them last first
        m_app->parse(reversed);
    } catch (const UsageError &error) {
        return usageError(err, error.message);
    } catch (const CLI::ArgumentMismatch &error) {
        // An option that needs a value ended the command line.
        const Entry *entry = given.empty() ? nullptr : find(given.back());
        if (entry && entry->value)
            return usageError(err, entry->value->missing.value_or(m_unknown + entry->name));
        return usageError(err, m_command + ": " + error.what());
    } catch (const CLI::ParseError &error) {
        return usageError(err, m_command + ": " + error.what());
    }

    for (const auto &[kind, text] : m_app->leftOver()) {
        if (kind == CLI::detail::Classifier::POSITIONAL_MARK)
            continue;
        // No command has short options: "-in.txt" is a name, as it always
        // was; only "--..." is an option.
        const bool argument = kind == CLI::detail::Classifier::NONE || kind == CLI::detail::Classifier::SHORT;
        if (!argument || !m_arguments)
            return usageError(err, m_unknown + text);
        m_arguments->push_back(text);
    }
    if (m_modeGiven && !*m_modeGiven)
        for (const Entry &entry : m_entries)
            if (entry.inMode && m_given.count(entry.name))
                return usageError(err, m_needMessage);
    return 0;
}

std::string OptionTable::usage(bool modeForm) const
{
    // Read back from CLI11's options: what it parses is what --help shows.
    const auto shown = [this](const Entry &entry) {
        const CLI::Option *option = m_app->get_option(entry.name);
        const std::string valueName = option->get_type_name();
        return option->get_name() + entry.joinedValue
            + (valueName.empty() || entry.valueName.empty() ? "" : " " + valueName);
    };
    std::vector<std::string> items;
    for (const Entry &entry : m_entries) {
        if (entry.name == m_mode) {
            if (modeForm)
                items.push_back(entry.name);
            continue;
        }
        if (entry.inMode && !modeForm)
            continue;
        if (entry.arguments) {
            items.push_back(entry.name);
        } else if (!entry.excludes.empty()) {
            // The pair shows once, where its first option stands.
            if (find(entry.excludes) > &entry)
                items.push_back("[" + shown(entry) + " | " + shown(*find(entry.excludes)) + "]");
        } else {
            items.push_back("[" + shown(entry) + "]");
        }
    }

    std::string text;
    std::string line = "  " + m_command;
    const std::size_t indent = line.size() + 1;
    for (const std::string &item : items) {
        if (line.size() + 1 + item.size() > helpWidth) {
            text += line + "\n";
            line = std::string(indent - 1, ' ');
        }
        line += " " + item;
    }
    text += line + "\n";
    text += modeForm ? m_modeDescription : m_description;
    for (const Entry &entry : m_entries)
        if (!entry.help.empty() && entry.inMode == modeForm)
            text += "      " + shown(entry) + "  " + m_app->get_option(entry.name)->get_description() + "\n";
    return text;
}

std::string OptionTable::help() const
{
    return m_mode.empty() ? usage(false) : usage(false) + usage(true);
}

void addDecimalSeparator(OptionTable &table, std::optional<std::string> &separator, std::optional<std::string> missing,
                         std::string help)
{
    table.value({.name = "--decimal-separator",
                 .valueName = "C",
                 .take = [&separator](const std::string &text) { separator = text; },
                 .missing = std::move(missing),
                 .notEmpty = true,
                 .help = std::move(help)});
}

void addSimulateOption(OptionTable &table, bool &simulate, int &cables)
{
    const std::string command = table.command();
    table.flagWithValue(
        "--simulate", "N", [&simulate] { simulate = true; },
        [command, &cables](const std::string &text) {
            const auto n = parseInteger(text);
            if (!n || *n < 1 || *n > 16)
                throw UsageError{command + ": --simulate=N takes a number of cables from 1 to 16"};
            cables = static_cast<int>(*n);
        });
}

void addOutOption(OptionTable &table, std::optional<std::string> &outPath)
{
    table.value({.name = "--out",
                 .valueName = "TABLE",
                 .take = [&outPath](const std::string &text) { outPath = text; },
                 .missing = table.command() + ": --out takes a file name",
                 .notEmpty = true});
}

} // namespace tolmar::cli
