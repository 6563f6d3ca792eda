#include "platform/windows/WindowsHidPlatform.h"

#include "platform/TextEncoding.h"
#include "platform/windows/HidRules.h"

// clang-format off: windows.h first, the others need its types.
#include <windows.h>
#include <cfgmgr32.h>
#include <devpropdef.h>
#include <setupapi.h>
// mingw's hid headers declare the functions without C linkage.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
// clang-format on

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cwchar>
#include <thread>

namespace tolmar {

// ERROR_NO_SUCH_DEVICE (433) is missing from mingw's winerror.h.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 units");
static_assert(winhid::code::fileNotFound == ERROR_FILE_NOT_FOUND && winhid::code::pathNotFound == ERROR_PATH_NOT_FOUND
              && winhid::code::invalidHandle == ERROR_INVALID_HANDLE && winhid::code::badCommand == ERROR_BAD_COMMAND
              && winhid::code::genFailure == ERROR_GEN_FAILURE && winhid::code::devNotExist == ERROR_DEV_NOT_EXIST
              && winhid::code::operationAborted == ERROR_OPERATION_ABORTED
              && winhid::code::deviceNotConnected == ERROR_DEVICE_NOT_CONNECTED
              && winhid::code::deviceRemoved == ERROR_DEVICE_REMOVED);

namespace {

std::wstring wide(std::string_view utf8)
{
    const std::u16string units = utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string narrow(const wchar_t *text, std::size_t units)
{
    return utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t *>(text), units));
}

std::string narrow(const wchar_t *text)
{
    return narrow(text, std::wcslen(text));
}

std::uint32_t lastError()
{
    const DWORD error = ::GetLastError();
    // A failure that names no reason still has to read as one.
    return error ? static_cast<std::uint32_t>(error) : static_cast<std::uint32_t>(ERROR_GEN_FAILURE);
}

// ------------------------------------------------------------------ devnodes

// DEVPKEY_Device_LastArrivalDate (devpkey.h), written out so that no
// translation unit has to define the GUIDs of the whole header.
const DEVPROPKEY lastArrivalDateKey{{0x83da6326, 0x97a6, 0x4088, {0x94, 0x53, 0xa1, 0x92, 0x3f, 0x57, 0x3b, 0x29}},
                                    102};

// CM_Get_DevNode_PropertyW came with Vista's unified property model and is
// missing from some cfgmgr32 implementations (older Wine): looked up at run
// time, so the program starts without it and goes without arrival times.
using GetDevNodeProperty = CONFIGRET(WINAPI *)(DEVINST, const DEVPROPKEY *, DEVPROPTYPE *, PBYTE, PULONG, ULONG);
GetDevNodeProperty devNodePropertyFunction()
{
    static const GetDevNodeProperty function = [] {
        const HMODULE module = ::GetModuleHandleW(L"cfgmgr32.dll");
        return module ? reinterpret_cast<GetDevNodeProperty>(
                   reinterpret_cast<void (*)()>(::GetProcAddress(module, "CM_Get_DevNode_PropertyW")))
                      : nullptr;
    }();
    return function;
}

std::string deviceId(DEVINST node)
{
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (::CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN + 1, 0) != CR_SUCCESS)
        return {};
    return narrow(id);
}

// The device instance ID plus the last arrival time: the ID alone stays the
// same for a device without a serial number in the same socket, so only the
// arrival time tells one attach from the next.
std::string instanceOf(DEVINST node)
{
    const std::string id = deviceId(node);
    if (id.empty())
        return {};
    std::optional<std::uint64_t> arrival;
    if (const GetDevNodeProperty getProperty = devNodePropertyFunction()) {
        DEVPROPTYPE type = 0;
        FILETIME when{};
        ULONG size = sizeof when;
        if (getProperty(node, &lastArrivalDateKey, &type, reinterpret_cast<PBYTE>(&when), &size, 0) == CR_SUCCESS
            && type == DEVPROP_TYPE_FILETIME && size == sizeof when)
            arrival = (static_cast<std::uint64_t>(when.dwHighDateTime) << 32) | when.dwLowDateTime;
    }
    return winhid::composeInstance(id, arrival);
}

// The interface's path and the devnode of its device.
bool interfaceDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA &interfaceData, std::wstring &path, DEVINST &node)
{
    DWORD needed = 0;
    ::SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        return false;
    // DWORD storage: the record starts with a DWORD and must be aligned so.
    std::vector<DWORD> storage((needed + sizeof(DWORD) - 1) / sizeof(DWORD) + 1);
    auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    if (!::SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, static_cast<DWORD>(storage.size() * sizeof(DWORD)),
                                            nullptr, &info))
        return false;
    path = detail->DevicePath;
    node = info.DevInst;
    return true;
}

// The devnode behind an interface path; nullopt when Windows does not know it.
std::optional<DEVINST> devnodeOf(const std::string &path)
{
    const HDEVINFO set = ::SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::optional<DEVINST> node;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    std::wstring found;
    DEVINST devinst = 0;
    if (::SetupDiOpenDeviceInterfaceW(set, wide(path).c_str(), 0, &interfaceData)
        && interfaceDetail(set, interfaceData, found, devinst))
        node = devinst;
    ::SetupDiDestroyDeviceInfoList(set);
    return node;
}

std::optional<std::string> registryText(DEVINST node, ULONG property)
{
    wchar_t text[512] = {};
    ULONG size = sizeof text - 2 * sizeof(wchar_t); // two zeros stay: a multi-string ends so
    ULONG type = 0;
    if (::CM_Get_DevNode_Registry_PropertyW(node, property, &type, text, &size, 0) != CR_SUCCESS)
        return std::nullopt;
    // The first string of a multi-string (the location paths) is the one a
    // USB device has.
    std::string value = narrow(text);
    if (value.empty())
        return std::nullopt;
    return value;
}

// --------------------------------------------------------------- the handle

class WindowsHidHandle final : public HidHandle {
public:
    WindowsHidHandle(HANDLE file, bool overlapped, HANDLE readEvent, HANDLE wakeEvent)
        : m_file(file)
        , m_overlapped(overlapped)
        , m_readEvent(readEvent)
        , m_wakeEvent(wakeEvent)
    {
    }

    ~WindowsHidHandle() override
    {
        // The read must be over before the file and its buffer go.
        cancelRead();
        ::CloseHandle(m_file);
        if (m_readEvent)
            ::CloseHandle(m_readEvent);
        if (m_wakeEvent)
            ::CloseHandle(m_wakeEvent);
    }

    bool attributes(HidAttributes &attributes) override
    {
        if (m_shutdown)
            return false;
        HIDD_ATTRIBUTES found{};
        found.Size = sizeof found;
        if (!::HidD_GetAttributes(m_file, &found))
            return false;
        attributes.VendorID = found.VendorID;
        attributes.ProductID = found.ProductID;
        attributes.VersionNumber = found.VersionNumber;
        return true;
    }

    bool productString(char16_t *buffer, std::size_t units) override
    {
        return queryString(buffer, units, [this](wchar_t *text, ULONG bytes) {
            return ::HidD_GetProductString(m_file, text, bytes) != FALSE;
        });
    }

    bool serialNumberString(char16_t *buffer, std::size_t units) override
    {
        return queryString(buffer, units, [this](wchar_t *text, ULONG bytes) {
            return ::HidD_GetSerialNumberString(m_file, text, bytes) != FALSE;
        });
    }

    bool indexedString(unsigned index, char16_t *buffer, std::size_t units) override
    {
        return queryString(buffer, units, [this, index](wchar_t *text, ULONG bytes) {
            return ::HidD_GetIndexedString(m_file, index, text, bytes) != FALSE;
        });
    }

    std::optional<HidReportLengths> reportLengths() override
    {
        if (m_shutdown)
            return std::nullopt;
        // An open interface's reports do not change: asked once.
        std::lock_guard lock(m_lengthsMutex);
        if (m_lengths)
            return m_lengths;
        PHIDP_PREPARSED_DATA preparsed = nullptr;
        if (!::HidD_GetPreparsedData(m_file, &preparsed))
            return std::nullopt;
        HIDP_CAPS caps{};
        const NTSTATUS status = ::HidP_GetCaps(preparsed, &caps);
        ::HidD_FreePreparsedData(preparsed);
        if (status != HIDP_STATUS_SUCCESS)
            return std::nullopt;
        m_lengths = winhid::reportLengthsFromCaps(caps.InputReportByteLength, caps.OutputReportByteLength,
                                                  caps.FeatureReportByteLength);
        return m_lengths;
    }

    bool setFeature(const std::uint8_t *report, std::size_t length) override
    {
        if (m_shutdown || length == 0)
            return false;
        const auto lengths = reportLengths();
        std::vector<std::uint8_t> data(report, report + length);
        data.resize(winhid::transferLength(length, lengths ? lengths->FeatureReportByteLength : 0));
        return ::HidD_SetFeature(m_file, data.data(), static_cast<ULONG>(data.size())) != FALSE;
    }

    bool write(const std::uint8_t *report, std::size_t length, std::size_t &written) override
    {
        written = 0;
        if (m_shutdown || length == 0)
            return false;
        const auto lengths = reportLengths();
        std::vector<std::uint8_t> data(report, report + length);
        data.resize(winhid::transferLength(length, lengths ? lengths->OutputReportByteLength : 0));
        DWORD done = 0;
        if (!m_overlapped) {
            if (!::WriteFile(m_file, data.data(), static_cast<DWORD>(data.size()), &done, nullptr))
                return false;
        } else {
            // An overlapped handle needs an OVERLAPPED of its own for the
            // write; a device that never takes the report is given up on.
            OVERLAPPED operation{};
            operation.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
            if (!operation.hEvent)
                return false;
            bool ok = ::WriteFile(m_file, data.data(), static_cast<DWORD>(data.size()), nullptr, &operation)
                || ::GetLastError() == ERROR_IO_PENDING;
            if (ok && ::WaitForSingleObject(operation.hEvent, writeTimeoutMs) != WAIT_OBJECT_0)
                ::CancelIoEx(m_file, &operation);
            ok = ok && ::GetOverlappedResult(m_file, &operation, &done, TRUE);
            ::CloseHandle(operation.hEvent);
            if (!ok)
                return false;
        }
        // The padding is ours, not the caller's.
        written = std::min<std::size_t>(done, length);
        return written == length;
    }

    std::uint32_t startRead(std::uint8_t *buffer, std::size_t length) override
    {
        if (m_shutdown || !m_readEvent)
            return winhid::code::invalidHandle;
        if (length < 2)
            return ERROR_INVALID_PARAMETER;
        if (m_outstanding)
            return ERROR_BUSY;
        // The device has gone: its handle can only fail from now on.
        if (m_gone)
            return m_gone;
        const auto lengths = reportLengths();
        // Read into a buffer of the device's report length (Windows refuses
        // a shorter one) and hand over what fits.
        m_readBuffer.assign(winhid::transferLength(length, lengths ? lengths->InputReportByteLength : 0), 0);
        m_callerBuffer = buffer;
        m_callerLength = length;
        m_result = 0;
        m_read = OVERLAPPED{};
        m_read.hEvent = m_readEvent;
        ::ResetEvent(m_readEvent);
        if (!::ReadFile(m_file, m_readBuffer.data(), static_cast<DWORD>(m_readBuffer.size()), nullptr, &m_read)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_IO_PENDING) {
                const std::uint32_t code = error ? error : ERROR_GEN_FAILURE;
                if (winhid::isUnpluggedError(code))
                    m_gone = code;
                return code;
            }
        }
        // Pending, or done already: the event is set either way.
        m_outstanding = true;
        return 0;
    }

    HidWait waitRead(int timeoutMs) override
    {
        if (!m_outstanding)
            return complete(0);
        if (m_shutdown) {
            cancelRead();
            return complete(0);
        }
        const HANDLE events[2] = {m_readEvent, m_wakeEvent};
        const DWORD waited = ::WaitForMultipleObjects(2, events, FALSE, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
        if (waited == WAIT_TIMEOUT)
            return HidWait::Pending;
        if (waited == WAIT_OBJECT_0 + 1) {
            if (!m_shutdown)
                return HidWait::Pending;
            cancelRead();
            return complete(0);
        }
        if (waited != WAIT_OBJECT_0) {
            cancelRead(); // the wait itself failed: nothing to wait on
            return complete(0);
        }
        DWORD got = 0;
        const bool ok = ::GetOverlappedResult(m_file, &m_read, &got, FALSE);
        const std::uint32_t error = ok ? 0 : lastError();
        m_outstanding = false;
        if (!ok) {
            if (winhid::isUnpluggedError(error))
                m_gone = error; // the next start tells the reader
            return complete(0);
        }
        if (m_shutdown)
            return complete(0); // retired while the report came: it is not handed over
        const std::size_t count = std::min<std::size_t>(got, m_callerLength);
        std::copy_n(m_readBuffer.begin(), count, m_callerBuffer);
        return complete(count);
    }

    std::size_t readResult() override { return m_result; }

    void cancelRead() override
    {
        if (!m_outstanding)
            return;
        ::CancelIoEx(m_file, &m_read);
        // Waits for the end of the read, cancelled or not: the buffer is
        // free only then.
        DWORD got = 0;
        ::GetOverlappedResult(m_file, &m_read, &got, TRUE);
        m_outstanding = false;
    }

    void wake() override
    {
        if (m_wakeEvent)
            ::SetEvent(m_wakeEvent);
    }

    void shutdown() override
    {
        m_shutdown = true;
        wake();
    }

private:
    // A string query into a buffer of the largest USB string (126 units)
    // and more, so that the caller's buffer is untouched on failure.
    template <typename Query>
    bool queryString(char16_t *buffer, std::size_t units, Query query)
    {
        if (m_shutdown)
            return false;
        wchar_t text[256] = {};
        if (!query(text, static_cast<ULONG>(sizeof text - sizeof(wchar_t))))
            return false;
        winhid::copyTerminatedUnits(reinterpret_cast<const char16_t *>(text), std::size(text), buffer, units);
        return true;
    }

    HidWait complete(std::size_t bytes)
    {
        m_result = bytes;
        m_outstanding = false;
        return HidWait::Completed;
    }

    static constexpr DWORD writeTimeoutMs = 5000;

    const HANDLE m_file;
    const bool m_overlapped;
    const HANDLE m_readEvent; // manual-reset, the read's: AsyncRead handles only
    const HANDLE m_wakeEvent; // auto-reset: one wake() ends one wait
    std::atomic<bool> m_shutdown = false;
    std::mutex m_lengthsMutex;
    std::optional<HidReportLengths> m_lengths;
    // The read, used by the reader thread alone.
    OVERLAPPED m_read{};
    std::vector<std::uint8_t> m_readBuffer;
    std::uint8_t *m_callerBuffer = nullptr;
    std::size_t m_callerLength = 0;
    std::size_t m_result = 0;
    bool m_outstanding = false;
    std::uint32_t m_gone = 0; // the unplug error a read ended with
};

// ----------------------------------------------------------------- the hold

// A hold is a named event, "Global\tolmar-hid-<hash of the path>", that this
// program created: its existence is the hold. Creation is atomic (the second
// CreateEventW of a name gets ERROR_ALREADY_EXISTS), the object lives while
// a handle is open and the system closes the handles of a program that ends,
// however it ends. A mutex would do the same but belongs to the thread that
// took it, and holds are given up on whichever thread drops them; a file
// opened without sharing needs a folder. The Global namespace keeps out the
// Tolmars of other users' sessions too (their object is refused to us with
// ERROR_ACCESS_DENIED, which reads as held).
class EventHold final : public HidHold {
public:
    EventHold(HANDLE event, std::string path, std::shared_ptr<WindowsHidPlatform::Holds> holds)
        : m_event(event)
        , m_path(std::move(path))
        , m_holds(std::move(holds))
    {
    }
    ~EventHold() override
    {
        ::CloseHandle(m_event);
        std::lock_guard lock(m_holds->mutex);
        m_holds->paths.erase(m_path);
    }

private:
    const HANDLE m_event;
    const std::string m_path;
    const std::shared_ptr<WindowsHidPlatform::Holds> m_holds;
};

} // namespace

WindowsHidPlatform::WindowsHidPlatform() = default;

WindowsHidPlatform::~WindowsHidPlatform() = default;

std::vector<HidInterfaceInfo> WindowsHidPlatform::listInterfaces()
{
    std::vector<HidInterfaceInfo> list;
    GUID hidGuid{};
    ::HidD_GetHidGuid(&hidGuid);
    const HDEVINFO set = ::SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return list;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!::SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, index, &interfaceData))
            break; // ERROR_NO_MORE_ITEMS
        std::wstring path;
        DEVINST node = 0;
        if (!interfaceDetail(set, interfaceData, path, node))
            continue;
        list.push_back({narrow(path.c_str(), path.size()), instanceOf(node)});
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return list;
}

std::unique_ptr<HidHandle> WindowsHidPlatform::open(const HidInterfaceInfo &device, HidAccess access,
                                                    std::uint32_t &error)
{
    // The path of a device without a serial number is the same after it was
    // plugged in again; the instance tells the attach the caller listed
    // from a later one, as a vanished syspath does on Linux.
    if (winhid::instanceHasArrival(device.instance)) {
        if (const auto node = devnodeOf(device.path); node && instanceOf(*node) != device.instance) {
            error = winhid::code::deviceNotConnected;
            return nullptr;
        }
    }
    DWORD rights = GENERIC_READ | GENERIC_WRITE;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (access == HidAccess::QueryOnly)
        rights = 0; // attributes and strings need no access, and any program may ask
    // Overlapped for writing too: a synchronous WriteFile to a bridge that
    // stops taking reports would hold the window until the cable is pulled;
    // an overlapped one is given up on after writeTimeoutMs. The HidD_
    // queries work on such handles as on any other.
    if (access != HidAccess::QueryOnly)
        flags |= FILE_FLAG_OVERLAPPED;
    const HANDLE file = ::CreateFileW(wide(device.path).c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = lastError();
        return nullptr;
    }
    HANDLE readEvent = nullptr, wakeEvent = nullptr;
    if (access == HidAccess::AsyncRead) {
        readEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        wakeEvent = readEvent ? ::CreateEventW(nullptr, FALSE, FALSE, nullptr) : nullptr;
        if (!wakeEvent) {
            error = lastError();
            if (readEvent)
                ::CloseHandle(readEvent);
            ::CloseHandle(file);
            return nullptr;
        }
    }
    return std::make_unique<WindowsHidHandle>(file, access != HidAccess::QueryOnly, readEvent, wakeEvent);
}

std::string WindowsHidPlatform::port(const HidInterfaceInfo &device)
{
    const auto node = devnodeOf(device.path);
    if (!node)
        return {};
    // Up from the HID devnode to the USB device: past the interface of a
    // composite device ("USB\VID_...&MI_00") to the device itself.
    DEVINST current = *node;
    for (int depth = 0; depth < 8; ++depth) {
        DEVINST parent = 0;
        if (::CM_Get_Parent(&parent, current, 0) != CR_SUCCESS)
            return {};
        current = parent;
        const std::string id = deviceId(current);
        if (!winhid::isUsbDeviceId(id))
            continue;
        // "Port_#0002.Hub_#0004": short enough to name on a command line;
        // the location path from the root where the hub does not say.
        if (auto location = registryText(current, CM_DRP_LOCATION_INFORMATION); location && winhid::isPortLocation(*location))
            return *location;
        if (auto paths = registryText(current, CM_DRP_LOCATION_PATHS))
            return *paths;
        return {};
    }
    return {};
}

std::unique_ptr<HidHold> WindowsHidPlatform::hold(const HidInterfaceInfo &device, std::uint32_t &error)
{
    const std::string key = winhid::foldedPath(device.path);
    {
        std::lock_guard lock(m_holds->mutex);
        if (m_holds->paths.count(key)) {
            error = heldError; // held here already: one hold at a time
            return nullptr;
        }
    }
    const std::wstring name = wide(winhid::holdObjectName(device.path));
    // A few tries: another Tolmar that only looks whether the interface is
    // held keeps the object alive for a moment.
    for (int attempt = 0;; ++attempt) {
        const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, name.c_str());
        const DWORD created = ::GetLastError();
        if (event && created != ERROR_ALREADY_EXISTS) {
            std::lock_guard lock(m_holds->mutex);
            m_holds->paths.insert(key);
            return std::make_unique<EventHold>(event, key, m_holds);
        }
        if (event)
            ::CloseHandle(event);
        else if (created != ERROR_ACCESS_DENIED) {
            error = created ? created : ERROR_GEN_FAILURE;
            return nullptr;
        }
        if (attempt == 3) {
            error = heldError;
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool WindowsHidPlatform::heldElsewhere(const HidInterfaceInfo &device)
{
    {
        std::lock_guard lock(m_holds->mutex);
        if (m_holds->paths.count(winhid::foldedPath(device.path)))
            return false;
    }
    const HANDLE event = ::OpenEventW(SYNCHRONIZE, FALSE, wide(winhid::holdObjectName(device.path)).c_str());
    if (event) {
        ::CloseHandle(event);
        return true;
    }
    return ::GetLastError() == ERROR_ACCESS_DENIED; // another user's Tolmar has it
}

std::uint32_t WindowsHidPlatform::closedHandleError() const
{
    return winhid::code::invalidHandle;
}

std::string WindowsHidPlatform::errorText(std::uint32_t code) const
{
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                              | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    if (length == 0 || !text)
        return "error " + std::to_string(code);
    std::string message = winhid::trimmedMessage(narrow(text, length));
    ::LocalFree(text);
    return message.empty() ? "error " + std::to_string(code) : message;
}

namespace {
// Listings compared as sets: the order SetupAPI hands them out in is no change.
std::vector<HidInterfaceInfo> sortedListing(std::vector<HidInterfaceInfo> list)
{
    std::sort(list.begin(), list.end(), [](const HidInterfaceInfo &a, const HidInterfaceInfo &b) {
        return a.path != b.path ? a.path < b.path : a.instance < b.instance;
    });
    return list;
}
} // namespace

void WindowsHidPlatform::startNotifications()
{
    m_lastListing = sortedListing(listInterfaces());
    m_watching = true;
}

void WindowsHidPlatform::stopNotifications()
{
    m_watching = false;
    m_lastListing.clear();
}

bool WindowsHidPlatform::takeNotifications()
{
    if (!m_watching)
        return false;
    std::vector<HidInterfaceInfo> now = sortedListing(listInterfaces());
    const bool changed = now != m_lastListing;
    m_lastListing = std::move(now);
    return changed;
}

} // namespace tolmar
