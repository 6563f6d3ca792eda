#pragma once

#include <string_view>

// The meter's reading frame, held as text: two uppercase hex digits per byte,
// no separators, byte n at text characters 2n+1 and 2n+2 (counted from 1).
//
// Bytes of a frame (both kinds):
//   0       start byte 0x5A
//   1..5    not read
//   6       low hex digit (character 14): function code, a decimal digit
//             0 voltage, 1 current, 2 frequency/duty, 3 capacitance,
//             4 resistance, 5 resistance (second symbol), 6 diode, 7..9 none
//   7..9    not read
//   10      low hex digit (character 22): sub-mode; voltage/current "0" = DC,
//             else AC; frequency "1" = duty cycle
//   11      not read
//   12      waveform offset, signed (long frame only)
//   13..18  not read
//   19      range-mode flag, 01 = automatic ranging
//   20      recording annunciator flag, 01 = shown
//   21..30  display field D1..D10, ASCII:
//             D1      sign, "-" = negative
//             D2..D6  four characters and at most one "." at D3, D4 or D5
//             D7      unit prefix: m k K M n u, anything else = none
//             D8..D10 the unit as the meter writes it (not read)
//   31..40  not read (a second display text)
//   41..360 long frame only: 160 waveform sample pairs (bytes 41+2i, 42+2i)
namespace tolmar::frame {

constexpr std::size_t shortFrameLength = 82;  // 41 bytes
constexpr std::size_t longFrameLength = 722;  // 361 bytes
constexpr std::string_view startText = "5A";

constexpr std::size_t functionCodeChar = 14;  // 1-based text positions
constexpr std::size_t subModeChar = 22;
constexpr std::size_t waveformOffsetByte = 12;
constexpr std::size_t rangeModeByte = 19;
constexpr std::size_t recordFlagByte = 20;
constexpr std::size_t displayFieldByte = 21;  // D1
constexpr std::size_t waveformByte = 41;

// The character at a 1-based text position, or '\0' past the end.
constexpr char charAt(std::string_view text, std::size_t position)
{
    return position >= 1 && position <= text.size() ? text[position - 1] : '\0';
}

// The two hex digits of byte n (fewer when the text ends inside it).
constexpr std::string_view byteText(std::string_view text, std::size_t byte)
{
    const std::size_t first = 2 * byte;
    return first < text.size() ? text.substr(first, 2) : std::string_view();
}

constexpr bool startsWithStartByte(std::string_view text)
{
    return text.substr(0, 2) == startText;
}

// A text that the display update runs on: a short or long frame from its start byte.
constexpr bool isCompleteFrame(std::string_view text)
{
    return (text.size() == shortFrameLength || text.size() == longFrameLength) && startsWithStartByte(text);
}

} // namespace tolmar::frame
