#include "link/UsbLink.h"

#include "link/HistoryLog.h"
#include "platform/Prompts.h"

#include <algorithm>
#include <cstdio>

namespace tolmar {

UsbLink::UsbLink(HidPlatform &hid, UiDispatcher &dispatcher, Window window)
    : HidCtl(hid, dispatcher), m_window(std::move(window))
{
    m_dataHandler = [this](TJvHidDevice *, std::uint8_t reportId, const std::uint8_t *data, std::uint16_t size) {
        m_window.peers.HidCtlDeviceData(reportId, data, size);
    };
    HidCtl.SetOnArrival([this](TJvHidDevice *device) { HidCtlArrival(device); });
    HidCtl.SetOnRemoval([this](TJvHidDevice *device) { HidCtlRemoval(device); });
    HidCtl.SetOnEnumerate([this](TJvHidDevice *device, int index) { return HidCtlEnumerate(device, index); });
    HidCtl.SetOnDeviceDataError([this](TJvHidDevice *device, std::uint32_t error) {
        HidCtlDeviceDataError(device, error);
    });
    // Last: this runs the first device-change pass.
    HidCtl.SetOnDeviceChange([this](TJvHidDeviceController *) { HidCtlDeviceChange(); });
}

UsbLink::~UsbLink()
{
    HidCtl.SetOnDeviceDataError({});
    for (const DeviceEntry &entry : DevListBox) {
        if (!entry.device)
            continue;
        entry.device->SetDataHandler(nullptr);
        try {
            HidCtl.ReleaseDevice(entry.device);
        } catch (const EControllerError &) {
            // Gone either way; nobody is left to tell.
        }
    }
    DevListBox.clear();
    dropHold();
}

void UsbLink::log(const std::string &line)
{
    m_window.HistoryListBox.appendNote(line);
}

bool UsbLink::selectDevice()
{
    SelectedDevice = nullptr;
    if (DevListBox.empty() || DevListIndex < 0 || DevListIndex >= static_cast<int>(DevListBox.size()))
        return false;
    SelectedDevice = DevListBox[static_cast<std::size_t>(DevListIndex)].device;
    return true;
}

void UsbLink::releaseToggle()
{
    dropHold();
    USBConDown = false;
    USBConCaption = connectCaption;
    m_window.peers.linkDisconnected();
}

void UsbLink::ReadBtnClick()
{
    if (!selectDevice())
        return;
    // A bridge whose claim was refused has no object: nothing reads from it.
    if (SelectedDevice && SelectedDevice->CanReadWrite())
        SelectedDevice->SetDataHandler(nullptr); // stops the reader and waits for it
}

void UsbLink::SetFeatureClick()
{
    if (!selectDevice()) {
        m_window.prompts.show(PromptIcon::Information, noCableMessage, PromptButtons::Ok);
        releaseToggle();
        return;
    }
    const auto report = configurationReport(baud);
    if (SelectedDevice && mayWrite())
        SelectedDevice->SendFeature(report.data(), report.size()); // the outcome is not looked at
    log(hexBytesLine(report.data() + 1, report.size() - 1));
}

void UsbLink::SendDataClick()
{
    if (!selectDevice()) {
        m_window.prompts.show(PromptIcon::Information, noCableMessage, PromptButtons::Ok);
        releaseToggle();
        m_window.peers.linkChanged();
        return;
    }
    if (!SelectedDevice || !mayWrite())
        return;
    const auto report = requestReport(SelectedDevice->Capabilities().OutputReportByteLength);
    std::size_t written = 0;
    SelectedDevice->WriteReport(report.data(), report.size(), written); // a failed write is not reported
    log(hexBytesLine(report.data() + 1, written > 1 ? std::min(written, report.size()) - 1 : 0));
}

void UsbLink::USBConClick()
{
    ReadBtnClick();
    // Nothing goes to a cable another Tolmar holds, nor to one that is not
    // there under the name the user gave.
    if (USBConDown && ((DevListIndex < 0 && !m_problem.empty()) || !holdSelected())) {
        showNoCable();
        releaseToggle();
        m_window.peers.linkChanged();
        return;
    }
    SetFeatureClick();
    m_window.peers.linkClicked();
    if (!selectDevice() || !SelectedDevice) {
        m_window.peers.linkChanged();
        return;
    }
    if (!SelectedDevice->CanReadWrite()) {
        dropHold();
        USBConDown = false; // opened for queries only: the caption stays
        m_window.peers.linkChanged();
        return;
    }
    if (USBConDown) {
        m_window.peers.linkConnecting();
        ReadBtnClick();
        SendDataClick();
        // The request goes out before the reader starts.
        if (SelectedDevice)
            SelectedDevice->SetDataHandler(m_dataHandler);
        USBConCaption = disconnectCaption;
    } else {
        SelectedDevice->SetDataHandler(nullptr);
        dropHold();
        USBConCaption = connectCaption;
        m_window.peers.linkDisconnected();
    }
    m_window.peers.linkChanged();
}

bool UsbLink::HidCtlEnumerate(TJvHidDevice *HidDev, int Idx)
{
    DeviceEntry entry{DescribeDevice(HidDev->ProductText(), HidDev->SerialText(), HidDev->VendorID(),
                                     HidDev->ProductID()),
                      nullptr};
    const HidInterfaceInfo where{HidDev->PnPInfo().DevicePath, HidDev->PnPInfo().DeviceInstance};
    entry.instance = where.instance;
    entry.port = HidCtl.Platform().port(where);
    // Only bridges are looked at: a look opens the device node.
    if (entry.text == bridgeProduct)
        entry.inUse = HidCtl.Platform().heldElsewhere(where);
    DevListBox.push_back(std::move(entry));
    DevListBox.back().device = HidCtl.ClaimByIndex(Idx);
    return true;
}

void UsbLink::HidCtlDeviceChange()
{
    ReadBtnClick();
    for (const DeviceEntry &entry : DevListBox) {
        if (!entry.device)
            continue;
        try {
            HidCtl.ReleaseDevice(entry.device);
        } catch (const EControllerError &error) {
            // The object is gone either way; a later pass offers the device again.
            log(std::string("RELEASE ERROR: ") + error.what());
        }
    }
    DevListBox.clear();
    DevListIndex = -1;
    SelectedDevice = nullptr; // it was one of the released objects
    HidCtl.EnumeratePresent();
    selectBridge();
    m_window.peers.linkChanged();
}

std::vector<int> UsbLink::bridgeIndexes() const
{
    // The bridge is the entry described exactly "USB to Serial": a device
    // with a serial number string is described otherwise.
    std::vector<int> found;
    for (std::size_t i = 0; i < DevListBox.size(); ++i)
        if (DevListBox[i].text == bridgeProduct)
            found.push_back(static_cast<int>(i));
    return found;
}

void UsbLink::selectBridge()
{
    DevListIndex = -1;
    m_problem.clear();
    // A held cable that is still there stays this link's, whatever came.
    if (m_hold) {
        for (std::size_t i = 0; i < DevListBox.size(); ++i) {
            if (DevListBox[i].instance == m_holdInstance) {
                DevListIndex = static_cast<int>(i);
                return;
            }
        }
        dropHold();
    }
    const std::vector<int> bridges = bridgeIndexes();
    if (!m_chosen.empty()) {
        for (const int i : bridges)
            if (DevListBox[static_cast<std::size_t>(i)].port == m_chosen)
                DevListIndex = i;
        const auto index = m_chosen.find_first_not_of("0123456789") == std::string::npos && m_chosen.size() < 9
            ? std::stoi(m_chosen)
            : -1;
        if (DevListIndex < 0 && std::find(bridges.begin(), bridges.end(), index) != bridges.end())
            DevListIndex = index;
        if (DevListIndex < 0)
            m_problem = "No meter cable at \"" + m_chosen + "\" (tolmar-cli devices lists the cables).";
        return;
    }
    // The last one wins, among those no other Tolmar holds; with every one
    // held the last one still, whose connect then tells that it is in use.
    for (const int i : bridges)
        if (!DevListBox[static_cast<std::size_t>(i)].inUse)
            DevListIndex = i;
    if (DevListIndex < 0 && !bridges.empty())
        DevListIndex = bridges.back();
}

void UsbLink::refreshInUse()
{
    for (const int i : bridgeIndexes()) {
        DeviceEntry &entry = DevListBox[static_cast<std::size_t>(i)];
        if (!entry.device || (m_hold && entry.instance == m_holdInstance)) {
            entry.inUse = false;
            continue;
        }
        const TJvHidPnPInfo &info = entry.device->PnPInfo();
        entry.inUse = HidCtl.Platform().heldElsewhere({info.DevicePath, info.DeviceInstance});
    }
}

bool UsbLink::chooseDevice(const std::string &id)
{
    if (USBConDown)
        return false;
    m_chosen = id;
    dropHold();
    selectBridge();
    m_window.peers.linkChanged();
    return true;
}

bool UsbLink::holdSelected()
{
    if (DevListIndex < 0)
        return true; // no cable: SetFeatureClick tells so
    // 1: held; 0: another Tolmar holds it; -1: no hold to be had (no
    // permission, a platform without holds): the link goes on without.
    const auto tryHold = [this](int index) {
        const DeviceEntry &entry = DevListBox[static_cast<std::size_t>(index)];
        if (!entry.device)
            return -1;
        if (m_hold && m_holdInstance == entry.instance)
            return 1;
        dropHold();
        std::uint32_t error = 0;
        const TJvHidPnPInfo &info = entry.device->PnPInfo();
        m_hold = HidCtl.Platform().hold({info.DevicePath, info.DeviceInstance}, error);
        if (m_hold) {
            m_holdInstance = entry.instance;
            return 1;
        }
        return error == HidPlatform::heldError ? 0 : -1;
    };
    const int selected = DevListIndex;
    if (tryHold(selected) != 0)
        return true;
    DevListBox[static_cast<std::size_t>(selected)].inUse = true;
    if (m_chosen.empty()) {
        // Taken by another Tolmar since the list was made: the next one
        // from the last that can be held.
        const std::vector<int> bridges = bridgeIndexes();
        for (auto i = bridges.rbegin(); i != bridges.rend(); ++i) {
            if (*i != selected && !DevListBox[static_cast<std::size_t>(*i)].inUse && tryHold(*i) == 1) {
                DevListIndex = *i;
                return true;
            }
        }
    }
    m_problem = "The cable at " + cableName(selected) + " is in use by another Tolmar.";
    return false;
}

bool UsbLink::mayWrite()
{
    if (m_hold || DevListIndex < 0)
        return true;
    const DeviceEntry &entry = DevListBox[static_cast<std::size_t>(DevListIndex)];
    if (!entry.device)
        return true;
    const TJvHidPnPInfo &info = entry.device->PnPInfo();
    return !HidCtl.Platform().heldElsewhere({info.DevicePath, info.DeviceInstance});
}

void UsbLink::dropHold()
{
    m_hold.reset();
    m_holdInstance.clear();
}

void UsbLink::showNoCable()
{
    m_window.prompts.show(PromptIcon::Information,
                          m_problem.empty() ? std::string(noCableMessage) : noCableMessage + std::string("\n\n") + m_problem,
                          PromptButtons::Ok);
}

std::string UsbLink::cableName(int index) const
{
    if (index < 0 || index >= static_cast<int>(DevListBox.size()))
        return {};
    const std::string &port = DevListBox[static_cast<std::size_t>(index)].port;
    return port.empty() ? "#" + std::to_string(index) : port;
}

std::string UsbLink::captionSuffix() const
{
    if (bridgeIndexes().size() < 2 || DevListIndex < 0)
        return {};
    return " - cable " + cableName(DevListIndex);
}

void UsbLink::HidCtlArrival(TJvHidDevice *HidDev)
{
    log("Arrival of " + DescribeDevice(HidDev->ProductText(), HidDev->SerialText(), HidDev->VendorID(),
                                       HidDev->ProductID()));
}

void UsbLink::HidCtlRemoval(TJvHidDevice *HidDev)
{
    log("Removal of " + DescribeDevice(HidDev->ProductText(), HidDev->SerialText(), HidDev->VendorID(),
                                       HidDev->ProductID()));
    USBConDown = false; // the caption stays
    m_window.peers.linkChanged();
}

void UsbLink::HidCtlDeviceDataError(TJvHidDevice *, std::uint32_t Error)
{
    char code[16];
    std::snprintf(code, sizeof code, "%X", Error);
    log("READ ERROR: " + HidCtl.Platform().errorText(Error) + " (" + code + ")");
}

void UsbLink::watchIdle()
{
    UsbLinkPeers &peers = m_window.peers;
    if (peers.requestIdleCount() >= requestAgainAfter) {
        SendDataClick();
        peers.requestResent();
    }
    // The message box runs its own event loop, in which the link timer goes
    // on ticking: while it is open a second one would pile on top of it.
    if (peers.timeoutIdleCount() >= disconnectAfter && !m_silentMeterMessageOpen) {
        peers.meterSilent();
        m_silentMeterMessageOpen = true;
        m_window.prompts.show(PromptIcon::Information, silentMeterMessage, PromptButtons::Ok);
        m_silentMeterMessageOpen = false;
        if (SelectedDevice)
            SelectedDevice->SetDataHandler(nullptr);
        releaseToggle();
    }
}

} // namespace tolmar
