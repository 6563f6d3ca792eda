#include "link/JvHidControllerClass.h"
#include "platform/UiDispatcher.h"
#include "platform/linux/LinuxHidPlatform.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tolmar {
namespace {

const std::string fakeSysfs = TOLMAR_TEST_DATA "/sysfs-hid";

std::string canonical(const std::string &path)
{
    return std::filesystem::canonical(fakeSysfs + "/" + path).string();
}

LinuxHidPlatform fakeTree()
{
    return LinuxHidPlatform({fakeSysfs, false});
}

TEST(LinuxHidSysfs, ListsHidrawInterfacesByNumberAndSkipsBrokenLinks)
{
    LinuxHidPlatform platform = fakeTree();
    const std::vector<HidInterfaceInfo> expected = {
        {"/dev/hidraw0", canonical("class/hidraw/hidraw0")},
        {"/dev/hidraw1", canonical("class/hidraw/hidraw1")},
        {"/dev/hidraw10", canonical("class/hidraw/hidraw10")},
    };
    EXPECT_EQ(platform.listInterfaces(), expected);
    EXPECT_NE(expected[0].instance.find("/devices/pci0000:00/"), std::string::npos)
        << "the instance is the device's own syspath, not the class link";
}

TEST(LinuxHidSysfs, WithoutHidrawThereAreNoDevicesAndNoErrors)
{
    LinuxHidPlatform platform({TOLMAR_TEST_DATA "/no-such-sysfs", false});
    EXPECT_TRUE(platform.listInterfaces().empty());
    InlineUiDispatcher ui;
    TJvHidDeviceController controller(platform, ui);
    EXPECT_EQ(controller.DeviceCount(), 0u);
    EXPECT_EQ(controller.NotificationFd(), -1);
}

// What the controller makes of the fake tree. The nodes under /dev are not
// the fake ones, so whether they open for reading and writing is not asked.
TEST(LinuxHidSysfs, TheControllerSeesAttributesStringsAndReportLengths)
{
    struct Seen {
        std::string path;
        HidAttributes attributes;
        std::string product;
        std::string serial;
        HidReportLengths lengths;
        bool operator==(const Seen &) const = default;
    };
    LinuxHidPlatform platform = fakeTree();
    InlineUiDispatcher ui;
    TJvHidDeviceController controller(platform, ui);
    std::vector<Seen> seen;
    controller.SetOnEnumerate([&seen](TJvHidDevice *device, int) {
        seen.push_back({device->PnPInfo().DevicePath, device->Attributes(), device->ProductText(),
                        device->SerialText(), device->Capabilities()});
        return true;
    });
    EXPECT_EQ(controller.EnumeratePresent(), 3);
    const std::vector<Seen> expected = {
        // The meter's cable: no serial number.
        {"/dev/hidraw0", {12, 0x1A86, 0xE008, 0x0140}, "USB to Serial", "", {9, 9, 6}},
        // Not on USB: IDs from HID_ID, no strings; one numbered input report.
        {"/dev/hidraw1", {12, 0x04F3, 0x3090, 0}, "", "", {4, 0, 0}},
        // The serial number shows: descriptor 0 (assumed US English) differs.
        {"/dev/hidraw10", {12, 0x046D, 0xC52B, 0x1211}, "USB Receiver", "ABC123", {9, 2, 0}},
    };
    EXPECT_EQ(seen, expected);
}

TEST(LinuxHidSysfs, QueriesNeedNoAccessToTheNodeButAGoneDeviceFails)
{
    LinuxHidPlatform platform = fakeTree();
    std::uint32_t error = 0;
    auto handle = platform.open({"/dev/hidraw0", canonical("class/hidraw/hidraw0")}, HidAccess::QueryOnly, error);
    ASSERT_TRUE(handle);
    char16_t product[16];
    std::fill(std::begin(product), std::end(product), u'\xFFFF');
    ASSERT_TRUE(handle->productString(product, 16));
    EXPECT_EQ(std::u16string(product), u"USB to Serial");
    EXPECT_FALSE(handle->setFeature(std::vector<std::uint8_t>(10).data(), 10)) << "a query handle sends nothing";
    handle->shutdown();
    HidAttributes attributes;
    EXPECT_FALSE(handle->attributes(attributes));

    EXPECT_FALSE(platform.open({"/dev/hidraw2", fakeSysfs + "/devices/virtual/gone/hidraw2"}, HidAccess::QueryOnly,
                               error));
    EXPECT_EQ(error, 19u); // ENODEV
}

// The read path on a stand-in node: a FIFO delivers the bytes a hidraw node
// would, and reports a hang-up when its writer goes, as an unplugged node does.
TEST(LinuxHidSysfs, ReadsFromTheNodeWakesAndSeesTheHangUp)
{
    const std::filesystem::path fifo =
        std::filesystem::temp_directory_path() / ("tolmar-hidraw-" + std::to_string(::getpid()));
    std::filesystem::remove(fifo); // left by a run that crashed
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    LinuxHidPlatform platform = fakeTree();
    std::uint32_t error = 0;
    // hidraw0 has no numbered reports, hidraw10 has.
    auto unnumbered = platform.open({fifo.string(), canonical("class/hidraw/hidraw0")}, HidAccess::AsyncRead, error);
    auto numbered = platform.open({fifo.string(), canonical("class/hidraw/hidraw10")}, HidAccess::AsyncRead, error);
    ASSERT_TRUE(unnumbered && numbered);
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    std::filesystem::remove(fifo);

    std::uint8_t buffer[9] = {};
    ASSERT_EQ(unnumbered->startRead(buffer, sizeof buffer), 0u);
    EXPECT_EQ(unnumbered->waitRead(0), HidWait::Pending);
    const std::uint8_t report[8] = {0xF2, 0x5A, 0x00, 0, 0, 0, 0, 0};
    ASSERT_EQ(::write(writer, report, sizeof report), 8);
    ASSERT_EQ(unnumbered->waitRead(10000), HidWait::Completed);
    EXPECT_EQ(unnumbered->readResult(), 9u);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 9),
              (std::vector<std::uint8_t>{0x00, 0xF2, 0x5A, 0x00, 0, 0, 0, 0, 0}))
        << "the 0 report ID goes in front";

    ASSERT_EQ(numbered->startRead(buffer, sizeof buffer), 0u);
    const std::uint8_t withId[3] = {0x02, 0x11, 0x22};
    ASSERT_EQ(::write(writer, withId, sizeof withId), 3);
    ASSERT_EQ(numbered->waitRead(10000), HidWait::Completed);
    EXPECT_EQ(numbered->readResult(), 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 3), (std::vector<std::uint8_t>{0x02, 0x11, 0x22}));

    ASSERT_EQ(unnumbered->startRead(buffer, sizeof buffer), 0u);
    unnumbered->wake();
    EXPECT_EQ(unnumbered->waitRead(10000), HidWait::Pending) << "woken, not timed out";

    ::close(writer); // the node hangs up
    EXPECT_EQ(unnumbered->waitRead(10000), HidWait::Completed);
    EXPECT_EQ(unnumbered->readResult(), 0u);
    EXPECT_EQ(unnumbered->startRead(buffer, sizeof buffer), 19u); // ENODEV

    numbered->shutdown();
    EXPECT_EQ(numbered->startRead(buffer, sizeof buffer), 9u); // EBADF
}

TEST(LinuxHidSysfs, StringsBecomeUtf16AndBack)
{
    struct Case {
        std::string utf8;
        std::u16string utf16;
        bool valid; // valid text comes back unchanged
    };
    const Case cases[] = {
        {"USB to Serial", u"USB to Serial", true},
        {"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", u"Gr\u00FC\u00DFe \u20AC", true},
        {"\xF0\x9F\x94\x8C", u"\U0001F50C", true},
        {"bad \xFF end", u"bad \uFFFD end", false},
        {"cut \xE2\x82", u"cut \uFFFD\uFFFD", false},
        {"overlong \xC0\xAF", u"overlong \uFFFD\uFFFD", false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        if (c.valid) {
            EXPECT_EQ(toUtf8(c.utf16), c.utf8);
        }
    }
    EXPECT_EQ(toUtf8(u"lone \xD800 surrogate"), "lone \xEF\xBF\xBD surrogate");
}

} // namespace
} // namespace tolmar
