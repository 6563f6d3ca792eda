#include "platform/TextEncoding.h"
#include "platform/windows/HidRules.h"
#include "platform/windows/TimePicture.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

// The Windows backend's rules, free of Windows headers: run on Linux and,
// cross-built, under Wine.
namespace tolmar::winhid {
namespace {

TEST(WindowsHidRules, UnpluggedErrorsAreTheOnesAGoneDeviceGives)
{
    const struct {
        std::uint32_t code;
        bool unplugged;
    } cases[] = {
        {1167, true}, // ERROR_DEVICE_NOT_CONNECTED: every call after the pull
        {995, true},  // ERROR_OPERATION_ABORTED: the read pending at the pull
        {31, true},   // ERROR_GEN_FAILURE
        {22, true},   // ERROR_BAD_COMMAND
        {2, true},    // ERROR_FILE_NOT_FOUND: open of an interface gone
        {3, true},    // ERROR_PATH_NOT_FOUND
        {55, true},   // ERROR_DEV_NOT_EXIST
        {433, true},  // ERROR_NO_SUCH_DEVICE
        {1617, true}, // ERROR_DEVICE_REMOVED
        {0, false},
        {5, false},    // ERROR_ACCESS_DENIED: there, but not ours
        {6, false},    // ERROR_INVALID_HANDLE: a retired handle
        {32, false},   // ERROR_SHARING_VIOLATION
        {87, false},   // ERROR_INVALID_PARAMETER
        {1784, false}, // ERROR_INVALID_USER_BUFFER
    };
    for (const auto &c : cases)
        EXPECT_EQ(isUnpluggedError(c.code), c.unplugged) << c.code;
}

TEST(WindowsHidRules, ReportLengthsAndTransferBuffers)
{
    // HidP_GetCaps counts the ID byte already; 0 stays "no such report".
    EXPECT_EQ(reportLengthsFromCaps(9, 9, 0), (HidReportLengths{9, 9, 0}));
    EXPECT_EQ(reportLengthsFromCaps(65, 0, 6), (HidReportLengths{65, 0, 6}));
    EXPECT_EQ(reportLengthsFromCaps(0, 0, 0), (HidReportLengths{}));

    const struct {
        std::size_t length;
        std::uint16_t reportLength;
        std::size_t transfer;
    } cases[] = {
        {9, 9, 9},   // the usual case: the caller sized it from the caps
        {3, 9, 9},   // shorter: padded, Windows refuses a short buffer
        {12, 9, 12}, // longer: taken as given, the driver says what it took
        {5, 0, 5},   // length unknown
        {0, 0, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(transferLength(c.length, c.reportLength), c.transfer) << c.length << " " << c.reportLength;
}

TEST(WindowsHidRules, StringsCopiedByTheHandlesRule)
{
    const struct {
        std::u16string source; // the query buffer, zero-terminated or full
        std::size_t units;
        std::u16string expected; // the caller's buffer of `units`, filled with '#' before
    } cases[] = {
        {std::u16string(u"USB\0junk", 8), 10, std::u16string(u"USB\0######", 10)},
        {u"USB", 3, u"USB"},                                 // just fits: no room for the zero
        {u"USB-HID", 3, u"USB"},                             // cut
        {std::u16string(u"\0xx", 3), 2, std::u16string(u"\0#", 2)}, // empty string
        {u"\xD83D\xDE00!", 4, std::u16string(u"\xD83D\xDE00!\0", 4)}, // units, not characters
        {u"abc", 0, u""},
    };
    for (const auto &c : cases) {
        std::u16string buffer(c.units, u'#');
        copyTerminatedUnits(c.source.data(), c.source.size(), buffer.data(), c.units);
        EXPECT_EQ(buffer, c.expected) << utf16ToUtf8(c.source);
    }
}

// What the backend gives Windows and takes from it goes through these two.
TEST(WindowsHidRules, WideStringConversions)
{
    const struct {
        std::string utf8;
        std::u16string utf16;
    } roundTrips[] = {
        {"", u""},
        {"\\\\?\\hid#vid_1a86&pid_e008#7&1a2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
         u"\\\\?\\hid#vid_1a86&pid_e008#7&1a2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}"},
        {"Mult\xC3\xADmetro \xC2\xB5", u"Mult\u00EDmetro \u00B5"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"}, // a surrogate pair
    };
    for (const auto &c : roundTrips) {
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
    }
    // Broken input either way becomes U+FFFD, never a crash or a dropped unit.
    EXPECT_EQ(utf16ToUtf8(u"a\xD83D" u"b"), "a\xEF\xBF\xBD" "b");  // lone high surrogate
    EXPECT_EQ(utf16ToUtf8(u"\xDE00"), "\xEF\xBF\xBD");       // lone low surrogate
    EXPECT_EQ(utf16ToUtf8(u"x\xD83D"), "x\xEF\xBF\xBD");      // cut at the end
    EXPECT_EQ(utf8ToUtf16("a\xB5z"), u"a\uFFFDz");            // a Windows-1252 byte
    EXPECT_EQ(utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD");      // sequence cut short
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
}

TEST(WindowsHidRules, InstancesTellOneAttachFromTheNext)
{
    const std::string id = "HID\\VID_1A86&PID_E008\\7&1A2B3C&0&0000";
    const std::string first = composeInstance(id, 133500000000000000u);
    const std::string again = composeInstance(id, 133500000000000000u);
    const std::string next = composeInstance(id, 133500000123456789u);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, next);
    EXPECT_EQ(first.rfind(id, 0), 0u);
    EXPECT_TRUE(instanceHasArrival(first));
    EXPECT_EQ(composeInstance(id, std::nullopt), id);
    EXPECT_FALSE(instanceHasArrival(id));
}

TEST(WindowsHidRules, HoldNamesOnePerInterfaceWhateverTheCase)
{
    const std::string path = "\\\\?\\HID#VID_1A86&PID_E008#7&1a2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    std::string lower = path;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string name = holdObjectName(path);
    EXPECT_EQ(name, holdObjectName(lower));
    EXPECT_EQ(foldedPath(path), lower);
    EXPECT_NE(name, holdObjectName(path.substr(0, path.size() - 1)));
    EXPECT_NE(name, holdObjectName("\\\\?\\HID#VID_1A86&PID_E008#7&1a2b3c&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030}"));
    EXPECT_EQ(name.rfind("Global\\tolmar-hid-", 0), 0u);
    EXPECT_EQ(name.find('\\', 7), std::string::npos); // one backslash: the namespace's
}

TEST(WindowsHidRules, UsbDevicesAndPortLocations)
{
    const struct {
        const char *id;
        bool usbDevice;
    } ids[] = {
        {"USB\\VID_1A86&PID_E008\\5&2C1F2E1&0&2", true},
        {"usb\\vid_1a86&pid_e008\\serial123", true},
        {"USB\\VID_1A86&PID_E008&MI_00\\6&3A&0&0000", false}, // an interface of a composite device
        {"USB\\ROOT_HUB30\\4&1B&0&0", true},
        {"HID\\VID_1A86&PID_E008\\7&1A2B3C&0&0000", false},
        {"PCI\\VEN_8086&DEV_A36D\\3&11583659&0&A0", false},
        {"USB", false},
        {"", false},
    };
    for (const auto &c : ids)
        EXPECT_EQ(isUsbDeviceId(c.id), c.usbDevice) << c.id;
    EXPECT_TRUE(isPortLocation("Port_#0002.Hub_#0004"));
    EXPECT_FALSE(isPortLocation("USB-HID Bridge"));
    EXPECT_FALSE(isPortLocation(""));
}

TEST(WindowsHidRules, SystemMessagesLoseTheirLineBreak)
{
    EXPECT_EQ(trimmedMessage("The device is not connected.\r\n"), "The device is not connected.");
    EXPECT_EQ(trimmedMessage("x \t\r\n\r\n"), "x");
    EXPECT_EQ(trimmedMessage("\r\n"), "");
    EXPECT_EQ(trimmedMessage("keep\r\ninner"), "keep\r\ninner");
}

// ------------------------------------------------------------- time pictures

TEST(WindowsTimePicture, FormatsEveryElement)
{
    const TimeDesignators english;
    const TimeDesignators japanese{"\xE5\x8D\x88\xE5\x89\x8D", "\xE5\x8D\x88\xE5\xBE\x8C"}; // 午前, 午後
    const TimeDesignators none{"", ""};
    const struct {
        const char *picture;
        TimeOfDay time;
        const TimeDesignators &designators;
        const char *text;
    } cases[] = {
        {"HH:mm:ss", {14, 7, 9}, english, "14:07:09"},
        {"H:mm:ss", {9, 5, 0}, english, "9:05:00"},
        {"H:m:s", {0, 5, 7}, english, "0:5:7"},
        {"h:mm:ss tt", {0, 0, 0}, english, "12:00:00 AM"},
        {"h:mm:ss tt", {12, 30, 0}, english, "12:30:00 PM"},
        {"h:mm:ss tt", {23, 59, 59}, english, "11:59:59 PM"},
        {"hh:mm:ss t", {13, 1, 2}, english, "01:01:02 P"},
        {"tt h:mm:ss", {9, 5, 0}, japanese, "\xE5\x8D\x88\xE5\x89\x8D 9:05:00"},
        {"t h:mm", {15, 5, 0}, japanese, "\xE5\x8D\x88 3:05"}, // one character, not one byte
        {"HH:mm:ss tt", {14, 7, 9}, none, "14:07:09 "},
        {"HH'h'mm", {8, 30, 0}, english, "08h30"},
        {"HH 'o''clock'", {8, 0, 0}, english, "08 o'clock"},
        {"HH''mm", {8, 30, 0}, english, "08'30"},
        {"'h' H 'unclosed", {7, 0, 0}, english, "h 7 unclosed"},
        {"HHH.mmm.sss", {9, 5, 3}, english, "09.05.03"}, // three letters read as two
    };
    for (const auto &c : cases)
        EXPECT_EQ(formatTimePicture(c.picture, c.time, c.designators), c.text) << c.picture;
}

TEST(WindowsTimePicture, ReadsWhatItWritesAndWhatStrptimeWouldRead)
{
    const TimeDesignators english;
    const TimeDesignators japanese{"\xE5\x8D\x88\xE5\x89\x8D", "\xE5\x8D\x88\xE5\xBE\x8C"};
    const TimeDesignators none{"", ""};
    const std::optional<TimeOfDay> no;
    const struct {
        const char *picture;
        const char *text;
        const TimeDesignators &designators;
        std::optional<TimeOfDay> time;
    } cases[] = {
        {"HH:mm:ss", "14:07:09", english, TimeOfDay{14, 7, 9}},
        {"HH:mm:ss", "4:7:9", english, TimeOfDay{4, 7, 9}}, // one digit is enough
        {"HH:mm:ss", " 14:07:09  ", english, TimeOfDay{14, 7, 9}},
        {"HH:mm:ss", "23:59:61", english, TimeOfDay{23, 59, 61}}, // leap seconds, as strptime
        {"HH:mm:ss", "24:00:00", english, no},
        {"HH:mm:ss", "12:60:00", english, no},
        {"HH:mm:ss", "12:00:62", english, no},
        {"HH:mm:ss", "123:00:00", english, no},
        {"HH:mm:ss", "12:00", english, no},
        {"HH:mm:ss", "12:00:00x", english, no},
        {"HH:mm:ss", "", english, no},
        {"HH:mm:ss", "a:b:c", english, no},
        {"h:mm:ss tt", "12:00:00 AM", english, TimeOfDay{0, 0, 0}},
        {"h:mm:ss tt", "12:30:00 pm", english, TimeOfDay{12, 30, 0}},
        {"h:mm:ss tt", "1:02:03 PM", english, TimeOfDay{13, 2, 3}},
        {"h:mm:ss tt", "1:02:03PM", english, TimeOfDay{13, 2, 3}}, // a blank matches none
        {"h:mm:ss tt", "1:02:03", english, no},
        {"h:mm:ss tt", "13:00:00 PM", english, no},
        {"h:mm:ss tt", "0:00:00 AM", english, no},
        {"h:mm:ss tt", "1:02:03 XM", english, no},
        {"hh:mm:ss t", "01:01:02 p", english, TimeOfDay{13, 1, 2}},
        {"h:mm:ss", "12:00:00", english, TimeOfDay{0, 0, 0}}, // no designator: 12 is 0, as strptime's %I
        {"HH:mm:ss tt", "14:07:09 AM", english, TimeOfDay{14, 7, 9}}, // a 24-hour hour stands
        {"tt h:mm:ss", "\xE5\x8D\x88\xE5\xBE\x8C 9:05:00", japanese, TimeOfDay{21, 5, 0}},
        {"HH:mm:ss tt", "14:07:09", none, TimeOfDay{14, 7, 9}},
        {"HH'h'mm", "08h30", english, TimeOfDay{8, 30, 0}},
        {"HH'h'mm", "08:30", english, no},
        {"HH 'o''clock'", "08 o'clock", english, TimeOfDay{8, 0, 0}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parseTimePicture(c.picture, c.text, c.designators), c.time) << c.picture << " / " << c.text;

    // Every second of the day through the common pictures and back.
    for (const char *picture : {"HH:mm:ss", "h:mm:ss tt", "H.mm.ss", "tt hh:mm:ss"})
        for (int second = 0; second < 24 * 3600; second += 37) {
            const TimeOfDay time{second / 3600, second / 60 % 60, second % 60};
            ASSERT_EQ(parseTimePicture(picture, formatTimePicture(picture, time, english), english), time) << picture;
        }
}

TEST(WindowsTimePicture, DayNamesFromMondayFirstToSundayFirst)
{
    // LOCALE_SABBREVDAYNAME1 is Monday; our day 0 is Sunday.
    const int expected[] = {6, 0, 1, 2, 3, 4, 5};
    for (int day = 0; day < 7; ++day)
        EXPECT_EQ(abbreviatedDayNameOffset(day), expected[day]) << day;
    EXPECT_EQ(abbreviatedDayNameOffset(7), 6);
    EXPECT_EQ(abbreviatedDayNameOffset(-1), 5); // Saturday
}

} // namespace
} // namespace tolmar::winhid
