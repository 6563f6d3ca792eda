#pragma once

#include "platform/HidPlatform.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The parts of the Windows HID backend that need no Windows header: the
// arithmetic and the rules around the API calls, testable on any system.
namespace tolmar::winhid {

// The Windows error codes the backend gives a meaning to (winerror.h).
namespace code {
constexpr std::uint32_t fileNotFound = 2;         // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t pathNotFound = 3;         // ERROR_PATH_NOT_FOUND
constexpr std::uint32_t invalidHandle = 6;        // ERROR_INVALID_HANDLE
constexpr std::uint32_t badCommand = 22;          // ERROR_BAD_COMMAND
constexpr std::uint32_t genFailure = 31;          // ERROR_GEN_FAILURE
constexpr std::uint32_t devNotExist = 55;         // ERROR_DEV_NOT_EXIST
constexpr std::uint32_t noSuchDevice = 433;       // ERROR_NO_SUCH_DEVICE
constexpr std::uint32_t operationAborted = 995;   // ERROR_OPERATION_ABORTED
constexpr std::uint32_t deviceNotConnected = 1167; // ERROR_DEVICE_NOT_CONNECTED
constexpr std::uint32_t deviceRemoved = 1617;     // ERROR_DEVICE_REMOVED
} // namespace code

// Whether a failed read, write or open means the device has gone: what
// ENODEV and EIO mean from hidraw. A read pending when the cable is pulled
// ends with ERROR_OPERATION_ABORTED or ERROR_DEVICE_NOT_CONNECTED, and every
// later call on the handle fails with one of the others.
bool isUnpluggedError(std::uint32_t error);

// The report lengths from HidP_GetCaps: they already count the report ID
// byte, and a report type the device lacks has 0.
HidReportLengths reportLengthsFromCaps(std::uint16_t input, std::uint16_t output, std::uint16_t feature);

// The buffer a report transfer needs: Windows refuses a buffer shorter than
// the device's report (ERROR_INVALID_USER_BUFFER), so a shorter report is
// padded with zeros to the device's length (0: unknown, taken as it is).
std::size_t transferLength(std::size_t length, std::uint16_t reportLength);

// A zero-terminated UTF-16 string of at most `sourceUnits` units (a fixed
// query buffer) into the caller's buffer by the rule of HidHandle: at most
// `units` units, terminated when there is room.
void copyTerminatedUnits(const char16_t *source, std::size_t sourceUnits, char16_t *buffer, std::size_t units);

// The instance of an interface: the device instance ID of its devnode, which
// Windows keeps for the same device in the same socket, and the devnode's
// last arrival time (100 ns ticks), which is new after every attach. Without
// the arrival time (older systems, Wine) the ID alone.
std::string composeInstance(std::string_view deviceInstanceId, std::optional<std::uint64_t> arrivalTicks);
// Whether `instance` carries the arrival time, so that two of them tell
// one attach from the next.
bool instanceHasArrival(std::string_view instance);

// An interface path with ASCII letters in lower case: Windows compares
// interface paths without regard to case, and two APIs may hand out the same
// path in different cases.
std::string foldedPath(std::string_view path);

// The name of the kernel object that stands for a hold on the interface at
// `path`: one per interface for every Tolmar on the machine. Interface paths
// are compared without regard to ASCII case, as Windows compares them.
std::string holdObjectName(std::string_view path);

// Whether a device instance ID names a USB device, not the interface of a
// composite device ("USB\\VID_1A86&PID_E008\\5&2C1F2E1&0&2" but not
// "USB\\VID_1A86&PID_E008&MI_00\\...") nor another bus's device.
bool isUsbDeviceId(std::string_view id);

// Whether a USB device's location information is the hub port form
// ("Port_#0002.Hub_#0004"), which names the socket; some drivers put a
// product description there instead.
bool isPortLocation(std::string_view location);

// A system message without the line break and blanks FormatMessage ends it with.
std::string trimmedMessage(std::string text);

// ASCII letters folded to lower case, as Windows compares device IDs, paths
// and the AM/PM designators; other bytes as they are.
char lowerAscii(char c);
bool startsWithFolded(std::string_view text, std::string_view prefix);

} // namespace tolmar::winhid
