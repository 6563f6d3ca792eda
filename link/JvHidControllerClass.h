#pragma once

#include "platform/HidPlatform.h"

#include <atomic>
#include <concepts>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

// The HID device controller: which HID interfaces are present, their arrival
// and removal, device objects that a caller claims, and a reader thread per
// claimed device that hands every input report to the UI thread and waits
// until it was handled. Qt-free: the operating system comes in through
// HidPlatform, the UI thread through UiDispatcher.
namespace tolmar {

class TJvHidDevice;
class TJvHidDeviceController;
class TJvHidDeviceReadThread;
class UiDispatcher;

// An event handler, compared by identity like a method pointer: copies of one
// handler are equal, two handlers made separately are not, and an empty
// handler is "none". Keep the handler you attach if you want to compare or
// detach it by value later.
template <typename Signature>
class HidEvent;

template <typename R, typename... Args>
class HidEvent<R(Args...)> {
public:
    HidEvent() = default;
    HidEvent(std::nullptr_t) {}
    template <typename F>
        requires(!std::same_as<std::decay_t<F>, HidEvent> && !std::same_as<std::decay_t<F>, std::nullptr_t>
                 && std::is_invocable_r_v<R, F &, Args...>)
    HidEvent(F &&function)
        : m_function(std::make_shared<const std::function<R(Args...)>>(std::forward<F>(function)))
    {
    }

    explicit operator bool() const { return m_function != nullptr; }
    R operator()(Args... args) const { return (*m_function)(args...); }
    bool operator==(const HidEvent &other) const { return m_function == other.m_function; }

private:
    std::shared_ptr<const std::function<R(Args...)>> m_function;
};

// The events, all called on the UI thread.
using TJvHidEnumerateEvent = HidEvent<bool(TJvHidDevice *HidDev, int Idx)>; // true: go on
using TJvHidPlugEvent = HidEvent<void(TJvHidDevice *HidDev)>;
// Data points into the reader's buffer and is valid only during the call.
using TJvHidDataEvent =
    HidEvent<void(TJvHidDevice *HidDev, std::uint8_t ReportID, const std::uint8_t *Data, std::uint16_t Size)>;
using TJvHidDataErrorEvent = HidEvent<void(TJvHidDevice *HidDev, std::uint32_t Error)>;
using TNotifyEvent = HidEvent<void(TJvHidDeviceController *Sender)>;

class EControllerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;

    static constexpr const char *cannotOpen = "device cannot be opened";
    static constexpr const char *cannotIdentify = "device cannot be identified";
    static constexpr const char *onlyOne = "Only one TJvHidDeviceController allowed per program";
};

// One device interface as the platform lists it.
struct TJvHidPnPInfo {
    std::string DevicePath;
    std::string DeviceInstance;
};

// One HID interface. Created and owned by the controller; a caller claims it
// with ClaimByIndex and gives it back with the controller's ReleaseDevice. All
// operations run on the UI thread.
class TJvHidDevice {
public:
    static constexpr int stringUnits = 254; // the string buffers' size in UTF-16 units

    TJvHidDevice(const TJvHidDevice &) = delete;
    TJvHidDevice &operator=(const TJvHidDevice &) = delete;

    // The owner: a device never outlives its controller.
    TJvHidDeviceController *Controller() const { return m_controller; }
    const TJvHidPnPInfo &PnPInfo() const { return *m_pnpInfo; }
    bool Present() const { return m_present; }
    bool Claimed() const { return m_claimed; }
    bool InEnumeration() const { return m_inEnumeration; }
    // Whether the last open for reading and writing succeeded.
    bool CanReadWrite() const;

    const HidAttributes &Attributes() const { return m_attributes; }
    std::uint16_t VendorID() const { return m_attributes.VendorID; }
    std::uint16_t ProductID() const { return m_attributes.ProductID; }

    // The strings as UTF-8, empty when the device has none. Read once (while
    // the device may be opened: claimed or being enumerated) and cached.
    std::string ProductText();
    std::string SerialText();
    // The report lengths; all zero when unavailable.
    HidReportLengths Capabilities();

    bool SendFeature(const std::uint8_t *report, std::size_t length);
    bool WriteReport(const std::uint8_t *report, std::size_t length, std::size_t &written);

    // Starts or stops the reader: none stops it and waits for it to end,
    // running its pending hand-overs meanwhile; a handler starts it when the
    // device is present, claimed and can be read and written. A handler run by
    // the stop may release the device (the object goes once this returns) or
    // attach a handler (no reader starts; this call's handler is the one kept).
    // Rethrows the error of a reader thread that cannot be started.
    void SetDataHandler(TJvHidDataEvent handler);
    const TJvHidDataEvent &DataHandler() const { return m_dataHandler; }
    void SetDataErrorHandler(TJvHidDataErrorEvent handler) { m_dataErrorHandler = std::move(handler); }
    const TJvHidDataErrorEvent &DataErrorHandler() const { return m_dataErrorHandler; }
    void SetUnplugHandler(TJvHidPlugEvent handler) { m_unplugHandler = std::move(handler); }
    const TJvHidPlugEvent &UnplugHandler() const { return m_unplugHandler; }

    // The reader's wait step in ms; values outside 10..10000 are ignored.
    int SleepTime() const { return m_sleepTime; }
    void SetSleepTime(int ms);

    bool HasReader() const { return m_reader != nullptr; }

private:
    friend class TJvHidDeviceController;
    friend class TJvHidDeviceReadThread;
    struct Deleter {
        void operator()(TJvHidDevice *device) const { delete device; }
    };

    TJvHidDevice(std::unique_ptr<TJvHidPnPInfo> info, TJvHidDeviceController &controller);
    ~TJvHidDevice();

    bool mayOpen() const { return m_present && (m_claimed || m_inEnumeration); }
    bool openMain();      // under m_mutex
    bool openReadWriteOrQueries(); // read-write, else for queries only; sets m_canReadWrite
    void closeMain();     // under m_mutex
    void closeHandles();  // main and read handle
    void startReaderIfAllowed();
    // Stops the reader. One asked to stop from inside its own hand-over ends
    // when that returns: the controller takes it and joins it then.
    void stopReader();
    // For the reader thread.
    std::uint16_t inputReportLength();
    std::shared_ptr<HidHandle> readHandle(std::uint32_t &error);

    TJvHidDeviceController *m_controller;
    const std::uint64_t m_id; // unique among the controller's objects, also after one is gone
    HidPlatform &m_platform;
    UiDispatcher &m_dispatcher;
    // Read by the reader thread to decide whether it may reopen its handle.
    std::atomic<bool> m_present = true;
    std::atomic<bool> m_claimed = false;
    std::atomic<bool> m_inEnumeration = false;
    bool m_releasing = false; // ReleaseDevice is under way: no second release, no new reader
    // SetDataHandler frames stopping this device's reader. A handler run by
    // that stop may release the device: the controller then parks the object
    // instead of destroying it under those frames (m_parked), and frees it
    // once the depth is back to 0. No reader starts while it is raised.
    int m_stoppingReader = 0;
    bool m_parked = false;

    // Guards the handles, the caches and m_canReadWrite: the reader thread
    // takes the report length and its read handle through them.
    mutable std::mutex m_mutex;
    std::unique_ptr<HidHandle> m_mainHandle;
    std::shared_ptr<HidHandle> m_readHandle;
    std::optional<HidReportLengths> m_capabilities;
    std::u16string m_productString;
    std::u16string m_serialString;
    bool m_canReadWrite = false;

    HidAttributes m_attributes;
    std::unique_ptr<TJvHidPnPInfo> m_pnpInfo;
    std::atomic<int> m_sleepTime = 100;
    TJvHidDataEvent m_dataHandler;
    TJvHidDataErrorEvent m_dataErrorHandler;
    TJvHidPlugEvent m_unplugHandler;
    std::shared_ptr<TJvHidDeviceReadThread> m_reader;
};

// Reads one claimed device's input reports on a thread of its own and hands
// each to the UI thread, waiting until it was handled. Its owner (the device,
// then the controller) keeps it until its thread was joined: the thread is
// never detached and never holds the last reference itself.
class TJvHidDeviceReadThread : public std::enable_shared_from_this<TJvHidDeviceReadThread> {
public:
    explicit TJvHidDeviceReadThread(TJvHidDevice &device);
    // Joins the thread, which must have been stopped and never runs this.
    ~TJvHidDeviceReadThread();
    TJvHidDeviceReadThread(const TJvHidDeviceReadThread &) = delete;
    TJvHidDeviceReadThread &operator=(const TJvHidDeviceReadThread &) = delete;

    void Start();
    // UI thread: asks the reader to stop and waits for it to end, running
    // the hand-over it may be waiting on, then joins it: true. Called from
    // inside one of this reader's own hand-overs (on the UI thread, or on the
    // reader thread itself with an inline dispatcher) it only asks and
    // returns false: the thread ends once that hand-over has returned, and
    // the caller hands the reader to the controller, which joins it.
    bool Stop();
    // Whether the thread has left its loop; it is joinable at once then.
    bool Ended() const;
    // Not on the reader thread: waits for a stopped reader to end.
    void Join();

private:
    enum class HandOver { Idle, Pending, Running };

    void run();
    void handOver(bool isError, std::uint32_t error, std::size_t bytes);
    void runHandOver();
    bool stopRequested() const { return m_stop.load(); }
    void paceRetry();

    TJvHidDevice *m_device; // not touched once a stop was asked for: it may be gone
    TJvHidDeviceController &m_controller;
    UiDispatcher &m_dispatcher;
    std::unique_ptr<std::thread> m_thread; // set before the thread runs; joined by the owner
    std::atomic<bool> m_stop = false;

    // Guards everything below: the start, the hand-over between the reader
    // and the UI thread, and the handle that Stop() wakes.
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_started = false;
    HandOver m_handOver = HandOver::Idle;
    std::thread::id m_runningOn;
    bool m_retired = false;
    bool m_ended = false;
    std::shared_ptr<HidHandle> m_handle;
    bool m_handOverIsError = false;
    std::uint32_t m_handOverError = 0;
    std::size_t m_handOverBytes = 0;

    // Owned by the reader thread; the handler reads it in place.
    std::vector<std::uint8_t> m_report;
    std::size_t m_numBytesRead = 0;  // of the last completed read
    std::uint32_t m_lastError = 0;   // of the last failed read start
};

// The controller. Only one may exist at a time.
class TJvHidDeviceController {
public:
    // Scans the present devices (no events for this first list) and starts
    // listening for device changes. Throws EControllerError when another
    // controller exists.
    TJvHidDeviceController(HidPlatform &platform, UiDispatcher &dispatcher);
    // Tells each claimer through its device's unplug handler, the last
    // moment it may use the object, then destroys every device and joins
    // every reader thread. Not from inside a handler of this controller.
    ~TJvHidDeviceController();
    TJvHidDeviceController(const TJvHidDeviceController &) = delete;
    TJvHidDeviceController &operator=(const TJvHidDeviceController &) = delete;

    // The reconciliation pass: removals (last to first), then arrivals, then
    // OnDeviceChange when something changed or on the first pass after
    // OnDeviceChange was attached.
    void DeviceChange();
    // Calls OnEnumerate for each present device until it answers false;
    // returns the number of devices visited.
    int EnumeratePresent();
    // A reader thread that cannot be started undoes the claim; its error is rethrown.
    TJvHidDevice *ClaimByIndex(int Idx);
    // Takes a claimed object back and destroys it, stopping its reader first
    // (a device is never deleted by anyone else). While the device is
    // present a fresh unclaimed object takes its place in the list, keeping
    // the data and unplug handlers and the sleep time; a device that has gone
    // leaves the list. If the fresh object cannot be created, the entry
    // leaves the list too (a later pass offers the device again as an
    // arrival) and EControllerError is thrown after everything is cleaned
    // up: the object is gone either way. Does nothing for an object that is
    // not claimed or not listed. A handler may release its own device; one
    // run while SetDataHandler stops the reader leaves the object to that
    // call, which destroys it as it returns.
    void ReleaseDevice(TJvHidDevice *HidDev);

    // Device-change notification: a descriptor that becomes readable when
    // devices may have come or gone (-1: none), and what to call then (or
    // from time to time without one); true when devices came or went.
    int NotificationFd() const;
    bool HandleDeviceNotifications();

    // Attaching OnDeviceChange runs DeviceChange at once; attaching a data,
    // data-error or unplug handler hands it to every device that still has
    // the controller's previous one.
    void SetOnDeviceChange(TNotifyEvent handler);
    void SetOnDeviceData(TJvHidDataEvent handler);
    void SetOnDeviceDataError(TJvHidDataErrorEvent handler);
    void SetOnDeviceUnplug(TJvHidPlugEvent handler);
    void SetOnArrival(TJvHidPlugEvent handler) { m_onArrival = std::move(handler); }
    void SetOnRemoval(TJvHidPlugEvent handler) { m_onRemoval = std::move(handler); }
    void SetOnEnumerate(TJvHidEnumerateEvent handler) { m_onEnumerate = std::move(handler); }
    const TNotifyEvent &OnDeviceChange() const { return m_onDeviceChange; }
    const TJvHidDataEvent &OnDeviceData() const { return m_onDeviceData; }
    const TJvHidDataErrorEvent &OnDeviceDataError() const { return m_onDeviceDataError; }
    const TJvHidPlugEvent &OnDeviceUnplug() const { return m_onDeviceUnplug; }

    int DevThreadSleepTime() const { return m_devThreadSleepTime; }
    void SetDevThreadSleepTime(int ms);

    // The device list (claimed objects that have gone stay until released).
    std::size_t DeviceCount() const { return m_devices.size(); }
    TJvHidDevice *DeviceAt(std::size_t index) const { return m_devices.at(index).get(); }
    HidPlatform &Platform() const { return m_platform; }
    // Reader threads started and not joined yet, stopped ones included.
    int ReaderThreads() const { return m_readerThreads.load(); }

private:
    friend class TJvHidDevice;
    friend class TJvHidDeviceReadThread;
    using DevicePtr = std::unique_ptr<TJvHidDevice, TJvHidDevice::Deleter>;
    using DeviceList = std::vector<DevicePtr>;

    DeviceList scan();
    void reconcile();
    DevicePtr makeDevice(std::unique_ptr<TJvHidPnPInfo> info);
    // The entry holding the object made with this id, or end().
    DeviceList::iterator findDevice(std::uint64_t id);
    // Readers stopped from inside their own hand-over, until joined.
    void retireReader(std::shared_ptr<TJvHidDeviceReadThread> reader);
    // The hand-over that stopped this reader has returned (UI thread).
    void joinRetiredReader(const TJvHidDeviceReadThread *reader);
    // Joins the retired readers that have ended, or all of them.
    void joinRetiredReaders(bool all);
    // Destroys the released objects no SetDataHandler frame stands on any more.
    void freeParkedDevices();

    HidPlatform &m_platform;
    UiDispatcher &m_dispatcher;
    bool m_available;
    DeviceList m_devices;
    DeviceList m_parkedDevices; // released while their reader was being stopped
    std::uint64_t m_nextDeviceId = 1;
    TJvHidPlugEvent m_onArrival;
    TJvHidPlugEvent m_onRemoval;
    TNotifyEvent m_onDeviceChange;
    TJvHidEnumerateEvent m_onEnumerate;
    TJvHidDataEvent m_onDeviceData;
    TJvHidDataErrorEvent m_onDeviceDataError;
    TJvHidPlugEvent m_onDeviceUnplug;
    int m_devThreadSleepTime = 100;
    bool m_firstChangeDone = false;
    bool m_inDeviceChange = false;
    bool m_changeAgain = false;

    // Guards m_retiredReaders: with an inline dispatcher a reader is retired
    // on its own thread while the owner's thread may be joining others.
    std::mutex m_retiredMutex;
    std::vector<std::shared_ptr<TJvHidDeviceReadThread>> m_retiredReaders;
    std::atomic<int> m_readerThreads = 0;

    static std::atomic<int> s_count;
};

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string toUtf8(const std::u16string &text);

} // namespace tolmar
