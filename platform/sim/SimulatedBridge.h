#pragma once

#include "platform/sim/SimulatedMeter.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

// The simulated "USB to Serial" bridge: a UART at the meter's end, HID
// reports at the computer's end, and the time that passes in between.
namespace tolmar::sim {

struct Options {
    std::uint64_t seed = 1;
    int responseDelayMs = 150; // the meter measures before it answers a request
    // Every n-th answer is a long frame (0: never): about one every 5 s, so
    // interval recording, which a long frame re-arms on its own timer, keeps
    // its pace between waveforms.
    int longFrameEvery = 25;
    int framesPerMode = 10;    // answers before the meter turns to its next function; 0: stays
    std::size_t startMode = 0; // index into SimulatedMeter::modes()
    bool readWriteAccess = true; // false: the node opens for queries only
    std::string serialNumber;  // empty: none, like the real bridge
    // Cables, each with a meter of its own: the meter of cable k (from 0)
    // starts `cableModeStep` × k functions further on, with seed + k.
    int cables = 1;
    std::size_t cableModeStep = 4; // cable 2 measures current while cable 1 measures voltage
    // The folder of the cables' lock files, so that simulations in several
    // processes hold cables as real ones are held; empty: holds keep nobody out.
    std::string lockFolder;
};

// One input report as the reader gets it: report ID 0, the count byte (low
// four bits: payload bytes that follow), 7 payload bytes.
using InputReport = std::array<std::uint8_t, 9>;

class SimulatedBridge {
public:
    static constexpr std::uint32_t meterBaud = 9600;
    static constexpr std::uint8_t meterFormat = 0x03; // byte 5 of the configuration report
    static constexpr std::size_t maxPayload = 7;
    static constexpr std::size_t maxSentFrames = 256;

    SimulatedBridge(const Options &options, std::int64_t startMs);

    // The configuration feature report: byte 0 report ID 0, bytes 1..4 the
    // baud rate (least significant first), byte 5 the line format.
    bool setFeature(const std::uint8_t *report, std::size_t length);
    // The output report: byte 0 report ID 0, byte 1 low four bits the number
    // of bytes that follow for the UART.
    bool write(const std::uint8_t *report, std::size_t length);

    // Runs the line and the meter up to nowMs; at every millisecond the
    // bridge sends one report with what its UART received meanwhile.
    void advanceTo(std::int64_t nowMs, const std::function<void(const InputReport &)> &emit);
    std::int64_t nowMs() const { return m_lastMs; }

    // Unplugged and plugged in again: the UART waits for its configuration.
    void reset();
    bool configured() const { return m_configured; }
    void setMeterSilent(bool silent) { m_meterSilent = silent; }
    // Noise on the line: random bytes at the meter's rate, starting now.
    void injectGarbage(std::size_t bytes);

    SimulatedMeter &meter() { return m_meter; }
    const std::deque<SentFrame> &sentFrames() const { return m_sentFrames; }

private:
    struct LineByte {
        std::int64_t atUs; // when its stop bit has passed
        std::uint8_t value;
    };

    void startAnswer(std::int64_t atUs);
    // A byte the meter sent, as the bridge's UART receives it.
    void receive(std::int64_t atUs, std::uint8_t value);
    void putOnLine(std::int64_t atUs, std::uint8_t value);

    Options m_options;
    SimulatedMeter m_meter;
    Random m_noise;
    std::int64_t m_lastMs;
    bool m_configured = false;
    std::uint32_t m_baud = 0;
    std::uint8_t m_format = 0;
    std::uint32_t m_garbleCredit = 0; // rate mismatch: received bytes owed, in baud units
    bool m_meterSilent = false;
    std::optional<std::int64_t> m_answerAtUs;
    std::int64_t m_meterBusyUntilUs = 0;
    unsigned m_answers = 0;
    std::deque<LineByte> m_line;       // in time order
    std::deque<std::uint8_t> m_fifo;   // received, not yet reported
    std::deque<SentFrame> m_sentFrames;
};

} // namespace tolmar::sim
