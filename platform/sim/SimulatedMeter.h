#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The meter behind the simulated bridge: it measures a drifting value in one
// of its functions and answers each request with a reading frame.
namespace tolmar::sim {

// A small deterministic generator (xorshift64*), the same on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint32_t next();
    double uniform(); // [0, 1)
    int between(int low, int high); // inclusive

private:
    std::uint64_t m_state;
};

// What a frame is meant to read as, decoded with "." as the decimal separator.
struct IntendedReading {
    std::string ValueText;
    std::string UnitText;
    std::string FunctionText;
    std::string RangeModeText;
    float Nval = 0;
    std::optional<int> FullScale; // nullopt: the frame leaves the full scale as it was
    bool overload = false;
    std::vector<int> WaveformSamples; // long frames only
};

struct SentFrame {
    std::vector<std::uint8_t> bytes; // 41 or 361, from the start byte 0x5A
    IntendedReading intended;
    std::int64_t atMs = 0;           // when the meter began sending it
    std::string mode;
};

class SimulatedMeter {
public:
    // One range of a function: the unit prefix character the meter sends,
    // the digits after the point (0 = no point), what one count is worth in
    // the function's base unit, and the reading it gives.
    struct Range {
        char prefix;
        int decimals;
        double countValue;
        int maxCount;
        std::optional<int> fullScale;
        const char *unitText; // as the program shows it in the LCD font
    };
    struct Mode {
        const char *name;
        char code; // function code, byte 6
        char sub;  // sub-mode, byte 10
        const char *functionText;
        bool autoRange;
        double center; // the measured value drifts around it, in base units
        double spread;
        std::vector<Range> ranges; // most sensitive first; a manual mode uses the first
        std::optional<int> overloadFullScale;
        const char *meterUnit; // bytes 28..30, the unit as the meter writes it
    };

    static const std::vector<Mode> &modes();

    explicit SimulatedMeter(std::uint64_t seed, std::size_t startMode = 0, int framesPerMode = 10);

    // Measures once and builds the frame; long frames add a waveform.
    SentFrame measure(bool longFrame);

    std::size_t mode() const { return m_mode; }
    void setMode(std::size_t mode);
    // Frames before the meter turns to the next function; 0 stays.
    void setFramesPerMode(int frames) { m_framesPerMode = frames; }

private:
    Random m_random;
    std::size_t m_mode;
    int m_framesPerMode;
    int m_framesInMode = 0;
    double m_walk = 0; // -1..1, the drift of the value around the mode's center
};

} // namespace tolmar::sim
