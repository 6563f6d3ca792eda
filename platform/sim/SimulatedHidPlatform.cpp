#include "platform/sim/SimulatedHidPlatform.h"

#include "platform/System.h"
#include "platform/SystemFiles.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <system_error>

namespace tolmar {

namespace {

// Where a reader stands, as far as the lock-step runs need to know.
enum class Phase {
    Fresh,       // opened, no read started yet
    Outstanding, // a read started: the reader is waiting for a report
    Busy,        // a read ended (or failed to start): the reader is handing it over
    Cancelled,   // the reader stopped
};

struct ReadQueue {
    std::string instance;
    std::deque<sim::InputReport> reports;
    Phase phase = Phase::Fresh;
    bool woken = false;
    bool shutdown = false;
    std::uint8_t *buffer = nullptr;
    std::size_t length = 0;
    std::size_t result = 0;
};

// Cable k (from 0): its path, its instance at its n-th attach, its port.
std::string cableSuffix(std::size_t cable)
{
    return cable == 0 ? std::string() : "-" + std::to_string(cable + 1);
}

std::string instanceName(std::size_t cable, int attach)
{
    return "sim/usb-to-serial" + cableSuffix(cable) + "/attach-" + std::to_string(attach);
}

sim::Options cableOptions(const sim::Options &options, std::size_t cable)
{
    sim::Options own = options;
    own.seed = options.seed + cable;
    own.startMode = (options.startMode + cable * options.cableModeStep) % sim::SimulatedMeter::modes().size();
    return own;
}

struct Cable {
    Cable(const sim::Options &options, std::size_t index, std::int64_t startMs)
        : path(SimulatedHidPlatform::devicePath + cableSuffix(index))
        , port("sim-" + std::to_string(index + 1))
        , bridge(cableOptions(options, index), startMs)
        , instance(instanceName(index, 1))
    {
    }
    const std::string path;
    const std::string port;
    sim::SimulatedBridge bridge;
    bool plugged = true;
    int attach = 1;
    std::string instance;
};

// A lock without waiting, tried a few times: another process that only
// looks whether the cable is held keeps a shared lock for a moment.
bool lockWithin(SystemFile &file, SystemFile::Lock lock)
{
    for (int attempt = 0;; ++attempt) {
        if (file.tryLock(lock))
            return true;
        if (file.error() != std::errc::operation_would_block || attempt == 3)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::uint32_t errorNumber(const std::error_code &error)
{
    return static_cast<std::uint32_t>(error.category() == std::generic_category() ? error.value() : EIO);
}

} // namespace

struct SimulatedHidPlatform::State {
    State(const sim::Options &options, Clock clock)
        : options(options)
        , clock(std::move(clock))
    {
        const std::int64_t startMs = this->clock ? this->clock() : 0;
        for (int i = 0; i < std::max(1, options.cables); ++i)
            cables.emplace_back(options, static_cast<std::size_t>(i), startMs);
    }

    // Real-time mode: the bridge catches up with the clock.
    void sync()
    {
        if (clock)
            advance(clock());
    }

    void advance(std::int64_t nowMs)
    {
        bool produced = false;
        for (Cable &cable : cables) {
            cable.bridge.advanceTo(nowMs, [this, &cable, &produced](const sim::InputReport &report) {
                if (!cable.plugged)
                    return;
                for (ReadQueue *queue : queues) {
                    // Full: the report is lost, as hidraw drops it.
                    if (queue->instance == cable.instance && !queue->shutdown
                        && queue->reports.size() < queueLimit) {
                        queue->reports.push_back(report);
                        produced = true;
                    }
                }
            });
        }
        if (produced)
            changed.notify_all();
    }

    bool alive(const std::string &of) const
    {
        for (const Cable &cable : cables)
            if (cable.plugged && cable.instance == of)
                return true;
        return false;
    }

    Cable *cableAt(const std::string &path)
    {
        for (Cable &cable : cables)
            if (cable.path == path)
                return &cable;
        return nullptr;
    }

    void notifyChange()
    {
        deviceChanged = true;
        if (notifier)
            notifier->signal();
        changed.notify_all();
    }

    void activity() const
    {
        if (activityListener)
            activityListener();
    }

    // Guards everything below, the queues of all handles included.
    mutable std::mutex mutex;
    std::condition_variable changed;
    const sim::Options options;
    const Clock clock;
    std::deque<Cable> cables; // never resized after the start: handles keep references
    std::vector<ReadQueue *> queues;
    std::set<std::string> held; // the lock files this platform holds
    int failStarts = 0;
    bool deviceChanged = false;
    std::unique_ptr<Wakeup> notifier; // while notifications run
    std::function<void()> activityListener;
};

namespace {

void copyText(const std::string &ascii, char16_t *buffer, std::size_t units)
{
    const std::size_t count = std::min(ascii.size(), units);
    for (std::size_t i = 0; i < count; ++i)
        buffer[i] = static_cast<unsigned char>(ascii[i]);
    if (count < units)
        buffer[count] = 0;
}

class SimulatedHandle final : public HidHandle {
public:
    using State = SimulatedHidPlatform::State;

    SimulatedHandle(std::shared_ptr<State> state, Cable &cable, std::string instance, HidAccess access)
        : m_state(std::move(state))
        , m_cable(cable)
        , m_instance(std::move(instance))
        , m_access(access)
    {
        m_queue.instance = m_instance;
        if (m_access == HidAccess::AsyncRead)
            m_state->queues.push_back(&m_queue); // the platform holds the lock
    }

    ~SimulatedHandle() override
    {
        std::lock_guard lock(m_state->mutex);
        auto &queues = m_state->queues;
        queues.erase(std::remove(queues.begin(), queues.end(), &m_queue), queues.end());
    }

    bool attributes(HidAttributes &attributes) override
    {
        std::lock_guard lock(m_state->mutex);
        if (!usable())
            return false;
        attributes.VendorID = SimulatedHidPlatform::vendorId;
        attributes.ProductID = SimulatedHidPlatform::productId;
        attributes.VersionNumber = SimulatedHidPlatform::versionNumber;
        return true;
    }

    bool productString(char16_t *buffer, std::size_t units) override
    {
        std::lock_guard lock(m_state->mutex);
        if (!usable())
            return false;
        copyText(SimulatedHidPlatform::productName, buffer, units);
        return true;
    }

    bool serialNumberString(char16_t *buffer, std::size_t units) override
    {
        std::lock_guard lock(m_state->mutex);
        if (!usable() || m_state->options.serialNumber.empty())
            return false;
        copyText(m_state->options.serialNumber, buffer, units);
        return true;
    }

    bool indexedString(unsigned index, char16_t *buffer, std::size_t units) override
    {
        std::lock_guard lock(m_state->mutex);
        if (!usable() || index != 0 || units == 0)
            return false;
        copyText(std::string(), buffer + 1, units - 1);
        buffer[0] = 0x0409; // US English
        return true;
    }

    std::optional<HidReportLengths> reportLengths() override
    {
        std::lock_guard lock(m_state->mutex);
        if (!usable())
            return std::nullopt;
        return SimulatedHidPlatform::bridgeReportLengths;
    }

    bool setFeature(const std::uint8_t *report, std::size_t length) override
    {
        std::lock_guard lock(m_state->mutex);
        if (!usable() || m_access != HidAccess::ReadWrite)
            return false;
        m_state->sync();
        return m_cable.bridge.setFeature(report, length);
    }

    bool write(const std::uint8_t *report, std::size_t length, std::size_t &written) override
    {
        written = 0;
        std::lock_guard lock(m_state->mutex);
        if (!usable() || m_access != HidAccess::ReadWrite)
            return false;
        m_state->sync();
        if (!m_cable.bridge.write(report, length))
            return false;
        written = length;
        return true;
    }

    std::uint32_t startRead(std::uint8_t *buffer, std::size_t length) override
    {
        std::lock_guard lock(m_state->mutex);
        m_queue.phase = Phase::Busy;
        m_state->activity();
        if (m_queue.shutdown)
            return SimulatedHidPlatform::errorBadHandle;
        if (!m_state->alive(m_instance))
            return SimulatedHidPlatform::errorNoDevice;
        if (m_state->failStarts > 0) {
            --m_state->failStarts;
            return SimulatedHidPlatform::errorIo;
        }
        if (length < 2)
            return EINVAL;
        m_queue.buffer = buffer;
        m_queue.length = length;
        m_queue.result = 0;
        m_queue.phase = Phase::Outstanding;
        return 0;
    }

    HidWait waitRead(int timeoutMs) override
    {
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
        std::unique_lock lock(m_state->mutex);
        for (;;) {
            m_state->sync();
            if (m_queue.phase != Phase::Outstanding) {
                m_queue.result = 0; // nothing started: nothing to wait for
                return HidWait::Completed;
            }
            if (m_queue.shutdown || !m_state->alive(m_instance))
                return complete(0);
            if (!m_queue.reports.empty()) {
                const sim::InputReport report = m_queue.reports.front();
                m_queue.reports.pop_front();
                const std::size_t bytes = std::min(m_queue.length, report.size());
                std::copy_n(report.begin(), bytes, m_queue.buffer);
                return complete(bytes);
            }
            if (m_queue.woken) {
                m_queue.woken = false;
                return HidWait::Pending;
            }
            const auto now = steady_clock::now();
            if (now >= deadline)
                return HidWait::Pending;
            // With a clock the next report is due within a millisecond.
            const auto until = m_state->clock ? std::min(deadline, now + milliseconds(1)) : deadline;
            m_state->changed.wait_until(lock, until);
        }
    }

    std::size_t readResult() override
    {
        std::lock_guard lock(m_state->mutex);
        return m_queue.result;
    }

    void cancelRead() override
    {
        std::lock_guard lock(m_state->mutex);
        m_queue.phase = Phase::Cancelled;
        m_state->activity();
    }

    void wake() override
    {
        std::lock_guard lock(m_state->mutex);
        m_queue.woken = true;
        m_state->changed.notify_all();
    }

    void shutdown() override
    {
        std::lock_guard lock(m_state->mutex);
        m_queue.shutdown = true;
        m_state->changed.notify_all();
        m_state->activity();
    }

private:
    bool usable() const { return !m_queue.shutdown && m_state->alive(m_instance); }

    HidWait complete(std::size_t bytes)
    {
        m_queue.result = bytes;
        m_queue.phase = Phase::Busy;
        m_state->activity();
        return HidWait::Completed;
    }

    const std::shared_ptr<State> m_state;
    Cable &m_cable; // lives as long as the state
    const std::string m_instance;
    const HidAccess m_access;
    ReadQueue m_queue; // under the state's lock; registered only for AsyncRead
};

} // namespace

SimulatedHidPlatform::SimulatedHidPlatform(sim::Options options, Clock clock)
    : m_state(std::make_shared<State>(options, std::move(clock)))
{
}

SimulatedHidPlatform::~SimulatedHidPlatform()
{
    stopNotifications();
}

SimulatedHidPlatform::Clock SimulatedHidPlatform::steadyClock()
{
    return [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    };
}

std::vector<HidInterfaceInfo> SimulatedHidPlatform::listInterfaces()
{
    std::lock_guard lock(m_state->mutex);
    m_state->sync();
    std::vector<HidInterfaceInfo> list;
    for (const Cable &cable : m_state->cables)
        if (cable.plugged)
            list.push_back({cable.path, cable.instance});
    return list;
}

std::unique_ptr<HidHandle> SimulatedHidPlatform::open(const HidInterfaceInfo &device, HidAccess access,
                                                      std::uint32_t &error)
{
    std::lock_guard lock(m_state->mutex);
    Cable *cable = m_state->cableAt(device.path);
    if (!cable || !cable->plugged || cable->instance != device.instance) {
        error = errorNoDevice;
        return nullptr;
    }
    if (access != HidAccess::QueryOnly && !m_state->options.readWriteAccess) {
        error = EACCES;
        return nullptr;
    }
    return std::make_unique<SimulatedHandle>(m_state, *cable, device.instance, access);
}

std::string SimulatedHidPlatform::port(const HidInterfaceInfo &device)
{
    std::lock_guard lock(m_state->mutex);
    const Cable *cable = m_state->cableAt(device.path);
    return cable ? cable->port : std::string();
}

namespace {

class LockFileHold final : public HidHold {
public:
    LockFileHold(SystemFile file, std::string name, std::function<void(const std::string &)> forget)
        : m_file(std::move(file))
        , m_name(std::move(name))
        , m_forget(std::move(forget))
    {
    }
    ~LockFileHold() override
    {
        m_file.close(); // the lock goes with the file
        m_forget(m_name);
    }

private:
    SystemFile m_file;
    const std::string m_name;
    const std::function<void(const std::string &)> m_forget;
};

} // namespace

std::unique_ptr<HidHold> SimulatedHidPlatform::hold(const HidInterfaceInfo &device, std::uint32_t &error)
{
    std::lock_guard lock(m_state->mutex);
    const Cable *cable = m_state->cableAt(device.path);
    if (!cable || !cable->plugged) {
        error = errorNoDevice;
        return nullptr;
    }
    if (m_state->options.lockFolder.empty())
        return std::make_unique<HidHold>();
    if (m_state->held.count(cable->port)) {
        error = heldError; // held here already: one hold at a time
        return nullptr;
    }
    const std::string file = m_state->options.lockFolder + "/" + cable->port + ".lock";
    SystemFile lockFile = SystemFile::open(
        file, SystemFile::Read | SystemFile::Write | SystemFile::Create | SystemFile::NoFollow | SystemFile::Private);
    if (!lockFile.isOpen()) {
        error = errorNumber(lockFile.error());
        return nullptr;
    }
    if (!lockWithin(lockFile, SystemFile::Lock::Exclusive)) {
        error = lockFile.error() == std::errc::operation_would_block ? heldError : errorNumber(lockFile.error());
        return nullptr;
    }
    m_state->held.insert(cable->port);
    std::weak_ptr<State> weak = m_state;
    return std::make_unique<LockFileHold>(std::move(lockFile), cable->port, [weak](const std::string &name) {
        if (const auto state = weak.lock()) {
            std::lock_guard lock(state->mutex);
            state->held.erase(name);
        }
    });
}

bool SimulatedHidPlatform::heldElsewhere(const HidInterfaceInfo &device)
{
    std::lock_guard lock(m_state->mutex);
    const Cable *cable = m_state->cableAt(device.path);
    if (!cable || m_state->options.lockFolder.empty() || m_state->held.count(cable->port))
        return false;
    const std::string file = m_state->options.lockFolder + "/" + cable->port + ".lock";
    SystemFile lockFile = SystemFile::open(file, SystemFile::Read | SystemFile::NoFollow);
    if (!lockFile.isOpen())
        return false; // no file: never held
    // A shared lock is refused only while someone holds the cable.
    return !lockFile.tryLock(SystemFile::Lock::Shared) && lockFile.error() == std::errc::operation_would_block;
}

std::string SimulatedHidPlatform::runtimeLockFolder()
{
    return runtimeFolder();
}

sim::Options SimulatedHidPlatform::sharedCables(int cables)
{
    sim::Options options;
    options.cables = cables;
    if (cables > 1)
        options.lockFolder = runtimeLockFolder();
    return options;
}

std::size_t SimulatedHidPlatform::cables() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->cables.size();
}

std::string SimulatedHidPlatform::errorText(std::uint32_t code) const
{
    // The errors are errno values on every system.
    return std::generic_category().message(static_cast<int>(code));
}

void SimulatedHidPlatform::startNotifications()
{
    std::lock_guard lock(m_state->mutex);
    if (!m_state->notifier) {
        m_state->notifier = std::make_unique<Wakeup>();
        if (!m_state->notifier->ok())
            m_state->notifier.reset();
    }
}

void SimulatedHidPlatform::stopNotifications()
{
    std::lock_guard lock(m_state->mutex);
    m_state->notifier.reset();
}

int SimulatedHidPlatform::notificationFd() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->notifier ? m_state->notifier->fd() : -1;
}

bool SimulatedHidPlatform::takeNotifications()
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->notifier)
        m_state->notifier->clear();
    const bool changed = m_state->deviceChanged;
    m_state->deviceChanged = false;
    return changed;
}

void SimulatedHidPlatform::advanceTo(std::int64_t nowMs)
{
    std::lock_guard lock(m_state->mutex);
    m_state->advance(nowMs);
}

std::int64_t SimulatedHidPlatform::nowMs() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->cables.front().bridge.nowMs();
}

void SimulatedHidPlatform::unplug(std::size_t cable)
{
    std::lock_guard lock(m_state->mutex);
    m_state->sync();
    Cable &c = m_state->cables.at(cable);
    if (!c.plugged)
        return;
    c.plugged = false;
    c.bridge.reset();
    m_state->notifyChange();
}

void SimulatedHidPlatform::replug(std::size_t cable)
{
    std::lock_guard lock(m_state->mutex);
    m_state->sync();
    Cable &c = m_state->cables.at(cable);
    if (c.plugged)
        return;
    c.plugged = true;
    c.instance = instanceName(cable, ++c.attach);
    m_state->notifyChange();
}

bool SimulatedHidPlatform::plugged(std::size_t cable) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->cables.at(cable).plugged;
}

void SimulatedHidPlatform::setMeterSilent(bool silent, std::size_t cable)
{
    std::lock_guard lock(m_state->mutex);
    m_state->sync();
    m_state->cables.at(cable).bridge.setMeterSilent(silent);
}

void SimulatedHidPlatform::injectGarbage(std::size_t bytes, std::size_t cable)
{
    std::lock_guard lock(m_state->mutex);
    m_state->sync();
    m_state->cables.at(cable).bridge.injectGarbage(bytes);
}

void SimulatedHidPlatform::failReadStarts(int count)
{
    std::lock_guard lock(m_state->mutex);
    m_state->failStarts = std::max(0, count);
}

void SimulatedHidPlatform::setMode(std::size_t mode, std::size_t cable)
{
    std::lock_guard lock(m_state->mutex);
    m_state->cables.at(cable).bridge.meter().setMode(mode);
}

std::size_t SimulatedHidPlatform::mode(std::size_t cable) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->cables.at(cable).bridge.meter().mode();
}

std::vector<sim::SentFrame> SimulatedHidPlatform::sentFrames(std::size_t cable) const
{
    std::lock_guard lock(m_state->mutex);
    const auto &frames = m_state->cables.at(cable).bridge.sentFrames();
    return {frames.begin(), frames.end()};
}

bool SimulatedHidPlatform::configured(std::size_t cable) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->cables.at(cable).bridge.configured();
}

bool SimulatedHidPlatform::readersCaughtUp() const
{
    std::lock_guard lock(m_state->mutex);
    for (const ReadQueue *queue : m_state->queues) {
        if (queue->shutdown || queue->phase == Phase::Cancelled || !m_state->alive(queue->instance))
            continue;
        if (queue->phase == Phase::Busy || !queue->reports.empty())
            return false;
    }
    return true;
}

void SimulatedHidPlatform::setActivityListener(std::function<void()> listener)
{
    std::lock_guard lock(m_state->mutex);
    m_state->activityListener = std::move(listener);
}

} // namespace tolmar
