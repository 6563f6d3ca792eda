#include "platform/Architecture.h"

#include <gtest/gtest.h>

namespace tolmar {
namespace {

TEST(Architecture, LinuxMachineNames)
{
    EXPECT_TRUE(isX64MachineName("x86_64"));
    EXPECT_TRUE(isX64MachineName("amd64"));
    for (const char *other : {"i686", "i386", "aarch64", "armv7l", "riscv64", ""})
        EXPECT_FALSE(isX64MachineName(other)) << other;
}

TEST(Architecture, WindowsWow64Rule)
{
    // A 32-bit process under WOW64 on x64 (9) or Itanium (6) is on 64-bit Windows.
    EXPECT_TRUE(isX64FromWow64(true, 9));
    EXPECT_TRUE(isX64FromWow64(true, 6));
    EXPECT_FALSE(isX64FromWow64(true, 0));   // x86
    EXPECT_FALSE(isX64FromWow64(true, 12));  // ARM64
    EXPECT_FALSE(isX64FromWow64(false, 9));  // not under WOW64
    EXPECT_FALSE(isX64FromWow64(std::nullopt, 9)); // IsWow64Process missing or failed
    EXPECT_FALSE(isX64FromWow64(true, std::nullopt)); // GetNativeSystemInfo missing
    // A 64-bit process is never under WOW64, but on x64 it is on 64-bit Windows.
    EXPECT_TRUE(isX64FromWow64(false, 9, true));
    EXPECT_FALSE(isX64FromWow64(false, 12, true)); // x64 emulated on ARM64 Windows
}

TEST(Architecture, Suffix)
{
    EXPECT_EQ(architectureSuffix(FixedArchitecture(true)), "(x64)");
    EXPECT_EQ(architectureSuffix(FixedArchitecture(false)), "(x86)");
#if defined(__x86_64__) && defined(__linux__)
    EXPECT_EQ(architectureSuffix(HostArchitecture()), "(x64)");
#endif
}

} // namespace
} // namespace tolmar
