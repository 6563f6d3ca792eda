#include "platform/sim/SimulatedBridge.h"

#include <algorithm>

namespace tolmar::sim {

namespace {

// One byte on a 9600-baud line with a start and a stop bit takes 10/9600 s.
std::int64_t byteEndUs(std::int64_t startUs, std::size_t index)
{
    return startUs + static_cast<std::int64_t>(((index + 1) * 3125 + 2) / 3);
}

// Lost time is not replayed beyond this: a process that slept for an hour
// resumes with the last second.
constexpr std::int64_t maxCatchUpMs = 1000;

} // namespace

SimulatedBridge::SimulatedBridge(const Options &options, std::int64_t startMs)
    : m_options(options)
    , m_meter(options.seed, options.startMode, options.framesPerMode)
    , m_noise(options.seed ^ 0x5EED)
    , m_lastMs(startMs)
{
}

bool SimulatedBridge::setFeature(const std::uint8_t *report, std::size_t length)
{
    // The bridge's own feature report has 5 bytes after the ID; longer
    // buffers are accepted and cut.
    if (length < 6 || report[0] != 0)
        return false;
    m_baud = static_cast<std::uint32_t>(report[1]) | static_cast<std::uint32_t>(report[2]) << 8
             | static_cast<std::uint32_t>(report[3]) << 16 | static_cast<std::uint32_t>(report[4]) << 24;
    m_format = report[5];
    m_garbleCredit = 0;
    m_configured = true;
    return true;
}

bool SimulatedBridge::write(const std::uint8_t *report, std::size_t length)
{
    if (length < 2 || length > 9 || report[0] != 0)
        return false;
    // Until it is configured the UART sends nothing. The meter hears a
    // request at any rate: a wrong rate shows on the way back, as garbage.
    if (!m_configured)
        return true;
    const std::size_t count = std::min<std::size_t>(report[1] & 0x0F, length - 2);
    const bool request = std::find(report + 2, report + 2 + count, std::uint8_t{0x5A}) != report + 2 + count;
    const std::int64_t nowUs = m_lastMs * 1000;
    if (request && !m_meterSilent && !m_answerAtUs && m_meterBusyUntilUs <= nowUs)
        m_answerAtUs = byteEndUs(nowUs, count == 0 ? 0 : count - 1) + m_options.responseDelayMs * 1000LL;
    return true;
}

void SimulatedBridge::advanceTo(std::int64_t nowMs, const std::function<void(const InputReport &)> &emit)
{
    if (nowMs - m_lastMs > maxCatchUpMs)
        m_lastMs = nowMs - maxCatchUpMs;
    for (std::int64_t tick = m_lastMs + 1; tick <= nowMs; ++tick) {
        const std::int64_t tickUs = tick * 1000;
        if (m_answerAtUs && *m_answerAtUs <= tickUs)
            startAnswer(*m_answerAtUs);
        while (!m_line.empty() && m_line.front().atUs <= tickUs) {
            m_fifo.push_back(m_line.front().value);
            m_line.pop_front();
        }
        InputReport report{};
        const std::size_t count = std::min(maxPayload, m_fifo.size());
        // The high four bits are set as the real bridge sets them; only the
        // low four carry the count.
        report[1] = static_cast<std::uint8_t>(0xF0 | count);
        for (std::size_t i = 0; i < count; ++i) {
            report[2 + i] = m_fifo.front();
            m_fifo.pop_front();
        }
        m_lastMs = tick;
        emit(report);
    }
}

void SimulatedBridge::startAnswer(std::int64_t atUs)
{
    m_answerAtUs.reset();
    ++m_answers;
    const bool longFrame = m_options.longFrameEvery > 0 && m_answers % static_cast<unsigned>(m_options.longFrameEvery) == 0;
    SentFrame frame = m_meter.measure(longFrame);
    frame.atMs = atUs / 1000;
    for (std::size_t i = 0; i < frame.bytes.size(); ++i)
        receive(byteEndUs(atUs, i), frame.bytes[i]);
    m_meterBusyUntilUs = byteEndUs(atUs, frame.bytes.size() - 1);
    m_sentFrames.push_back(std::move(frame));
    if (m_sentFrames.size() > maxSentFrames)
        m_sentFrames.pop_front();
}

void SimulatedBridge::receive(std::int64_t atUs, std::uint8_t value)
{
    if (!m_configured)
        return;
    if (m_baud == meterBaud && m_format == meterFormat) {
        putOnLine(atUs, value);
        return;
    }
    // Wrong rate or format: the UART still sees edges and makes bytes of
    // them, about baud/9600 of them per byte sent, none of them right.
    m_garbleCredit += m_format == meterFormat ? m_baud : meterBaud;
    while (m_garbleCredit >= meterBaud) {
        m_garbleCredit -= meterBaud;
        putOnLine(atUs, static_cast<std::uint8_t>(m_noise.next()));
    }
}

void SimulatedBridge::putOnLine(std::int64_t atUs, std::uint8_t value)
{
    const auto at = std::upper_bound(m_line.begin(), m_line.end(), atUs,
                                     [](std::int64_t us, const LineByte &byte) { return us < byte.atUs; });
    m_line.insert(at, LineByte{atUs, value});
}

void SimulatedBridge::injectGarbage(std::size_t bytes)
{
    const std::int64_t nowUs = m_lastMs * 1000;
    for (std::size_t i = 0; i < bytes; ++i)
        if (m_configured)
            putOnLine(byteEndUs(nowUs, i), static_cast<std::uint8_t>(m_noise.next()));
}

void SimulatedBridge::reset()
{
    m_configured = false;
    m_baud = 0;
    m_format = 0;
    m_garbleCredit = 0;
    m_answerAtUs.reset();
    m_meterBusyUntilUs = 0;
    m_line.clear();
    m_fifo.clear();
}

} // namespace tolmar::sim
