#include "platform/Architecture.h"

#include <sys/utsname.h>

namespace tolmar {

bool HostArchitecture::is64BitX86System() const
{
    utsname name{};
    if (uname(&name) != 0)
        return false;
    return isX64MachineName(name.machine);
}

} // namespace tolmar
