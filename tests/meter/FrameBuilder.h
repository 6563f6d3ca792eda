#pragma once

// Hand-built meter frames for tests, starting from the meter's sample frame.
#include <cstdio>
#include <string>

namespace tolmar::test {

// The sample short frame as the meter sends it: " 00.66 V" on the display, V DC.
inline const std::string sampleFrame =
    "5A0003050559800101010006001000000B000400002030302E363620562000322E3031336B487A002E";

inline void setByte(std::string &frame, std::size_t byte, unsigned value)
{
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", value & 0xFFu);
    frame.replace(2 * byte, 2, digits);
}

// A short frame with function code `code` (a character: '0'..'9' or a bad one),
// sub-mode digit `sub`, and the display field D1..D7 from `display` (7
// characters: sign, five positions, prefix).
inline std::string shortFrame(char code, char sub, const std::string &display, unsigned rangeFlag = 0,
                              unsigned recordFlag = 0)
{
    std::string frame = sampleFrame;
    frame[13] = code; // character 14: low digit of byte 6
    frame[21] = sub;  // character 22: low digit of byte 10
    setByte(frame, 19, rangeFlag);
    setByte(frame, 20, recordFlag);
    for (std::size_t i = 0; i < display.size() && i < 10; ++i)
        setByte(frame, 21 + i, static_cast<unsigned char>(display[i]));
    return frame;
}

// A long frame: the short frame, then 160 sample pairs from `pair(i)` as
// 4 hex digits, with the waveform offset in byte 12.
template <typename PairText>
std::string longFrame(std::string shortText, unsigned offset, PairText pair)
{
    setByte(shortText, 12, offset);
    for (int i = 0; i < 160; ++i)
        shortText += pair(i);
    return shortText;
}

} // namespace tolmar::test
