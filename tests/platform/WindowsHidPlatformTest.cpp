// The Windows backends against the system they run on: under Wine in CI,
// whose bus has a virtual HID mouse and keyboard (no meter cable).
#include "platform/SystemHid.h"
#include "platform/SystemLocale.h"

#include <gtest/gtest.h>

#include <array>

namespace tolmar {
namespace {

TEST(WindowsHidPlatform, ListsOpensAndQueriesTheInterfacesPresent)
{
    const auto hid = makeSystemHidPlatform();
    ASSERT_TRUE(hid->available());
    hid->startNotifications();
    const std::vector<HidInterfaceInfo> interfaces = hid->listInterfaces();
    if (interfaces.empty())
        GTEST_SKIP() << "no HID interface here";
    EXPECT_EQ(hid->listInterfaces(), interfaces) << "the same listing while nothing is plugged";
    for (const HidInterfaceInfo &device : interfaces) {
        SCOPED_TRACE(device.path);
        EXPECT_FALSE(device.instance.empty());
        std::uint32_t error = 0;
        const auto handle = hid->open(device, HidAccess::QueryOnly, error);
        ASSERT_TRUE(handle) << hid->errorText(error);
        HidAttributes attributes;
        EXPECT_TRUE(handle->attributes(attributes));
        EXPECT_NE(attributes.VendorID, 0);
        const std::optional<HidReportLengths> lengths = handle->reportLengths();
        ASSERT_TRUE(lengths);
        EXPECT_GT(lengths->InputReportByteLength, 1) << "an ID byte and data";
        std::array<char16_t, 64> product{};
        product.fill(u'x');
        if (handle->productString(product.data(), product.size())) {
            EXPECT_NE(std::u16string(product.data()).size(), product.size()) << "terminated";
        }
    }
    EXPECT_FALSE(hid->takeNotifications()) << "nothing came or went";
}

TEST(WindowsHidPlatform, AReadWaitsAndIsWokenAndRetired)
{
    const auto hid = makeSystemHidPlatform();
    const std::vector<HidInterfaceInfo> interfaces = hid->listInterfaces();
    if (interfaces.empty())
        GTEST_SKIP() << "no HID interface here";
    std::uint32_t error = 0;
    const auto handle = hid->open(interfaces.front(), HidAccess::AsyncRead, error);
    ASSERT_TRUE(handle) << hid->errorText(error);
    std::array<std::uint8_t, 256> buffer{};
    ASSERT_EQ(handle->startRead(buffer.data(), buffer.size()), 0u);
    EXPECT_EQ(handle->waitRead(30), HidWait::Pending) << "nobody moves the mouse";
    handle->wake();
    EXPECT_EQ(handle->waitRead(10'000), HidWait::Pending) << "woken at once";
    handle->shutdown();
    EXPECT_EQ(handle->waitRead(10'000), HidWait::Completed);
    EXPECT_EQ(handle->readResult(), 0u);
    EXPECT_NE(handle->startRead(buffer.data(), buffer.size()), 0u) << "retired";
    HidAttributes attributes;
    EXPECT_FALSE(handle->attributes(attributes));
}

TEST(WindowsHidPlatform, MissingInterfacesAndHolds)
{
    const auto hid = makeSystemHidPlatform();
    const HidInterfaceInfo nowhere{"\\\\?\\hid#tolmar_none#0#{4d1e55b2-f16f-11cf-88cb-001111000030}", "none"};
    std::uint32_t error = 0;
    EXPECT_FALSE(hid->open(nowhere, HidAccess::ReadWrite, error));
    EXPECT_NE(error, 0u);
    EXPECT_FALSE(hid->errorText(error).empty());

    auto hold = hid->hold(nowhere, error);
    ASSERT_TRUE(hold);
    std::uint32_t second = 0;
    EXPECT_FALSE(hid->hold(nowhere, second)) << "one hold at a time";
    EXPECT_EQ(second, HidPlatform::heldError);
    EXPECT_FALSE(hid->heldElsewhere(nowhere)) << "our own hold";
    hold.reset();
    EXPECT_TRUE(hid->hold(nowhere, error)) << "free again";
}

TEST(WindowsLocale, ReadsTheUsersSettings)
{
    const auto locale = makeSystemLocale();
    EXPECT_FALSE(locale->decimalSeparator().empty());
    EXPECT_TRUE(locale->systemDecimalSeparator());
    EXPECT_FALSE(locale->shortDayName(0).empty());
    const TimeOfDay time{14, 7, 9};
    EXPECT_EQ(locale->parseLongTime(locale->formatLongTime(time)), time) << locale->formatLongTime(time);
}

} // namespace
} // namespace tolmar
