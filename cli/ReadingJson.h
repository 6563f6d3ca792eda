#pragma once

#include "meter/MeterReading.h"

#include <string>

namespace tolmar {

struct DecodeError;

// One decoded frame as a JSON line: the reading's fields, and its waveform
// after a long frame.
std::string readingJson(const MeterReading &reading, bool withWaveform);
// {"error": "..."} for a frame whose decode stopped.
std::string decodeErrorJson(const DecodeError &error);

} // namespace tolmar
