#include "platform/sim/SimulatedMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tolmar::sim {

std::uint32_t Random::next()
{
    m_state ^= m_state >> 12;
    m_state ^= m_state << 25;
    m_state ^= m_state >> 27;
    return static_cast<std::uint32_t>((m_state * 0x2545F4914F6CDD1Dull) >> 32);
}

double Random::uniform()
{
    return next() / 4294967296.0;
}

int Random::between(int low, int high)
{
    return low + static_cast<int>(next() % static_cast<std::uint32_t>(high - low + 1));
}

namespace {

constexpr double openProbes = std::numeric_limits<double>::infinity();

// The bytes the program does not read, as the meter sends them (header
// bytes 1..20 and the second display text in bytes 31..40).
constexpr std::uint8_t sampleFrame[41] = {
    0x5A, 0x00, 0x03, 0x05, 0x05, 0x59, 0x80, 0x01, 0x01, 0x01, 0x00, 0x06, 0x00, 0x10,
    0x00, 0x00, 0x0B, 0x00, 0x04, 0x00, 0x00, 0x20, 0x30, 0x30, 0x2E, 0x36, 0x36, 0x20,
    0x56, 0x20, 0x00, 0x32, 0x2E, 0x30, 0x31, 0x33, 0x6B, 0x48, 0x7A, 0x00, 0x2E,
};

// Frame byte offsets.
constexpr std::size_t functionByte = 6;  // low digit: function code
constexpr std::size_t subModeByte = 10;  // low digit: sub-mode
constexpr std::size_t offsetByte = 12;   // waveform offset (long frames)
constexpr std::size_t rangeByte = 19;    // 01 = automatic ranging
constexpr std::size_t recordByte = 20;   // 01 = recording annunciator
constexpr std::size_t displayByte = 21;  // D1..D10
constexpr std::size_t waveformByte = 41; // 160 sample pairs

std::uint8_t signedByte(int value)
{
    return static_cast<std::uint8_t>(value < 0 ? value + 256 : value);
}

} // namespace

const std::vector<SimulatedMeter::Mode> &SimulatedMeter::modes()
{
    // Each range's reading is hand-checked against the frame layout: the
    // point position picks the full scale, the prefix the unit text.
    static const std::vector<Mode> table = {
        {"DC voltage, auto range", '0', '0', "DC", true, 3.9, 0.3,
         {{'m', 1, 1e-4, 3999, 400, "mV"},
          {' ', 3, 1e-3, 3999, 4, " V"},
          {' ', 2, 1e-2, 3999, 40, " V"},
          {' ', 1, 1e-1, 3999, 400, " V"},
          {' ', 0, 1, 1000, 1000, " V"}},
         1000, "V"},
        {"DC millivolts, negative", '0', '0', "DC", false, -0.1234, 0.004, {{'m', 1, 1e-4, 3999, 400, "mV"}}, 1000,
         "mV"},
        {"AC voltage, 400 V range", '0', '1', "AC", false, 230, 2, {{' ', 1, 1e-1, 3999, 400, " V"}}, 750, "V"},
        {"AC voltage, 750 V range", '0', '1', "AC", false, 231, 3, {{' ', 0, 1, 750, 750, " V"}}, 750, "V"},
        {"DC current, 10 A range", '1', '0', "DC", false, 2.5, 0.2, {{' ', 2, 1e-2, 1000, 10, " A"}}, 4000, "A"},
        {"AC milliamperes", '1', '1', "AC", false, 0.012, 0.0005, {{'m', 2, 1e-5, 3999, 40, "mA"}}, 4000, "mA"},
        {"DC microamperes", '1', '0', "DC", false, 150e-6, 5e-6, {{'A', 1, 1e-7, 3999, 400, "uA"}}, 4000, "uA"},
        {"Frequency, auto range", '2', '0', "Frequency", true, 400, 20,
         {{' ', 1, 1e-1, 3999, std::nullopt, " Hz"},
          {'k', 3, 1, 3999, 10, "kHz"},
          {'k', 2, 10, 3999, std::nullopt, "kHz"},
          {'k', 1, 100, 3999, std::nullopt, "kHz"},
          {'M', 3, 1000, 3999, 10, "MHz"}},
         std::nullopt, "Hz"},
        {"Duty cycle", '2', '1', "Duty", false, 50, 3, {{' ', 1, 1e-1, 999, std::nullopt, "Duty"}}, std::nullopt, "%"},
        {"Capacitance, auto range", '3', '0', "CAP", true, 400e-9, 15e-9,
         {{'n', 2, 1e-11, 3999, 40, "nF"},
          {'n', 1, 1e-10, 3999, 400, "nF"},
          {'u', 3, 1e-9, 3999, 4, "uF"},
          {'u', 2, 1e-8, 3999, 40, "uF"},
          {'u', 1, 1e-7, 3999, 400, "uF"},
          {'m', 3, 1e-6, 3999, 4, "mF"}},
         100, "F"},
        {"Resistance, auto range", '4', '0', "OHM", true, 3950, 200,
         {{' ', 1, 1e-1, 3999, 400, " *"},
          {'k', 3, 1, 3999, 4, "k*"},
          {'k', 2, 10, 3999, 40, "k*"},
          {'k', 1, 100, 3999, 400, "k*"},
          {'M', 3, 1000, 3999, 4, "M*"},
          {'M', 2, 10000, 3999, 40, "M*"}},
         1000, "Ohm"},
        {"Resistance, open probes", '4', '0', "OHM", true, openProbes, 0,
         {{' ', 1, 1e-1, 3999, 400, " *"}, {'M', 2, 10000, 3999, 40, "M*"}}, 1000, "Ohm"},
        {"Resistance, second symbol", '5', '0', "OHM", false, 22e3, 300, {{'K', 2, 10, 3999, 40, "K*&"}}, 1000, "Ohm"},
        {"Diode", '6', '0', "Diode", false, 0.512, 0.01, {{' ', 3, 1e-3, 3999, 4, " V)"}}, 1000, "V"},
    };
    return table;
}

SimulatedMeter::SimulatedMeter(std::uint64_t seed, std::size_t startMode, int framesPerMode)
    : m_random(seed)
    , m_mode(startMode % modes().size())
    , m_framesPerMode(framesPerMode)
{
}

void SimulatedMeter::setMode(std::size_t mode)
{
    m_mode = mode % modes().size();
    m_framesInMode = 0;
    m_walk = 0;
}

SentFrame SimulatedMeter::measure(bool longFrame)
{
    if (m_framesPerMode > 0 && m_framesInMode == m_framesPerMode) {
        const std::size_t next = (m_mode + 1) % modes().size();
        setMode(next);
    }
    ++m_framesInMode;
    const Mode &mode = modes()[m_mode];

    // A bounded random walk: readings wander the way a live signal does.
    m_walk = std::clamp(m_walk + (m_random.uniform() - 0.5) * 0.3, -1.0, 1.0);
    const double value = mode.center + mode.spread * m_walk;

    // Auto ranging takes the most sensitive range that holds the value; a
    // value no range holds is an overload.
    const Range *range = nullptr;
    long count = 0;
    const std::size_t candidates = mode.autoRange ? mode.ranges.size() : 1;
    for (std::size_t i = 0; i < candidates && !range; ++i) {
        const double counts = std::round(value / mode.ranges[i].countValue);
        if (std::isfinite(counts) && std::fabs(counts) <= mode.ranges[i].maxCount) {
            range = &mode.ranges[i];
            count = static_cast<long>(counts);
        }
    }

    SentFrame frame;
    frame.mode = mode.name;
    frame.bytes.assign(std::begin(sampleFrame), std::end(sampleFrame));
    frame.bytes[functionByte] = static_cast<std::uint8_t>(0x80 | (mode.code - '0'));
    frame.bytes[subModeByte] = static_cast<std::uint8_t>(mode.sub - '0');
    frame.bytes[offsetByte] = 0;
    frame.bytes[rangeByte] = mode.autoRange ? 1 : 0;
    frame.bytes[recordByte] = 0;

    IntendedReading &intended = frame.intended;
    intended.FunctionText = mode.functionText;
    intended.RangeModeText = mode.autoRange ? "AUTO" : "";

    // D1 sign, D2..D6 four characters and the point, D7 prefix, D8..D10 unit.
    std::string display(10, ' ');
    const Range &shown = range ? *range : mode.ranges.back();
    if (range) {
        const bool negative = count < 0;
        char digits[24];
        std::snprintf(digits, sizeof digits, "%04ld", std::labs(count));
        std::string positions(digits);
        if (shown.decimals > 0)
            positions.insert(positions.size() - static_cast<std::size_t>(shown.decimals), ".");
        display[0] = negative ? '-' : ' ';
        display.replace(1, positions.size(), positions);
        intended.ValueText = (negative ? "-" : "") + positions;
        intended.Nval = static_cast<float>(count);
        intended.FullScale = shown.fullScale;
    } else {
        // The overload display " 0L": no point, the full scale of "no point".
        display.replace(1, 4, " 0L ");
        intended.ValueText = " 0L";
        intended.Nval = 0;
        intended.FullScale = mode.overloadFullScale;
        intended.overload = true;
    }
    display[6] = shown.prefix;
    for (std::size_t i = 0; i < 3 && mode.meterUnit[i]; ++i)
        display[7 + i] = mode.meterUnit[i];
    intended.UnitText = shown.unitText;
    std::copy(display.begin(), display.end(), frame.bytes.begin() + displayByte);

    if (longFrame) {
        // A sine with a little ripple: pair (a, a/4) makes the decoder take a.
        // Samples stay within +-80, so no waveform byte is ever the start byte.
        const int offset = m_random.between(-10, 10);
        const int amplitude = m_random.between(30, 70);
        const double phase = m_random.uniform() * 6.283185307179586;
        frame.bytes[offsetByte] = signedByte(offset);
        frame.bytes.resize(waveformByte + 320);
        for (int i = 0; i < 160; ++i) {
            const int a = std::clamp(
                static_cast<int>(std::lround(amplitude * std::sin(phase + i * 6.283185307179586 / 40.0)))
                    + m_random.between(-2, 2),
                -80, 80);
            frame.bytes[waveformByte + 2 * static_cast<std::size_t>(i)] = signedByte(a);
            frame.bytes[waveformByte + 2 * static_cast<std::size_t>(i) + 1] = signedByte(a / 4);
            intended.WaveformSamples.push_back(a + offset);
        }
    }
    return frame;
}

} // namespace tolmar::sim
