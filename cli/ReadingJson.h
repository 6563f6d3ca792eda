#pragma once

#include "meter/MeterReading.h"

#include <string>
#include <string_view>

namespace tolmar {

struct DecodeError;

// One decoded frame as a JSON line: the reading's fields, and its waveform
// after a long frame.
// timeOfDay, when given, is added as "Time".
std::string readingJson(const MeterReading &reading, bool withWaveform, std::string_view timeOfDay = {});
// {"error": "..."} for a frame whose decode stopped.
std::string decodeErrorJson(const DecodeError &error);

} // namespace tolmar
