#include "link/FrameAssembler.h"

#include "meter/ReadingFrame.h"
#include "platform/NumberText.h"

namespace tolmar {

namespace {
// Frame texts never need more than this; see ReadingFrame().
constexpr std::size_t storedLimit = frame::longFrameLength;
} // namespace

FrameAssembler::FrameAssembler(std::string &statusPanel1, HistoryLog &history, Calls calls)
    : m_statusPanel1(statusPanel1), m_history(history), m_calls(std::move(calls))
{
}

void FrameAssembler::HidCtlDeviceData(std::uint8_t reportId, const std::uint8_t *data, std::size_t size)
{
    // The count digit is the low hex digit of the first data byte; a report
    // without data bytes has none and leaves the idle counts alone.
    if (size == 0) {
        if (BurstPending)
            closeBurst();
        return;
    }
    ++TimeoutIdleCount;
    ++RequestIdleCount;
    const int count = data[0] & 0x0F;
    if (count >= 1 && count <= 9) {
        TimeoutIdleCount = 0;
        RequestIdleCount = 0;
        BurstPending = true;
        // A report shorter than its count gives what it holds.
        for (std::size_t k = 1; k <= static_cast<std::size_t>(count) && k < size; ++k)
            appendHexByte(BurstText, data[k]);
        m_history.appendReport(reportId, data, size);
        return;
    }
    if (BurstPending)
        closeBurst();
}

void FrameAssembler::appendToFrame(const std::string &burst)
{
    if (m_frame.size() < storedLimit + 1)
        m_frame.append(burst, 0, storedLimit + 1 - m_frame.size());
    m_frameLength += burst.size();
    if (Memo1.size() < storedLimit + 1)
        Memo1.append(burst, 0, storedLimit + 1 - Memo1.size());
}

void FrameAssembler::closeBurst()
{
    if (BurstText.compare(0, 2, frame::startText) == 0) {
        m_frame.clear();
        m_frameLength = 0;
        Memo1.clear();
        appendToFrame(BurstText);
        ReceivedCount = BurstText.size();
    } else {
        appendToFrame(BurstText);
        ReceivedCount += BurstText.size();
    }

    // A complete frame: show it, then ask for the next. A frame that does not
    // decode is logged and not asked again here; the link timer's resend does
    // that. Either way the burst is closed below, so it is never decoded twice.
    const bool complete = (m_frameLength == frame::shortFrameLength || m_frameLength == frame::longFrameLength)
        && frame::startsWithStartByte(m_frame);
    if (complete && m_calls.lcdDisplay) {
        if (const auto error = m_calls.lcdDisplay(m_frame))
            m_history.appendNote("Frame not decoded, step " + std::to_string(error->step) + ": " + error->what);
        else if (m_calls.sendData)
            m_calls.sendData();
    }

    m_statusPanel1 = "Receive Data length:" + std::to_string(m_frameLength);
    USBtxt1 = std::to_string(ReceivedCount);
    BurstText.clear();
    BurstPending = false;
}

} // namespace tolmar
