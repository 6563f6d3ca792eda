// Decoding one frame into the reading, with the locale read as the program
// reads it for every frame.
#include "meter/FrameDecoder.h"
#include "platform/posix/PosixLocale.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {
const std::string sampleFrame = "5A0003050559800101010006001000000B000400002030302E363620562000322E3031336B487A002E";

void BM_DecodeShortFrame(benchmark::State &state)
{
    tolmar::PosixLocale locale;
    tolmar::MeterReading reading;
    for (auto _ : state) {
        auto error = tolmar::decodeFrame(sampleFrame, reading, locale.decimalSeparator());
        benchmark::DoNotOptimize(error);
        benchmark::DoNotOptimize(reading);
    }
}
BENCHMARK(BM_DecodeShortFrame);

void BM_DecodeLongFrame(benchmark::State &state)
{
    std::string frame = sampleFrame;
    for (int i = 0; i < 160; ++i)
        frame += i % 2 ? "80FF" : "1001";
    tolmar::PosixLocale locale;
    tolmar::MeterReading reading;
    for (auto _ : state) {
        auto error = tolmar::decodeFrame(frame, reading, locale.decimalSeparator());
        benchmark::DoNotOptimize(error);
        benchmark::DoNotOptimize(reading);
    }
}
BENCHMARK(BM_DecodeLongFrame);
} // namespace
