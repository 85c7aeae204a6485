// The four string exports: UTF-16 device strings as ANSI text in the active code page,
// each call's result standing alone. Runs with the Russian locale (code page 1251).
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using ::testing::ElementsAre;

HANDLE Open(int index) {
    return Velmar().HID_OpenDevice(0, 0, -1, index);
}

// What the platform makes of `text` in the active code page with no flags.
std::string PlatformAnsi(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &ansi[0], size,
                        nullptr, nullptr);
    return ansi;
}

TEST(DeviceStrings, TheRussianCodePageIsInForce) {
    ASSERT_EQ(GetACP(), 1251u) << "run with LC_ALL=ru_RU.UTF-8";
}

TEST(DeviceStrings, EachExportReadsItsOwnStringWithTheAgreedBufferLength) {
    SimulatedWorld world("interface a manufacturer=\"Microchip\" product=\"MX31K\" serial=\"0042\" "
                         "string.5=\"Fifth\"\n");
    const VelmarLibrary& velmar = Velmar();
    HANDLE device = Open(0);
    world.ClearJournal();
    EXPECT_STREQ(velmar.HID_GetManufacturerString(device), "Microchip");
    EXPECT_STREQ(velmar.HID_GetProductString(device), "MX31K");
    EXPECT_STREQ(velmar.HID_GetSerialNumberString(device), "0042");
    EXPECT_STREQ(velmar.HID_GetIndexedString(device, 5), "Fifth");
    EXPECT_THAT(world.Journal(),
                ElementsAre("HidD_GetManufacturerString(dev:a, ptr, 252) = 1",
                            "HidD_GetProductString(dev:a, ptr, 252) = 1",
                            "HidD_GetSerialNumberString(dev:a, ptr, 252) = 1",
                            "HidD_GetIndexedString(dev:a, 0x00000005, ptr, 252) = 1"));
    velmar.HID_CloseDevice(device);
}

TEST(DeviceStrings, AFailedCallNeverShowsAnEarlierResult) {
    SimulatedWorld world("interface a manufacturer=\"Maker\" string.1=\"One\"\n"
                         "interface b\n");
    const VelmarLibrary& velmar = Velmar();
    HANDLE a = Open(0);
    HANDLE b = Open(1);
    EXPECT_STREQ(velmar.HID_GetManufacturerString(a), "Maker");
    const char* none = velmar.HID_GetManufacturerString(nullptr);
    ASSERT_NE(none, nullptr);
    EXPECT_STREQ(none, "");
    EXPECT_STREQ(velmar.HID_GetManufacturerString(a), "Maker");
    EXPECT_STREQ(velmar.HID_GetManufacturerString(b), "") << "b has no such string";
    EXPECT_STREQ(velmar.HID_GetIndexedString(a, 1), "One");
    EXPECT_STREQ(velmar.HID_GetIndexedString(a, 2), "");
    EXPECT_STREQ(velmar.HID_GetProductString(nullptr), "");
    EXPECT_STREQ(velmar.HID_GetSerialNumberString(nullptr), "");
    EXPECT_STREQ(velmar.HID_GetIndexedString(nullptr, 1), "");
    velmar.HID_CloseDevice(a);
    velmar.HID_CloseDevice(b);
}

TEST(DeviceStrings, TheLongestDeviceStringConvertsCompletely) {
    const std::string longest(126, 'L');
    SimulatedWorld world("interface a product=\"" + longest + "\"\n");
    HANDLE device = Open(0);
    EXPECT_EQ(std::string(Velmar().HID_GetProductString(device)), longest);
    Velmar().HID_CloseDevice(device);
}

TEST(DeviceStrings, TextComesOutInTheActiveCodePageAsThePlatformConvertsIt) {
    SimulatedWorld world("interface a manufacturer=\"Устройство №1\" "
                         "product=\"caf\\u00e9 \\u4e2d \\u20ac\"\n");
    HANDLE device = Open(0);
    EXPECT_EQ(std::string(Velmar().HID_GetManufacturerString(device)),
              "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE \xB9"
              "1");
    EXPECT_EQ(std::string(Velmar().HID_GetProductString(device)),
              PlatformAnsi(L"caf\u00e9 \u4e2d \u20ac"));
    Velmar().HID_CloseDevice(device);
}

TEST(DeviceStrings, TheStringIndexReachesThePlatformWhole) {
    SimulatedWorld world("interface a string.0x12345678=\"Deep\"\n");
    HANDLE device = Open(0);
    world.ClearJournal();
    EXPECT_STREQ(Velmar().HID_GetIndexedString(device, 0x12345678), "Deep");
    EXPECT_STREQ(Velmar().HID_GetIndexedString(device, 0x00005678), "");
    EXPECT_THAT(world.JournalOf("HidD_GetIndexedString"),
                ElementsAre("HidD_GetIndexedString(dev:a, 0x12345678, ptr, 252) = 1",
                            "HidD_GetIndexedString(dev:a, 0x00005678, ptr, 252) = 0 error=87"));
    Velmar().HID_CloseDevice(device);
}

} // namespace
