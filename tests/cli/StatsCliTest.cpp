#include "cli/CliRun.h" // tests/cli

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolmar {
namespace {

using test::CliRun;
using test::goldenFile;
using test::runCli;
using test::ScratchDir;
using test::writeFile;

// A golden file and the JSON lines its statistics are, worked out from the
// records the README lists for it.
struct Golden {
    const char *file;
    std::string json;
};

class CliStatsGoldens : public ::testing::TestWithParam<Golden> {
protected:
    test::CLocaleScope m_locale;
};

TEST_P(CliStatsGoldens, PrintsOneJsonLinePerFunctionAndUnit)
{
    const CliRun r = runCli({"stats", goldenFile(GetParam().file)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, GetParam().json);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliStatsGoldens,
    ::testing::Values(
        Golden{"packet-empty.xml", ""},
        Golden{"text-empty.txt", ""},
        // One record: no spread, so no standard deviation and no capability.
        Golden{"packet-short-frame.xml",
               R"({"DC/AC": "DC", "Unit": " V", "Count": 1, "Overloads": 0, "Minimum": 0.66, "Maximum": 0.66, )"
               R"("Mean": 0.66, "StdDev": null, "First": "14:05:07.250", "Last": "14:05:07.250", "Pass": 1, )"
               R"("Fail": 0, "Yield": 100, "Cp": null, "Cpk": null})"
               "\n"},
        // The unit as the table keeps it: the LCD font's "*" for ohm.
        Golden{"packet-long-frame.xml",
               R"({"DC/AC": "OHM", "Unit": "K*", "Count": 1, "Overloads": 0, "Minimum": 1.234, "Maximum": 1.234, )"
               R"("Mean": 1.234, "StdDev": null, "First": "09:30:00.000", "Last": "09:30:00.000", "Pass": 0, )"
               R"("Fail": 1, "Yield": 0, "Cp": null, "Cpk": null})"
               "\n"},
        // Short lines: AC without a unit is a row of its own; two records
        // without function and unit, the last without a time.
        Golden{"text-import-line-ends.txt",
               R"({"DC/AC": "DC", "Unit": " V", "Count": 1, "Overloads": 0, "Minimum": 1, "Maximum": 1, )"
               R"("Mean": 1, "StdDev": null, "First": "10:00:00.000", "Last": "10:00:00.000", "Pass": 1, )"
               R"("Fail": 0, "Yield": 100, "Cp": null, "Cpk": null})"
               "\n"
               R"({"DC/AC": "AC", "Unit": null, "Count": 1, "Overloads": 0, "Minimum": null, "Maximum": null, )"
               R"("Mean": null, "StdDev": null, "First": "10:00:01.000", "Last": "10:00:01.000", "Pass": 0, )"
               R"("Fail": 0, "Yield": null, "Cp": null, "Cpk": null})"
               "\n"
               R"({"DC/AC": null, "Unit": null, "Count": 2, "Overloads": 0, "Minimum": null, "Maximum": null, )"
               R"("Mean": null, "StdDev": null, "First": "10:00:02.000", "Last": "10:00:02.000", "Pass": 0, )"
               R"("Fail": 0, "Yield": null, "Cp": null, "Cpk": null})"
               "\n"}),
    [](const auto &info) {
        std::string name = info.param.file;
        for (char &c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

class CliStats : public ::testing::Test {
protected:
    test::CLocaleScope m_locale;
    ScratchDir m_dir;
};

// DC V: 1, 3, 2 (mean 2, s 1), two passed, one failed; AC mV: an overload
// that failed. Against 0..4: Cp = 4 / 6, Cpk = min(4 - 2, 2 - 0) / 3.
const std::string recorded = "No\tTime\tFunc\tValue\tUnit\tJudge\r\n"
                             "1\t10:00:00\tDC\t1.000\tV\tpass\r\n"
                             "2\t10:00:01\tAC\t0.L\tmV\tFail\r\n"
                             "3\t10:00:02\tDC\t3.000\tV\tFail\r\n"
                             "4\t10:00:03\tDC\t2.000\tV\tpass\r\n";

TEST_F(CliStats, TextIsATableWithAHeader)
{
    const std::string file = m_dir / "recorded.txt";
    writeFile(file, recorded);
    const CliRun r = runCli({"stats", "--format", "text", "--high", "4", "--low=0", file});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Function  Unit  Count  Overloads  Minimum  Maximum  Mean  Std dev         First          Last  Pass  "
              "Fail  Yield %        Cp       Cpk\n"
              "DC        V         3          0        1        3     2        1  10:00:00.000  10:00:03.000     2  "
              "   1  66.6667  0.666667  0.666667\n"
              "AC        mV        1          1                                   10:00:01.000  10:00:01.000     0  "
              "   1        0\n");
}

TEST_F(CliStats, LimitsAndValuesWithTheGivenSeparator)
{
    const std::string file = m_dir / "comma.txt";
    writeFile(file, "No\tTime\tFunc\tValue\tUnit\tJudge\r\n"
                    "1\t10:00:00\tDC\t1,5\tV\tpass\r\n"
                    "2\t10:00:01\tDC\t2,5\tV\tpass\r\n");
    // s = sqrt(0.5); Cp = 2 / (6 s) = sqrt(2) / 3 = 0.47140452079103168.
    const CliRun r = runCli({"stats", "--decimal-separator", ",", "--high", "3", "--low", "1", file});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(R"("Minimum": 1.5, "Maximum": 2.5, "Mean": 2, "StdDev": 0.7071067811865476)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(R"("Cp": 0.471404520791031)"), std::string::npos) << r.out;
}

TEST_F(CliStats, UsageErrorsAndFilesThatDoNotLoad)
{
    const std::string good = goldenFile("packet-short-frame.xml");
    const struct {
        std::vector<std::string> args;
        int status;
        const char *message;
    } cases[] = {
        {{"stats"}, 2, "tolmar-cli: stats takes one FILE\n"},
        {{"stats", good, good}, 2, "tolmar-cli: stats takes one FILE\n"},
        {{"stats", "--format", "xml", good}, 2, "tolmar-cli: stats: --format takes json or text\n"},
        {{"stats", good, "--format"}, 2, "tolmar-cli: stats: --format takes json or text\n"},
        {{"stats", "--high", "4k", good}, 2, "tolmar-cli: stats: --high takes a number, not \"4k\"\n"},
        {{"stats", "--low=", good}, 2, "tolmar-cli: stats: --low takes a number\n"},
        {{"stats", "--every-frame", good}, 2, "tolmar-cli: stats: unknown option --every-frame\n"},
        {{"stats", m_dir / "missing.xml"}, 1, "tolmar-cli: stats: Failed to Load File! "},
        {{"stats", goldenFile("packet-short-frame.xml") + ".none"}, 1, "tolmar-cli: stats: Failed to Load File! "},
    };
    for (const auto &c : cases) {
        const CliRun r = runCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back();
        EXPECT_EQ(r.out, "") << c.args.back();
        EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
    }
    // A packet cut short is refused whole.
    const std::string cut = m_dir / "cut.xml";
    writeFile(cut, test::readFile(good).substr(0, 300));
    EXPECT_EQ(runCli({"stats", cut}).status, 1);
}

} // namespace
} // namespace tolmar
