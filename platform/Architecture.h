#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolmar {

// What the caption's platform suffix needs to know about the machine.
class Architecture {
public:
    virtual ~Architecture() = default;
    // True when the operating system runs on 64-bit x86 (x64 or, on Windows,
    // Itanium), whatever the program itself was built for.
    virtual bool is64BitX86System() const = 0;
};

// The machine this process runs on.
class HostArchitecture final : public Architecture {
public:
    bool is64BitX86System() const override;
};

class FixedArchitecture final : public Architecture {
public:
    explicit FixedArchitecture(bool x64) : m_x64(x64) {}
    bool is64BitX86System() const override { return m_x64; }

private:
    bool m_x64;
};

// "(x64)" or "(x86)", appended to the window caption without a space.
std::string architectureSuffix(const Architecture &architecture);

// The decisions behind HostArchitecture, kept apart so they can be tested.
// Linux: the kernel's machine name (uname -m).
bool isX64MachineName(std::string_view machine);
// Windows: the answer of IsWow64Process for this process (nullopt when the
// function is missing or fails) and GetNativeSystemInfo's processor
// architecture code (nullopt when the function is missing). A 32-bit process
// under WOW64 on an x64 (9) or Itanium (6) processor is on a 64-bit system,
// and so is a 64-bit process (process64Bit) on one.
bool isX64FromWow64(std::optional<bool> isWow64Process, std::optional<int> nativeArchitecture,
                    bool process64Bit = false);

} // namespace tolmar
