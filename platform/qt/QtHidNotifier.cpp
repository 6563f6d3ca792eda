#include "platform/qt/QtHidNotifier.h"

#include <QSocketNotifier>

#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QPointer>

// clang-format off: windows.h first, dbt.h needs its types.
#include <windows.h>
#include <dbt.h>
// clang-format on
#endif

namespace tolmar {

#ifdef Q_OS_WIN

namespace {

// GUID_DEVINTERFACE_HID (hidclass.h), the class HidD_GetHidGuid answers.
const GUID hidInterfaceClass{0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

bool isDeviceChange(UINT message, WPARAM event)
{
    return message == WM_DEVICECHANGE
        && (event == DBT_DEVNODES_CHANGED || event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE);
}

} // namespace

// Two ways in, both ending in one queued call of `changed`:
// - a native event filter sees the WM_DEVICECHANGE (DBT_DEVNODES_CHANGED)
//   that Windows broadcasts to every top-level window, the program's own;
// - a message-only window of our own, registered for the HID interface class
//   with RegisterDeviceNotificationW, gets DBT_DEVICEARRIVAL and
//   DBT_DEVICEREMOVECOMPLETE for HID interfaces. A window of our own rather
//   than the main window: it exists from the start whether the main window
//   has a native handle yet or not, it lives exactly as long as this
//   notifier, and Windows sends those messages straight to its procedure
//   (they never pass the event loop, so the filter would not see them).
// Queued, because WM_DEVICECHANGE is sent, not posted: the sender (the
// system's broadcast) waits until the window procedure returns, and a
// listing or a message box has no place inside it. Several messages in a
// row make one call.
struct QtHidNotifier::DeviceChanges final : public QAbstractNativeEventFilter {
    explicit DeviceChanges(QtHidNotifier &owner)
        : m_owner(&owner)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &DeviceChanges::windowProcedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = className;
        ::RegisterClassExW(&windowClass); // fails harmlessly when a notifier before us registered it
        m_window = ::CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                                     nullptr);
        if (!m_window)
            return;
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = hidInterfaceClass;
        m_registration = ::RegisterDeviceNotificationW(m_window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }

    ~DeviceChanges() override
    {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        if (m_registration)
            ::UnregisterDeviceNotification(m_registration);
        if (m_window)
            ::DestroyWindow(m_window);
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType == "windows_generic_MSG" || eventType == "windows_dispatcher_MSG") {
            const MSG *msg = static_cast<const MSG *>(message);
            if (isDeviceChange(msg->message, msg->wParam))
                schedule();
        }
        return false; // the windows see their messages as before
    }

    void schedule()
    {
        if (m_scheduled)
            return;
        m_scheduled = true;
        QMetaObject::invokeMethod(
            m_owner,
            [owner = QPointer<QtHidNotifier>(m_owner), this] {
                if (!owner)
                    return;
                m_scheduled = false;
                if (owner->m_changed)
                    owner->m_changed();
            },
            Qt::QueuedConnection);
    }

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (isDeviceChange(message, wParam)) {
            if (auto *self = reinterpret_cast<DeviceChanges *>(::GetWindowLongPtrW(window, GWLP_USERDATA)))
                self->schedule();
            return TRUE;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    static constexpr const wchar_t *className = L"TolmarHidNotifier";
    QtHidNotifier *const m_owner;
    HWND m_window = nullptr;
    HDEVNOTIFY m_registration = nullptr;
    bool m_scheduled = false;
};

#endif

QtHidNotifier::QtHidNotifier(int fd, std::function<void()> changed, QObject *parent)
    : QObject(parent)
    , m_changed(std::move(changed))
{
    if (fd < 0) {
#ifdef Q_OS_WIN
        m_deviceChanges = std::make_unique<DeviceChanges>(*this);
#endif
        return;
    }
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        if (m_changed)
            m_changed();
    });
}

QtHidNotifier::~QtHidNotifier() = default;

bool QtHidNotifier::watching() const
{
#ifdef Q_OS_WIN
    if (m_deviceChanges)
        return true;
#endif
    return m_notifier != nullptr;
}

} // namespace tolmar
