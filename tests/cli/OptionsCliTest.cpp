// Every command's options through the one option table: a value after the
// option or joined to it with "=", the usage errors' first lines, and the
// synopses --help builds from the table.
#include "cli/CliRun.h"         // tests/cli
#include "meter/FrameBuilder.h" // tests/meter

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace tolmar {
namespace {

using test::CliRun;
using test::runCli;

const std::string capturePath = TOLMAR_TEST_DATA "/sample-capture.txt";

std::string firstLine(const std::string &text)
{
    return text.substr(0, text.find('\n'));
}

// "--name value" and "--name=value" after the same arguments.
struct Given {
    std::vector<std::string> before;
    std::string option;
    std::string value;
    std::vector<std::string> after = {};

    std::vector<std::string> apart() const
    {
        std::vector<std::string> args = before;
        args.insert(args.end(), {option, value});
        args.insert(args.end(), after.begin(), after.end());
        return args;
    }
    std::vector<std::string> joined() const
    {
        std::vector<std::string> args = before;
        args.push_back(option + "=" + value);
        args.insert(args.end(), after.begin(), after.end());
        return args;
    }
};

// A bad value reaches the option's own check either way.
TEST(CliOptions, EveryValueOptionTakesItsValueApartOrJoined)
{
    struct Case {
        Given given;
        std::string error;
    };
    const std::string limits = "--limit takes 1000, 5000, 10000, 50000, 100000 or limitless";
    const Case cases[] = {
        {{{"decode"}, "--decimal-separator", "", {test::sampleFrame}}, "--decimal-separator needs a character"},
        {{{"replay"}, "--decimal-separator", ""}, "replay: unknown or incomplete option --decimal-separator"},
        {{{"replay", "--record"}, "--interval", "1.5"}, "replay: --interval takes whole seconds (digits only)"},
        {{{"replay", "--record"}, "--limit", "2000"}, "replay: " + limits},
        {{{"replay", "--record"}, "--start", "25:00:00.000"}, "replay: --start takes a time of day HH:MM:SS.mmm"},
        {{{"replay", "--record"}, "--out", ""}, "replay: --out takes a file name"},
        {{{"monitor"}, "--count", "0"}, "monitor: --count takes a whole number above 0"},
        {{{"monitor"}, "--seconds", "0"}, "monitor: --seconds takes a number above 0"},
        {{{"monitor"}, "--decimal-separator", ""}, "monitor: unknown or incomplete option --decimal-separator"},
        {{{"record"}, "--interval", "x"}, "record: --interval takes whole seconds (digits only)"},
        {{{"record"}, "--limit", "7"}, "record: " + limits},
        {{{"record"}, "--count", "-3"}, "record: --count takes a whole number above 0"},
        {{{"record"}, "--seconds", "x"}, "record: --seconds takes a number above 0"},
        {{{"record"}, "--out", ""}, "record: --out takes a file name"},
        {{{"record"}, "--decimal-separator", ""}, "record: unknown or incomplete option --decimal-separator"},
    };
    for (const Case &c : cases) {
        for (const auto &args : {c.given.apart(), c.given.joined()}) {
            const CliRun r = runCli(args);
            EXPECT_EQ(r.status, 2) << args[0] << " " << args[args.size() - 1];
            EXPECT_EQ(firstLine(r.err), "tolmar-cli: " + c.error) << args[0] << " " << c.given.option;
            EXPECT_EQ(r.out, "");
        }
    }
}

TEST(CliOptions, GoodValuesApartOrJoinedGiveTheSameOutput)
{
    test::ScratchDir dir;
    const Given cases[] = {
        {{"decode"}, "--decimal-separator", ",", {test::sampleFrame}},
        {{"replay"}, "--decimal-separator", ",", {capturePath}},
        {{"replay", "--record", "--every-frame"}, "--start", "09:30:00.250", {capturePath}},
        {{"replay", "--record", "--every-frame"}, "--limit", "1000", {capturePath}},
        // A name with brackets and a comma is one name.
        {{"replay", "--record", "--every-frame"}, "--out", dir / "[t],1.txt", {capturePath}},
    };
    for (const Given &given : cases) {
        const CliRun apart = runCli(given.apart());
        const CliRun joined = runCli(given.joined());
        EXPECT_EQ(apart.status, 0) << given.option << ": " << apart.err;
        EXPECT_NE(apart.out, "") << given.option;
        EXPECT_EQ(joined.status, apart.status) << given.option;
        EXPECT_EQ(joined.out, apart.out) << given.option;
        EXPECT_EQ(joined.err, apart.err) << given.option;
    }
    EXPECT_NE(runCli(cases[0].joined()).out.find(R"("ValueText": "00,66")"), std::string::npos);
    EXPECT_NE(runCli(cases[2].joined()).out.find(R"("Time": "09:30:00.)"), std::string::npos);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"[t],1.txt"});
}

TEST(CliOptions, MonitorTakesTheSeparatorJoined)
{
    const CliRun r = runCli({"monitor", "--simulate", "--count=2", "--seconds=20", "--decimal-separator=,"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::regex valueText(R"re("ValueText": "([^"]*)")re");
    int lines = 0;
    for (auto line = std::sregex_iterator(r.out.begin(), r.out.end(), valueText); line != std::sregex_iterator();
         ++line, ++lines)
        EXPECT_EQ((*line)[1].str().find('.'), std::string::npos) << (*line)[1];
    EXPECT_EQ(lines, 2) << r.out;
    EXPECT_NE(r.out.find(R"(Text": ",")"), std::string::npos) << r.out;
}

TEST(CliOptions, RecordTakesItsValuesJoined)
{
    test::ScratchDir dir;
    const CliRun r = runCli({"record", "--simulate", "--every-frame", "--count=2", "--seconds=20",
                             "--out=" + (dir / "t.txt"), "--limit=limitless", "--decimal-separator=,"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
    const std::string table = test::readFile(dir / "t.txt");
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 3) << "the header and two records: " << table;
}

// The first line of each kind of usage error, as the commands have always
// told them (all exit with 2).
TEST(CliOptions, UsageErrorsKeepTheirFirstLine)
{
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"decode", "--decimal-separator"}, "--decimal-separator needs a character"},
        {{"decode", "--decimal-separator="}, "--decimal-separator needs a character"},
        {{"decode", "--bogus=1", "5A"}, "decode: unknown option --bogus=1"},
        {{"decode", "--help"}, "decode: unknown option --help"},
        {{"decode", "--", "--bogus"}, ""}, // a frame that does not decode: status 1
        {{"decode", "-5A"}, ""},             // one dash: a frame, not an option
        {{"convert", "-missing.txt", "-out.xml"}, ""}, // one dash: names, the first not there
        {{"replay", "--decimal-separator"}, "replay: unknown or incomplete option --decimal-separator"},
        {{"replay", "--", "a", "b"}, "replay takes one FILE"},
        {{"replay", "--out", "t.txt"}, "replay: the recording options need --record"},
        {{"replay", "--record", "--interval"}, "replay: --interval takes whole seconds (digits only)"},
        {{"replay", "--record", "--start"}, "replay: --start takes a time of day HH:MM:SS.mmm"},
        {{"replay", "--record", "--interval=2", "--every-frame"},
         "replay: --every-frame and --interval exclude each other"},
        {{"replay", "--record", "--repeat=1"}, "replay: unknown or incomplete option --repeat=1"},
        {{"replay", "--record=yes"}, "replay: unknown or incomplete option --record=yes"},
        {{"monitor", "--count"}, "monitor: unknown or incomplete option --count"},
        {{"monitor", "foo"}, "monitor: unknown or incomplete option foo"},
        {{"monitor", "--simulate="}, "monitor: unknown or incomplete option --simulate="},
        {{"record", "--out"}, "record: --out takes a file name"},
        {{"record", "--every-frame", "--interval", "3"}, "record: --every-frame and --interval exclude each other"},
        {{"convert", "--bogus", "a", "b"}, "convert: unknown option --bogus"},
        {{"convert", "--", "a"}, "convert takes IN and OUT"},
        {{"devices", "--simulate=17"}, "devices: --simulate=N takes a number of cables from 1 to 16"},
        {{"monitor", "--simulate=two"}, "monitor: --simulate=N takes a number of cables from 1 to 16"},
        {{"record", "--device"}, "record: --device takes a cable's port or index (tolmar-cli devices)"},
        {{"devices", "foo"}, "devices: unknown argument foo"},
    };
    for (const Case &c : cases) {
        const CliRun r = runCli(c.args);
        if (c.error.empty()) {
            EXPECT_EQ(r.status, 1) << c.args.back();
            continue;
        }
        EXPECT_EQ(r.status, 2) << c.args.back();
        EXPECT_EQ(r.err, "tolmar-cli: " + c.error + "\nTry 'tolmar-cli --help'.\n");
    }
}

TEST(CliOptions, HelpShowsEachCommandsSynopsisFromItsTable)
{
    const std::string help = runCli({"--help"}).out;
    for (const std::string synopsis : {
             "\n  decode [--decimal-separator C] FRAME...\n      Decode meter frames",
             "\n      --decimal-separator C  use C instead of the locale's decimal separator\n\n",
             "\n  replay [--decimal-separator C] [FILE|-]\n      Replay a capture",
             "\n  replay --record [--every-frame | --interval N] [--repeat] [--limit L]\n"
             "         [--start HH:MM:SS.mmm] [--out TABLE] [--decimal-separator C] [FILE|-]\n      Records",
             "\n  monitor [--simulate[=N]] [--device ID] [--count N] [--seconds S]\n"
             "          [--decimal-separator C]\n      The live",
             "\n  record [--simulate[=N]] [--device ID] [--every-frame | --interval N]\n"
             "         [--repeat] [--limit L] [--count N] [--seconds S] [--out TABLE]\n"
             "         [--decimal-separator C]\n      Records live",
             "\n  convert IN OUT\n      Loads",
             "\n  devices [--simulate[=N]]\n      List",
         })
        EXPECT_NE(help.find(synopsis), std::string::npos) << synopsis;
}

} // namespace
} // namespace tolmar
