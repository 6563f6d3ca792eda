#include "platform/Architecture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

namespace tolmar {

std::string architectureSuffix(const Architecture &architecture)
{
    return architecture.is64BitX86System() ? "(x64)" : "(x86)";
}

bool isX64MachineName(std::string_view machine)
{
    return machine == "x86_64" || machine == "amd64";
}

bool isX64FromWow64(std::optional<bool> isWow64Process, std::optional<int> nativeArchitecture)
{
    constexpr int processorArchitectureIa64 = 6;
    constexpr int processorArchitectureAmd64 = 9;
    if (!isWow64Process || !*isWow64Process || !nativeArchitecture)
        return false;
    return *nativeArchitecture == processorArchitectureAmd64 || *nativeArchitecture == processorArchitectureIa64;
}

#ifdef _WIN32
bool HostArchitecture::is64BitX86System() const
{
    // Looked up at run time: older Windows lacks both functions.
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel)
        kernel = LoadLibraryW(L"kernel32.dll");
    if (!kernel)
        return false;
    using IsWow64ProcessFn = BOOL(WINAPI *)(HANDLE, PBOOL);
    using GetNativeSystemInfoFn = void(WINAPI *)(LPSYSTEM_INFO);
    const auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(GetProcAddress(kernel, "IsWow64Process"));
    const auto nativeInfo = reinterpret_cast<GetNativeSystemInfoFn>(GetProcAddress(kernel, "GetNativeSystemInfo"));
    std::optional<bool> wow64;
    BOOL result = FALSE;
    if (isWow64 && isWow64(GetCurrentProcess(), &result))
        wow64 = result != FALSE;
    std::optional<int> native;
    if (nativeInfo) {
        SYSTEM_INFO info{};
        nativeInfo(&info);
        native = info.wProcessorArchitecture;
    }
    return isX64FromWow64(wow64, native);
}
#else
bool HostArchitecture::is64BitX86System() const
{
    utsname name{};
    if (uname(&name) != 0)
        return false;
    return isX64MachineName(name.machine);
}
#endif

} // namespace tolmar
