#pragma once

#include "link/BridgeReports.h"
#include "link/JvHidControllerClass.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tolmar {

class HistoryLog;
class Prompts;
class UiDispatcher;

// What the link tells the main window, which wires the frame assembly, the
// recording timers and the link lamp to it. Every call comes on the UI thread.
class UsbLinkPeers {
public:
    // Every input report of the connected bridge.
    virtual void HidCtlDeviceData(std::uint8_t reportId, const std::uint8_t *data, std::size_t size) = 0;
    // A click on the toggle, once the bridge was configured: reception starts
    // afresh, so both counts of reports without meter bytes start from 0.
    virtual void linkClicked() = 0;
    // The toggle goes down on a bridge that reads; the request for the first
    // frame goes out next.
    virtual void linkConnecting() = 0;
    // The toggle went up: by a click, for want of a cable, or after a silent
    // meter (a removal only lets it up and is not told here).
    virtual void linkDisconnected() = 0;
    // The counts of reports without meter bytes in a row (a report with
    // meter bytes restarts both); the first also restarts when the request is
    // resent, the second when silence is told.
    virtual long requestIdleCount() const = 0;
    virtual long timeoutIdleCount() const = 0;
    // The request went out again after too many reports without meter bytes.
    virtual void requestResent() = 0;
    // The meter stayed silent too long; told before its message box shows,
    // after which the link disconnects.
    virtual void meterSilent() = 0;
    // What the window shows of the link changed.
    virtual void linkChanged() = 0;

protected:
    ~UsbLinkPeers() = default;
};

// The main window's side of the meter link: the HID devices present, the
// bridge picked among them by its product string, connecting and
// disconnecting, the bridge's configuration and the request for each frame,
// the watch over a silent meter, and the link log.
class UsbLink {
public:
    static constexpr const char *bridgeProduct = "USB to Serial";
    static constexpr const char *noCableMessage = "USB interface cable is not securely connected, please check and re-try.";
    static constexpr const char *silentMeterMessage =
        "USB interface cable is securely connected, please check if the meter is ready.";
    static constexpr const char *connectCaption = "USB Connection";
    static constexpr const char *disconnectCaption = "USB Disconnect";
    static constexpr long requestAgainAfter = 600;  // reports without meter bytes
    static constexpr long disconnectAfter = 3000;

    struct DeviceEntry {
        std::string text;     // DescribeDevice
        TJvHidDevice *device; // the claimed object, or none when the claim was refused
        std::string port = {}; // where it is plugged in; empty when the platform cannot tell
        bool inUse = false;    // a bridge another Tolmar held when the list was made
        std::string instance = {};
    };

    // What the link needs of the main window.
    struct Window {
        Prompts &prompts;
        HistoryLog &HistoryListBox;
        UsbLinkPeers &peers;
    };

    // Creates the controller and attaches its handlers; attaching the
    // device-change handler runs the first pass, which fills the device list
    // and selects the bridge.
    UsbLink(HidPlatform &hid, UiDispatcher &dispatcher, Window window);
    // Stops reading and gives every claimed device back before the
    // controller goes, so no report reaches a window that is gone.
    ~UsbLink();
    UsbLink(const UsbLink &) = delete;
    UsbLink &operator=(const UsbLink &) = delete;

    // Handlers.
    void USBConClick();
    void SetFeatureClick();
    void SendDataClick();
    void ReadBtnClick();
    bool HidCtlEnumerate(TJvHidDevice *HidDev, int Idx);
    void HidCtlDeviceChange();
    void HidCtlArrival(TJvHidDevice *HidDev);
    void HidCtlRemoval(TJvHidDevice *HidDev);
    void HidCtlDeviceDataError(TJvHidDevice *HidDev, std::uint32_t Error);
    // The link timer's look at the meter, every third tick without a frame
    // in between: the request goes out again after 600 reports without meter
    // bytes; after 3000 the meter is silent and the link disconnects.
    void watchIdle();

    // The cable to take: its port, or its index in the device list (as
    // `tolmar-cli devices` numbers it); empty: the rule of the last free
    // bridge. Only while disconnected (false otherwise); takes effect at once.
    bool chooseDevice(const std::string &id);
    const std::string &chosenDevice() const { return m_chosen; }
    // The bridges in the list (the entries that may be chosen), by index.
    std::vector<int> bridgeIndexes() const;
    // How the window and the messages name entry `index`: its port, else
    // "#index".
    std::string cableName(int index) const;
    // " - cable <name>" for the window's title when more than one bridge is
    // present, else nothing: with one cable the title stays as it was.
    std::string captionSuffix() const;
    // Looks again which bridges other Tolmars hold (DeviceEntry::inUse).
    void refreshInUse();
    // Whether this link holds its cable (from the connect to the disconnect).
    bool holdsCable() const { return m_hold != nullptr; }

    // The toggle: the user's click flips it before USBConClick runs.
    bool USBConDown = false;
    std::string USBConCaption = connectCaption;
    BaudOptions baud;         // B2400, B4800, B9600
    std::vector<DeviceEntry> DevListBox;
    int DevListIndex = -1;    // the selected entry, -1 for none
    TJvHidDevice *SelectedDevice = nullptr;

    TJvHidDeviceController HidCtl;

private:
    // Sets SelectedDevice to the selected entry's device; false (and none)
    // when the list is empty or nothing is selected.
    bool selectDevice();
    // Picks DevListIndex after a pass or a choice: the held cable while it
    // is present, else the chosen one, else the last "USB to Serial" entry not
    // in use by another Tolmar (the last one at all when every one is).
    void selectBridge();
    // Takes the hold on the selected cable before anything is sent to it;
    // false (and m_problem says why) when another Tolmar holds it.
    bool holdSelected();
    void dropHold();
    void showNoCable();
    // Whether requests may go to the selected cable: held here, or held by
    // no other Tolmar.
    bool mayWrite();
    void releaseToggle(); // USBCon up, "USB Connection", then linkDisconnected
    void log(const std::string &line);

    Window m_window;
    TJvHidDataEvent m_dataHandler; // one object, so attaching and detaching match
    bool m_silentMeterMessageOpen = false;
    std::string m_chosen;   // chooseDevice()
    std::string m_problem;  // why the chosen cable cannot be had; named in the no-cable message
    std::unique_ptr<HidHold> m_hold;
    std::string m_holdInstance; // the instance m_hold is for
};

} // namespace tolmar
