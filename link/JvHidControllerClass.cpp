#include "link/JvHidControllerClass.h"

#include "platform/TextEncoding.h"

#include "platform/UiDispatcher.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>

namespace tolmar {

namespace {

std::u16string upToZero(const char16_t *units, std::size_t count)
{
    return std::u16string(units, std::find(units, units + count, u'\0'));
}

// Runs `undo` when the scope ends, also when a handler throws.
template <typename F>
struct ScopeExit {
    F undo;
    ~ScopeExit() { undo(); }
};
template <typename F>
ScopeExit(F) -> ScopeExit<F>;

} // namespace

std::string toUtf8(const std::u16string &text)
{
    return utf16ToUtf8(text);
}

// ---------------------------------------------------------------- device

TJvHidDevice::TJvHidDevice(std::unique_ptr<TJvHidPnPInfo> info, TJvHidDeviceController &controller)
    : m_controller(&controller)
    , m_id(controller.m_nextDeviceId++)
    , m_platform(controller.m_platform)
    , m_dispatcher(controller.m_dispatcher)
    , m_pnpInfo(std::move(info))
    , m_dataHandler(controller.m_onDeviceData)
    , m_dataErrorHandler(controller.m_onDeviceDataError)
    , m_unplugHandler(controller.m_onDeviceUnplug)
{
    // A new object is neither claimed nor enumerated, so it opens the device
    // directly rather than through openMain().
    if (!openReadWriteOrQueries())
        throw EControllerError(EControllerError::cannotOpen);
    HidAttributes attributes;
    attributes.Size = 12;
    if (!m_mainHandle->attributes(attributes))
        throw EControllerError(EControllerError::cannotIdentify);
    m_attributes = attributes;
    m_mainHandle.reset();
}

TJvHidDevice::~TJvHidDevice()
{
    stopReader();
    closeHandles();
}

bool TJvHidDevice::CanReadWrite() const
{
    std::lock_guard lock(m_mutex);
    return m_canReadWrite;
}

bool TJvHidDevice::openReadWriteOrQueries()
{
    std::uint32_t error = 0;
    const HidInterfaceInfo where{m_pnpInfo->DevicePath, m_pnpInfo->DeviceInstance};
    m_mainHandle = m_platform.open(where, HidAccess::ReadWrite, error);
    m_canReadWrite = m_mainHandle != nullptr;
    if (!m_mainHandle)
        m_mainHandle = m_platform.open(where, HidAccess::QueryOnly, error);
    return m_mainHandle != nullptr;
}

bool TJvHidDevice::openMain()
{
    if (m_mainHandle)
        return true;
    if (!mayOpen())
        return false;
    return openReadWriteOrQueries();
}

void TJvHidDevice::closeMain()
{
    m_mainHandle.reset();
}

void TJvHidDevice::closeHandles()
{
    std::shared_ptr<HidHandle> read;
    {
        std::lock_guard lock(m_mutex);
        m_mainHandle.reset();
        read = std::move(m_readHandle);
    }
    // A running reader may be waiting on it: retire it rather than pull it
    // away; the reader drops it on its next turn.
    if (read)
        read->shutdown();
}

std::string TJvHidDevice::ProductText()
{
    std::lock_guard lock(m_mutex);
    if (m_productString.empty() && openMain()) {
        char16_t buffer[stringUnits] = {};
        if (m_mainHandle->productString(buffer, stringUnits))
            m_productString = upToZero(buffer, stringUnits);
        closeMain();
    }
    return toUtf8(m_productString);
}

std::string TJvHidDevice::SerialText()
{
    std::lock_guard lock(m_mutex);
    if (m_serialString.empty() && openMain()) {
        char16_t serial[stringUnits] = {};
        if (m_mainHandle->serialNumberString(serial, stringUnits)) {
            // A serial number that only repeats string descriptor 0 (the
            // language list), or a device that does not answer descriptor 0,
            // counts as no serial number. Units the platform did not write
            // stay 0xFFFF, so the descriptor's length shows.
            char16_t descriptor0[stringUnits];
            std::fill(std::begin(descriptor0), std::end(descriptor0), u'\xFFFF');
            m_mainHandle->indexedString(0, descriptor0, stringUnits);
            int n = 0;
            for (int i = stringUnits - 1; i >= 0; --i) {
                if (descriptor0[i] != u'\xFFFF') {
                    n = descriptor0[i] == 0 ? i : i + 1;
                    break;
                }
            }
            for (int i = 0; i < n; ++i) {
                if (serial[i] != descriptor0[i]) {
                    m_serialString = upToZero(serial, stringUnits);
                    break;
                }
            }
        }
        closeMain();
    }
    return toUtf8(m_serialString);
}

HidReportLengths TJvHidDevice::Capabilities()
{
    std::lock_guard lock(m_mutex);
    if (!m_capabilities && openMain()) {
        m_capabilities = m_mainHandle->reportLengths();
        closeMain();
    }
    return m_capabilities.value_or(HidReportLengths{});
}

bool TJvHidDevice::SendFeature(const std::uint8_t *report, std::size_t length)
{
    std::lock_guard lock(m_mutex);
    return openMain() && m_mainHandle->setFeature(report, length);
}

bool TJvHidDevice::WriteReport(const std::uint8_t *report, std::size_t length, std::size_t &written)
{
    written = 0;
    std::lock_guard lock(m_mutex);
    return openMain() && m_mainHandle->write(report, length, written);
}

void TJvHidDevice::SetSleepTime(int ms)
{
    if (ms >= 10 && ms <= 10000)
        m_sleepTime = ms;
}

void TJvHidDevice::SetDataHandler(TJvHidDataEvent handler)
{
    if (!handler) {
        // The stop may run a waiting hand-over whose handler releases this
        // device or attaches a handler again. While the depth is raised a
        // release leaves the object alive for this frame and no reader starts;
        // this frame, the outermost one, decides the handler.
        TJvHidDeviceController &controller = *m_controller;
        {
            ++m_stoppingReader;
            ScopeExit lower{[this] { --m_stoppingReader; }};
            stopReader();
        }
        if (m_parked) {
            controller.freeParkedDevices(); // destroys this object unless an outer frame still stops it
            return;
        }
    }
    m_dataHandler = std::move(handler);
    startReaderIfAllowed();
}

void TJvHidDevice::startReaderIfAllowed()
{
    if (!m_dataHandler || !m_present || !m_claimed || m_releasing || m_stoppingReader > 0 || m_reader
        || !CanReadWrite())
        return;
    {
        // Opened here rather than on the reader thread, so that the reports
        // the device sends from now on are queued for the reader.
        std::lock_guard lock(m_mutex);
        if (!m_readHandle) {
            std::uint32_t error = 0;
            m_readHandle = m_platform.open({m_pnpInfo->DevicePath, m_pnpInfo->DeviceInstance}, HidAccess::AsyncRead,
                                           error);
        }
    }
    // Set before the thread runs: with an inline dispatcher its handler may
    // stop it from that thread.
    m_reader = std::make_shared<TJvHidDeviceReadThread>(*this);
    try {
        m_reader->Start();
    } catch (...) {
        // No thread: a reader kept now would make a later stop wait forever.
        m_reader.reset();
        throw;
    }
}

void TJvHidDevice::stopReader()
{
    if (!m_reader)
        return;
    // Taken out first: a handler run while the reader stops may come back here.
    std::shared_ptr<TJvHidDeviceReadThread> reader = std::move(m_reader);
    if (!reader->Stop())
        m_controller->retireReader(std::move(reader));
}

std::uint16_t TJvHidDevice::inputReportLength()
{
    return Capabilities().InputReportByteLength;
}

std::shared_ptr<HidHandle> TJvHidDevice::readHandle(std::uint32_t &error)
{
    std::lock_guard lock(m_mutex);
    if (!m_readHandle) {
        if (!mayOpen()) {
            error = m_platform.closedHandleError();
            return nullptr;
        }
        m_readHandle = m_platform.open({m_pnpInfo->DevicePath, m_pnpInfo->DeviceInstance}, HidAccess::AsyncRead,
                                       error);
    }
    return m_readHandle;
}

// ---------------------------------------------------------------- reader

TJvHidDeviceReadThread::TJvHidDeviceReadThread(TJvHidDevice &device)
    : m_device(&device)
    , m_controller(*device.m_controller)
    , m_dispatcher(device.m_dispatcher)
{
}

TJvHidDeviceReadThread::~TJvHidDeviceReadThread()
{
    // The owners keep this object until they joined the thread, and the
    // thread holds no reference of its own: this never runs on it.
    Join();
}

void TJvHidDeviceReadThread::Start()
{
    std::lock_guard lock(m_mutex);
    try {
        m_thread = std::make_unique<std::thread>([this] { run(); });
    } catch (...) {
        // Never ran: a Stop() finds it ended instead of waiting for it.
        m_ended = true;
        throw;
    }
    ++m_controller.m_readerThreads;
    m_started = true;
    m_changed.notify_all();
}

bool TJvHidDeviceReadThread::Ended() const
{
    std::lock_guard lock(m_mutex);
    return m_ended;
}

void TJvHidDeviceReadThread::Join()
{
    if (!m_thread || !m_thread->joinable())
        return;
    m_thread->join();
    --m_controller.m_readerThreads;
}

bool TJvHidDeviceReadThread::Stop()
{
    std::shared_ptr<HidHandle> handle;
    bool fromOwnHandOver = false;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        handle = m_handle;
        fromOwnHandOver = m_handOver == HandOver::Running && m_runningOn == std::this_thread::get_id();
        if (fromOwnHandOver)
            m_retired = true;
    }
    m_changed.notify_all(); // ends a paced retry
    if (handle)
        handle->wake();
    // Waiting here would wait for ourselves: the hand-over that is running
    // further up this thread's stack ends the thread when it returns.
    if (fromOwnHandOver)
        return false;

    for (;;) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_ended || m_handOver == HandOver::Pending; });
        if (m_ended)
            break;
        // The reader is blocked handing a report over: run it here, or the
        // two threads wait for each other.
        lock.unlock();
        runHandOver();
    }
    Join();
    return true;
}

void TJvHidDeviceReadThread::run()
{
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_started; });
    }

    while (!stopRequested()) {
        // The device is alive here: it stops its reader before it goes, and
        // a stop from inside a hand-over is seen by the test above.
        const int sleepTime = m_device->SleepTime();
        m_report.assign(m_device->inputReportLength(), 0);
        std::uint32_t error = 0;
        const std::shared_ptr<HidHandle> handle = m_device->readHandle(error);
        {
            std::lock_guard lock(m_mutex);
            m_handle = handle;
        }
        if (stopRequested())
            break;
        if (handle)
            error = handle->startRead(m_report.data(), m_report.size());
        else if (error == 0)
            error = m_device->m_platform.closedHandleError();

        if (handle && error == 0) {
            bool completed = false;
            while (!stopRequested()) {
                if (handle->waitRead(sleepTime) == HidWait::Completed) {
                    completed = true;
                    break;
                }
            }
            if (!completed) {
                handle->cancelRead(); // before the buffer is given up
                break;
            }
            m_numBytesRead = handle->readResult();
            if (m_numBytesRead == 0)
                continue;
            handOver(false, 0, m_numBytesRead);
        } else {
            m_lastError = error;
            handOver(true, error, 0);
            // Paced: a device that has gone fails every start at once, and
            // the error handler would otherwise run without a pause.
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(lock, std::chrono::milliseconds(sleepTime), [this] { return stopRequested(); });
        }
    }

    {
        std::lock_guard lock(m_mutex);
        m_handle.reset();
        m_ended = true;
    }
    m_changed.notify_all();
}

void TJvHidDeviceReadThread::handOver(bool isError, std::uint32_t error, std::size_t bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_handOver = HandOver::Pending;
        m_handOverIsError = isError;
        m_handOverError = error;
        m_handOverBytes = bytes;
    }
    m_changed.notify_all(); // a Stop() waiting for the end runs it
    m_dispatcher.post([reader = weak_from_this()] {
        // A call that comes after the reader was stopped finds nothing to do.
        if (const auto alive = reader.lock())
            alive->runHandOver();
    });
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_handOver == HandOver::Idle; });
}

void TJvHidDeviceReadThread::runHandOver()
{
    bool isError = false;
    std::uint32_t error = 0;
    std::size_t bytes = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_handOver != HandOver::Pending)
            return;
        m_handOver = HandOver::Running;
        m_runningOn = std::this_thread::get_id();
        isError = m_handOverIsError;
        error = m_handOverError;
        bytes = m_handOverBytes;
    }
    // Keeps this object alive while the controller lets go of it below.
    const std::shared_ptr<TJvHidDeviceReadThread> self = shared_from_this();
    ScopeExit done{[this] {
        bool retired = false;
        {
            std::lock_guard lock(m_mutex);
            m_handOver = HandOver::Idle;
            m_runningOn = {};
            retired = m_retired;
        }
        m_changed.notify_all();
        // Stopped from inside the handler: the reader ends now that the
        // handler has returned, and the controller joins it. On the reader
        // thread itself (inline dispatcher) the controller joins it later.
        if (retired && m_thread->get_id() != std::this_thread::get_id())
            m_controller.joinRetiredReader(this);
    }};

    // The handlers are read now: one detached meanwhile gets nothing.
    TJvHidDevice *device = m_device;
    if (isError) {
        const TJvHidDataErrorEvent handler = device->m_dataErrorHandler;
        if (handler)
            handler(device, error);
    } else {
        const TJvHidDataEvent handler = device->m_dataHandler;
        if (handler)
            handler(device, m_report[0], m_report.data() + 1, static_cast<std::uint16_t>(bytes - 1));
    }
}

// ---------------------------------------------------------------- controller

std::atomic<int> TJvHidDeviceController::s_count = 0;

TJvHidDeviceController::TJvHidDeviceController(HidPlatform &platform, UiDispatcher &dispatcher)
    : m_platform(platform)
    , m_dispatcher(dispatcher)
    , m_available(platform.available())
{
    if (s_count.fetch_add(1) != 0) {
        --s_count;
        throw EControllerError(EControllerError::onlyOne);
    }
    if (!m_available)
        return;
    try {
        // Listening starts before the first scan, so a device plugged in
        // between the two is not missed.
        m_platform.startNotifications();
        m_devices = scan();
    } catch (...) {
        m_devices.clear();
        m_platform.stopNotifications();
        --s_count;
        throw;
    }
}

TJvHidDeviceController::~TJvHidDeviceController()
{
    m_onDeviceChange = {};
    m_onDeviceUnplug = {};
    m_onEnumerate = {};
    if (m_available)
        m_platform.stopNotifications();
    // Out of the list first: a claimer that releases its device from the
    // unplug handler below finds nothing to do.
    DeviceList devices = std::move(m_devices);
    m_devices.clear();
    for (const DevicePtr &device : devices) {
        if (!device->m_claimed)
            continue;
        // The claimer learns of the end here, the last moment it may use
        // the object. Gone first, so its reader cannot open it again; then
        // the reader stops, so nothing reaches handlers of an owner that may
        // be going away with the controller.
        device->m_present = false;
        device->m_dataHandler = {};
        device->m_dataErrorHandler = {};
        device->stopReader();
        device->closeHandles();
        const TJvHidPlugEvent unplug = device->m_unplugHandler;
        if (unplug)
            unplug(device.get());
    }
    devices.clear();
    m_parkedDevices.clear(); // no handler, so no SetDataHandler frame, is running now
    joinRetiredReaders(true);
    --s_count;
}

TJvHidDeviceController::DevicePtr TJvHidDeviceController::makeDevice(std::unique_ptr<TJvHidPnPInfo> info)
{
    return DevicePtr(new TJvHidDevice(std::move(info), *this));
}

TJvHidDeviceController::DeviceList::iterator TJvHidDeviceController::findDevice(std::uint64_t id)
{
    return std::find_if(m_devices.begin(), m_devices.end(), [id](const DevicePtr &d) { return d->m_id == id; });
}

TJvHidDeviceController::DeviceList TJvHidDeviceController::scan()
{
    DeviceList list;
    for (const HidInterfaceInfo &found : m_platform.listInterfaces()) {
        try {
            list.push_back(makeDevice(std::make_unique<TJvHidPnPInfo>(TJvHidPnPInfo{found.path, found.instance})));
        } catch (const EControllerError &) {
            // Not openable or not identifiable: left out without a word.
        }
    }
    return list;
}

void TJvHidDeviceController::DeviceChange()
{
    if (!m_available)
        return;
    // A notification handled inside a handler of this pass (a nested event
    // loop) is run after it instead of in the middle of it.
    if (m_inDeviceChange) {
        m_changeAgain = true;
        return;
    }
    freeParkedDevices();
    m_inDeviceChange = true;
    ScopeExit leave{[this] { m_inDeviceChange = false; }};
    do {
        m_changeAgain = false;
        reconcile();
    } while (m_changeAgain);
    joinRetiredReaders(false);
}

void TJvHidDeviceController::reconcile()
{
    DeviceList fresh = scan();
    const auto inFresh = [&fresh](const TJvHidDevice *device) {
        return std::any_of(fresh.begin(), fresh.end(), [device](const DevicePtr &candidate) {
            return candidate && candidate->m_pnpInfo->DeviceInstance == device->m_pnpInfo->DeviceInstance;
        });
    };
    bool changed = false;

    // Removals, from the last to the first. Handlers may release devices,
    // so each step looks the device up again (by its id: a released
    // object's memory may hold a new one) before touching it.
    for (std::size_t i = m_devices.size(); i-- > 0;) {
        if (i >= m_devices.size())
            continue;
        TJvHidDevice *device = m_devices[i].get();
        if (device->m_present && inFresh(device))
            continue;
        changed = true;
        const std::uint64_t id = device->m_id;
        // Gone first: a reader woken by the closing must not open it again.
        device->m_present = false;
        device->closeHandles();
        const TJvHidPlugEvent unplug = std::move(device->m_unplugHandler);
        device->m_unplugHandler = {};
        if (unplug)
            unplug(device);
        if (m_onRemoval && findDevice(id) != m_devices.end()) {
            const TJvHidPlugEvent removal = m_onRemoval;
            removal(device);
        }
        const auto at = findDevice(id);
        if (at != m_devices.end() && !(*at)->m_claimed)
            m_devices.erase(at);
    }

    // Devices already listed and present are duplicates of the fresh scan.
    for (DevicePtr &candidate : fresh) {
        const bool duplicate = std::any_of(m_devices.begin(), m_devices.end(), [&candidate](const DevicePtr &d) {
            return d->m_present && d->m_pnpInfo->DeviceInstance == candidate->m_pnpInfo->DeviceInstance;
        });
        if (duplicate)
            candidate.reset();
    }

    // Arrivals, in the platform's order.
    for (DevicePtr &candidate : fresh) {
        if (!candidate)
            continue;
        TJvHidDevice *device = candidate.get();
        m_devices.push_back(std::move(candidate));
        changed = true;
        if (m_onArrival) {
            const TJvHidPlugEvent arrival = m_onArrival;
            arrival(device);
        }
    }

    if ((changed || !m_firstChangeDone) && m_onDeviceChange) {
        const TNotifyEvent handler = m_onDeviceChange;
        handler(this);
    }
}

int TJvHidDeviceController::EnumeratePresent()
{
    int count = 0;
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        TJvHidDevice *device = m_devices[i].get();
        if (!device->m_present)
            continue;
        ++count;
        device->m_inEnumeration = true;
        const std::uint64_t id = device->m_id;
        bool goOn = false;
        {
            ScopeExit leave{[this, id] {
                // A handler that released the device put a fresh object here.
                const auto at = findDevice(id);
                if (at != m_devices.end()) {
                    TJvHidDevice *visited = at->get();
                    visited->m_inEnumeration = false;
                    if (!visited->m_claimed)
                        visited->closeHandles();
                }
            }};
            if (m_onEnumerate) {
                const TJvHidEnumerateEvent handler = m_onEnumerate;
                goOn = handler(device, static_cast<int>(i));
            }
        }
        if (!goOn)
            break;
    }
    return count;
}

TJvHidDevice *TJvHidDeviceController::ClaimByIndex(int Idx)
{
    joinRetiredReaders(false);
    freeParkedDevices();
    if (Idx < 0 || static_cast<std::size_t>(Idx) >= m_devices.size())
        return nullptr;
    TJvHidDevice *device = m_devices[static_cast<std::size_t>(Idx)].get();
    if (device->m_claimed)
        return nullptr;
    device->m_claimed = true;
    try {
        device->startReaderIfAllowed();
    } catch (...) {
        // The caller gets no object to release: the claim does not stay.
        device->m_claimed = false;
        device->closeHandles();
        throw;
    }
    return device;
}

void TJvHidDeviceController::ReleaseDevice(TJvHidDevice *HidDev)
{
    freeParkedDevices();
    if (!HidDev || findDevice(HidDev->m_id) == m_devices.end())
        return;
    TJvHidDevice &device = *HidDev;
    if (!device.m_claimed || device.m_releasing)
        return;
    device.m_releasing = true;
    const std::uint64_t id = device.m_id;
    const TJvHidDataEvent dataHandler = device.m_dataHandler;
    const TJvHidPlugEvent unplugHandler = device.m_unplugHandler;
    // Stopping the reader may run a hand-over whose handler changes the
    // list: the entry is looked up again afterwards.
    device.SetDataHandler({});
    device.m_unplugHandler = {};
    device.closeHandles();

    std::optional<EControllerError> failure;
    DevicePtr released;
    const auto at = findDevice(id);
    if (at != m_devices.end()) {
        if (device.m_present) {
            try {
                DevicePtr fresh = makeDevice(std::move(device.m_pnpInfo));
                fresh->m_dataHandler = dataHandler;
                fresh->m_unplugHandler = unplugHandler;
                fresh->m_sleepTime = device.m_sleepTime.load();
                released = std::exchange(*at, std::move(fresh));
            } catch (const EControllerError &error) {
                // The device cannot be opened just now (it is probably
                // going): no entry may point at this object any more.
                released = std::move(*at);
                m_devices.erase(at);
                failure = error;
            }
        } else {
            released = std::move(*at);
            m_devices.erase(at);
        }
    }
    if (released && released->m_stoppingReader > 0) {
        // Released from a handler run while a SetDataHandler frame stops
        // this object's reader: that frame frees it when it returns.
        released->m_parked = true;
        m_parkedDevices.push_back(std::move(released));
    }
    released.reset();
    joinRetiredReaders(false);
    if (failure)
        throw *failure;
}

void TJvHidDeviceController::retireReader(std::shared_ptr<TJvHidDeviceReadThread> reader)
{
    std::lock_guard lock(m_retiredMutex);
    m_retiredReaders.push_back(std::move(reader));
}

void TJvHidDeviceController::joinRetiredReader(const TJvHidDeviceReadThread *reader)
{
    std::shared_ptr<TJvHidDeviceReadThread> joined;
    {
        std::lock_guard lock(m_retiredMutex);
        const auto at = std::find_if(m_retiredReaders.begin(), m_retiredReaders.end(),
                                     [reader](const auto &retired) { return retired.get() == reader; });
        if (at == m_retiredReaders.end())
            return;
        joined = std::move(*at);
        m_retiredReaders.erase(at);
    }
    // Its stop was asked for and its hand-over has returned: it ends at once.
    joined->Join();
}

void TJvHidDeviceController::joinRetiredReaders(bool all)
{
    std::vector<std::shared_ptr<TJvHidDeviceReadThread>> ended;
    {
        std::lock_guard lock(m_retiredMutex);
        const auto keep = std::stable_partition(m_retiredReaders.begin(), m_retiredReaders.end(),
                                                [all](const auto &retired) { return !all && !retired->Ended(); });
        std::move(keep, m_retiredReaders.end(), std::back_inserter(ended));
        m_retiredReaders.erase(keep, m_retiredReaders.end());
    }
    // Outside the lock: a reader still finishing its last hand-over on its
    // own thread may retire itself meanwhile.
    for (const auto &reader : ended)
        reader->Join();
}

void TJvHidDeviceController::freeParkedDevices()
{
    // Out of the list before they go. A parked object has no reader and may
    // start none (it was released), so destroying it runs no handler.
    const auto done = std::stable_partition(m_parkedDevices.begin(), m_parkedDevices.end(),
                                            [](const DevicePtr &device) { return device->m_stoppingReader > 0; });
    DeviceList freed(std::make_move_iterator(done), std::make_move_iterator(m_parkedDevices.end()));
    m_parkedDevices.erase(done, m_parkedDevices.end());
}

int TJvHidDeviceController::NotificationFd() const
{
    return m_available ? m_platform.notificationFd() : -1;
}

bool TJvHidDeviceController::HandleDeviceNotifications()
{
    if (!m_available || !m_platform.takeNotifications())
        return false;
    DeviceChange();
    return true;
}

void TJvHidDeviceController::SetOnDeviceChange(TNotifyEvent handler)
{
    if (handler == m_onDeviceChange)
        return;
    m_onDeviceChange = std::move(handler);
    if (!m_onDeviceChange)
        return;
    DeviceChange();
    m_firstChangeDone = true;
}

void TJvHidDeviceController::SetOnDeviceData(TJvHidDataEvent handler)
{
    const TJvHidDataEvent old = m_onDeviceData;
    // By index: stopping a reader runs its pending hand-over, whose handler
    // may change the list.
    for (std::size_t i = 0; i < m_devices.size(); ++i)
        if (m_devices[i]->m_dataHandler == old)
            m_devices[i]->SetDataHandler(handler);
    m_onDeviceData = std::move(handler);
}

void TJvHidDeviceController::SetOnDeviceDataError(TJvHidDataErrorEvent handler)
{
    for (const DevicePtr &device : m_devices)
        if (device->m_dataErrorHandler == m_onDeviceDataError)
            device->m_dataErrorHandler = handler;
    m_onDeviceDataError = std::move(handler);
}

void TJvHidDeviceController::SetOnDeviceUnplug(TJvHidPlugEvent handler)
{
    for (const DevicePtr &device : m_devices)
        if (device->m_unplugHandler == m_onDeviceUnplug)
            device->m_unplugHandler = handler;
    m_onDeviceUnplug = std::move(handler);
}

void TJvHidDeviceController::SetDevThreadSleepTime(int ms)
{
    if (ms < 10 || ms > 10000 || ms == m_devThreadSleepTime)
        return;
    for (const DevicePtr &device : m_devices)
        if (device->SleepTime() == m_devThreadSleepTime)
            device->SetSleepTime(ms);
    m_devThreadSleepTime = ms;
}

} // namespace tolmar
