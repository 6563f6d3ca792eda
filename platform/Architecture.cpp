#include "platform/Architecture.h"


namespace tolmar {

std::string architectureSuffix(const Architecture &architecture)
{
    return architecture.is64BitX86System() ? "(x64)" : "(x86)";
}

bool isX64MachineName(std::string_view machine)
{
    return machine == "x86_64" || machine == "amd64";
}

bool isX64FromWow64(std::optional<bool> isWow64Process, std::optional<int> nativeArchitecture,
                    bool process64Bit)
{
    constexpr int processorArchitectureIa64 = 6;
    constexpr int processorArchitectureAmd64 = 9;
    // A 64-bit process is no WOW64 guest, yet it runs on a 64-bit system
    // all the same: IsWow64Process's "no" would call x64 Windows "(x86)".
    if (process64Bit && isWow64Process)
        isWow64Process = true;
    if (!isWow64Process || !*isWow64Process || !nativeArchitecture)
        return false;
    return *nativeArchitecture == processorArchitectureAmd64 || *nativeArchitecture == processorArchitectureIa64;
}

} // namespace tolmar
