#include "cli/ReadingJson.h"

#include "cli/Json.h"
#include "meter/FrameDecoder.h"

#include <cmath>

namespace tolmar {

std::string readingJson(const MeterReading &r, bool withWaveform, std::string_view timeOfDay)
{
    json::ObjectWriter o;
    o.text("SignText", r.SignText)
        .text("Digit0", r.Digit0)
        .text("DigitA", r.DigitA)
        .text("DigitB", r.DigitB)
        .text("DigitC", r.DigitC)
        .number("PointMode", r.PointMode)
        .text("Point0Text", r.Point0Text)
        .text("Point1Text", r.Point1Text)
        .text("Point2Text", r.Point2Text)
        .text("ValueText", r.ValueText)
        .number("Nval", std::llround(r.Nval)) // always a whole count
        .text("UnitText", r.UnitText)
        .text("FunctionText", r.FunctionText)
        .text("RangeModeText", r.RangeModeText)
        .number("FullScale", r.FullScale);
    if (withWaveform) {
        std::string samples = "[";
        for (std::size_t i = 0; i < r.WaveformSamples.size(); ++i) {
            if (i)
                samples += ", ";
            samples += std::to_string(r.WaveformSamples[i]);
        }
        o.raw("WaveformSamples", samples + "]");
    }
    if (!timeOfDay.empty())
        o.text("Time", timeOfDay);
    return o.str();
}

std::string decodeErrorJson(const DecodeError &error)
{
    return json::ObjectWriter().text("error", error.what).str();
}

} // namespace tolmar
