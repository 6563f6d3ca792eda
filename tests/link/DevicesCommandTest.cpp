// tolmar-cli devices: what a user runs when the cable is not found.
#include "cli/CliRun.h" // tests/cli

#include <gtest/gtest.h>

#include <sstream>

namespace tolmar {
namespace {

using test::CliRun;

CliRun run(std::vector<std::string> args)
{
    return test::runCli(args);
}

TEST(CliDevices, ListsTheSimulatedCable)
{
    const CliRun r = run({"devices", "--simulate"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0: sim://usb-to-serial\n"
                     "   VID:PID   1A86:E008\n"
                     "   product   \"USB to Serial\"\n"
                     "   serial    \"\"\n"
                     "   reports   input 9, output 9, feature 6 bytes\n"
                     "   access    read and write\n"
                     "   port      sim-1\n"
                     "   in use    no\n"
                     "\n"
                     "The meter's cable is entry 0.\n");
    EXPECT_EQ(r.err, "");
}

TEST(CliDevices, RunsOnThisMachineWhateverIsPluggedIn)
{
    const CliRun r = run({"devices"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // Either the list or the word that there is none, then the verdict on the cable.
    EXPECT_TRUE(r.out.rfind("No HID interfaces found.\n", 0) == 0 || r.out.rfind("0: ", 0) == 0) << r.out;
    EXPECT_NE(r.out.find("\n\n"), std::string::npos);
}

} // namespace
} // namespace tolmar
