#include "platform/Architecture.h"

#include <windows.h>

namespace tolmar {

namespace {

// GetProcAddress hands out a generic function pointer; going through void*
// keeps -Wcast-function-type quiet about the cast to the real signature.
template <typename Function>
Function lookUp(HMODULE module, const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

} // namespace

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
    const auto isWow64 = lookUp<IsWow64ProcessFn>(kernel, "IsWow64Process");
    const auto nativeInfo = lookUp<GetNativeSystemInfoFn>(kernel, "GetNativeSystemInfo");
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
    return isX64FromWow64(wow64, native, sizeof(void *) == 8);
}

} // namespace tolmar
