#pragma once

#include "link/BridgeReports.h"
#include "link/JvHidControllerClass.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tolmar {

class FrameAssembler;
class HistoryLog;
class Prompts;
class Timer;
class UiDispatcher;
struct LcdState;

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
    };

    // What the link needs of the main window.
    struct Window {
        Prompts &prompts;
        HistoryLog &HistoryListBox;
        FrameAssembler &assembler; // the idle counts and the open burst
        LcdState &lcd;             // the link lamp CONok / CONokN
        int &ConTickCount;
        Timer &Timer1;             // the recording timers, switched off with the link
        Timer &Timer2;
        // Every input report of the connected bridge.
        std::function<void(std::uint8_t reportId, const std::uint8_t *data, std::size_t size)> HidCtlDeviceData;
        std::function<void()> changed;
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
    void ConTimerTimer();

    // The toggle: the user's click flips it before USBConClick runs.
    bool USBConDown = false;
    std::string USBConCaption = connectCaption;
    bool ReadBtnDown = false; // the hidden Read toggle, never down
    BaudOptions baud;         // B2400, B4800, B9600
    std::vector<DeviceEntry> DevListBox;
    int DevListIndex = -1;    // the selected entry, -1 for none
    TJvHidDevice *SelectedDevice = nullptr;

    TJvHidDeviceController HidCtl;

private:
    // Sets SelectedDevice to the selected entry's device; false (and none)
    // when the list is empty or nothing is selected.
    bool selectDevice();
    void releaseToggle(); // USBCon up, "USB Connection", recording timers off
    void log(const std::string &line);

    Window m_window;
    TJvHidDataEvent m_dataHandler; // one object, so attaching and detaching match
    bool m_silentMeterMessageOpen = false;
};

} // namespace tolmar
