#include "link/UsbLink.h"

#include "link/HistoryLog.h"
#include "platform/Prompts.h"

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
    if (SelectedDevice)
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
    if (!SelectedDevice)
        return;
    const auto report = requestReport(SelectedDevice->Capabilities().OutputReportByteLength);
    std::size_t written = 0;
    SelectedDevice->WriteReport(report.data(), report.size(), written); // a failed write is not reported
    log(hexBytesLine(report.data() + 1, written > 1 ? std::min(written, report.size()) - 1 : 0));
}

void UsbLink::USBConClick()
{
    ReadBtnClick();
    SetFeatureClick();
    m_window.peers.linkClicked();
    if (!selectDevice() || !SelectedDevice) {
        m_window.peers.linkChanged();
        return;
    }
    if (!SelectedDevice->CanReadWrite()) {
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
        USBConCaption = connectCaption;
        m_window.peers.linkDisconnected();
    }
    m_window.peers.linkChanged();
}

bool UsbLink::HidCtlEnumerate(TJvHidDevice *HidDev, int Idx)
{
    DevListBox.push_back({DescribeDevice(HidDev->ProductText(), HidDev->SerialText(), HidDev->VendorID(),
                                         HidDev->ProductID()),
                          nullptr});
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
    // The bridge is the entry described exactly "USB to Serial": a device
    // with a serial number string is described otherwise. The last one wins.
    for (std::size_t i = 0; i < DevListBox.size(); ++i)
        if (DevListBox[i].text == bridgeProduct)
            DevListIndex = static_cast<int>(i);
    m_window.peers.linkChanged();
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
