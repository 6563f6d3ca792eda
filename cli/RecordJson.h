#pragma once

#include "record/ReadingTable.h"

#include <string>

namespace tolmar {

// One record of the reading table as a JSON line with the keys No, Time,
// DC/AC, Value, Unit, Auto and Nval in field order; Time as "HH:MM:SS.mmm",
// a null field as null.
std::string recordJson(const ReadingRecord &record);
// Milliseconds since midnight as "HH:MM:SS.mmm".
std::string timeOfDayText(std::int32_t millisecondsOfDay);

} // namespace tolmar
