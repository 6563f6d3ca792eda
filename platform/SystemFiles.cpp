#include "platform/SystemFiles.h"

// What a file handle is on every system; the system calls are in
// platform/posix/PosixFiles.cpp and platform/windows/WindowsFiles.cpp.
namespace tolmar {

SystemFile::SystemFile(std::intptr_t handle, std::string path, bool owned)
    : m_handle(handle), m_owned(owned), m_path(std::move(path))
{
}

SystemFile::~SystemFile()
{
    close();
}

SystemFile::SystemFile(SystemFile &&other) noexcept
    : m_handle(other.m_handle), m_owned(other.m_owned), m_append(other.m_append), m_path(std::move(other.m_path)),
      m_error(other.m_error)
{
    other.m_handle = -1;
}

SystemFile &SystemFile::operator=(SystemFile &&other) noexcept
{
    if (this != &other) {
        close();
        m_handle = other.m_handle;
        m_owned = other.m_owned;
        m_append = other.m_append;
        m_path = std::move(other.m_path);
        m_error = other.m_error;
        other.m_handle = -1;
    }
    return *this;
}

} // namespace tolmar
