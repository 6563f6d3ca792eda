#pragma once

#include "link/HistoryLog.h"
#include "meter/FrameDecoder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tolmar {

// Turns the bridge's input reports into the meter's frame text (the data
// handler HidCtlDeviceData). The first data byte of a report holds the payload
// count in its low four bits: 1..9 bytes follow; 0 and A..F mean none. The
// payload of consecutive data-bearing reports is a burst; the next report
// without payload closes it. A burst starting with the start byte "5A" begins
// a new frame text, any other burst extends it. A frame text of exactly a
// short or a long frame's length runs the display update, then asks the meter
// for the next frame.
class FrameAssembler {
public:
    struct Calls {
        // The display update of a complete frame; the error that stopped it.
        std::function<std::optional<DecodeError>(const std::string &frameText)> lcdDisplay;
        // Clicks SendData: the request for the next frame.
        std::function<void()> sendData;
    };

    // statusPanel1 is the status bar's second panel ("Receive Data length:");
    // history is the link log, which gets every data-bearing report.
    FrameAssembler(std::string &statusPanel1, HistoryLog &history, Calls calls);

    void HidCtlDeviceData(std::uint8_t reportId, const std::uint8_t *data, std::size_t size);

    // The frame being assembled or the last complete one. Once it is longer
    // than a long frame it can never decode and only its length still counts,
    // so nothing past that is stored (a meter sending garbage for days must
    // not fill the memory).
    const std::string &ReadingFrame() const { return m_frame; }
    std::size_t ReadingFrameLength() const { return m_frameLength; }

    // Reception starts afresh: both idle counts from 0.
    void restartIdleCounts() { TimeoutIdleCount = RequestIdleCount = 0; }
    // Drops a burst cut off by a disconnect whole: left open, the first
    // report without payload after the next connect would close an empty
    // burst and show the previous frame once more as a new reading.
    void dropBurst()
    {
        BurstText.clear();
        BurstPending = false;
    }

    std::string BurstText;
    bool BurstPending = false;
    std::size_t ReceivedCount = 0;
    long TimeoutIdleCount = 0; // reports without payload; the link drops at 3000
    long RequestIdleCount = 0; // the same count; the request is resent at 600
    std::string Memo1;   // the hidden raw-text box: the frame text as received
    std::string USBtxt1; // the hidden count label: ReceivedCount

private:
    void closeBurst();
    void appendToFrame(const std::string &burst);

    std::string &m_statusPanel1;
    HistoryLog &m_history;
    Calls m_calls;
    std::string m_frame;
    std::size_t m_frameLength = 0;
};

} // namespace tolmar
