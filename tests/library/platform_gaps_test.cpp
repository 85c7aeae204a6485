// The library beside an incomplete platform: hid.dll missing, hid.dll without most of
// its functions, setupapi.dll without the two functions looked up at run time. It must
// still load, and every export must fail in its ordinary way without calling through a
// missing entry point. Each group runs in the folder that lacks its piece.
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::IsEmpty;

const char kWorld[] = "interface a vid=04D8 pid=F6F1 manufacturer=\"Maker\" input=8 output=7\n";

void ExpectEveryHandleExportToFail(HANDLE device) {
    const VelmarLibrary& velmar = Velmar();
    unsigned char report[8] = {};
    EXPECT_EQ(velmar.HID_GetFeature(device, report, sizeof report), FALSE);
    EXPECT_EQ(velmar.HID_SetFeature(device, report, sizeof report), FALSE);
    EXPECT_EQ(velmar.HID_GetInputReport(device, report, sizeof report), FALSE);
    EXPECT_EQ(velmar.HID_SetOutputReport(device, report, sizeof report), FALSE);
    EXPECT_EQ(velmar.HID_GetNumInputBuffers(device), 0u);
    unsigned char caps[64] = {};
    EXPECT_EQ(velmar.HID_GetCaps(device, reinterpret_cast<struct _HIDP_CAPS*>(caps)), FALSE);
    EXPECT_STREQ(velmar.HID_GetManufacturerString(device), "");
    EXPECT_STREQ(velmar.HID_GetProductString(device), "");
    EXPECT_STREQ(velmar.HID_GetSerialNumberString(device), "");
    EXPECT_STREQ(velmar.HID_GetIndexedString(device, 1), "");
}

TEST(WithoutHidDll, TheLibraryLoadsAndFindsNothingWithoutTouchingTheSetApi) {
    ASSERT_EQ(GetModuleHandleA("hid.dll"), nullptr) << "this folder must have no hid.dll";
    SimulatedWorld world(kWorld);
    EXPECT_FALSE(Velmar().HID_DeviceTest(0xF6F1, 0x04D8, -1, 0));
    EXPECT_EQ(Velmar().HID_OpenDevice(0xF6F1, 0x04D8, -1, 0), nullptr);
    EXPECT_THAT(world.Journal(), IsEmpty());
}

TEST(WithoutHidDll, HandleExportsFailOnARealHandle) {
    SimulatedWorld world(kWorld);
    HANDLE device = CreateFileA(world.DevicePath("a").c_str(), GENERIC_READ | GENERIC_WRITE, 3,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    ExpectEveryHandleExportToFail(device);
    CloseHandle(device);
    EXPECT_THAT(world.Journal(), IsEmpty());
}

// hid.dll here has only the two functions that the walk needs.
TEST(WithHidDllOfTheWalkOnly, DevicesAreFoundAndOpened) {
    SimulatedWorld world(kWorld);
    EXPECT_TRUE(Velmar().HID_DeviceTest(0xF6F1, 0x04D8, -1, 0));
    HANDLE device = Velmar().HID_OpenDevice(0xF6F1, 0x04D8, -1, 0);
    ASSERT_NE(device, nullptr);
    world.ClearJournal();
    ExpectEveryHandleExportToFail(device);
    EXPECT_THAT(world.Journal(), IsEmpty());
    CloseHandle(device);
}

TEST(WithHidDllOfTheWalkOnly, TheTableDescribesDevicesWithEmptyStrings) {
    SimulatedWorld world(kWorld);
    HidDeviceTable table = {};
    EXPECT_TRUE(Velmar().HID_DeviceInfo(&table));
    EXPECT_EQ(table.Count, 1);
    EXPECT_EQ(table.Entries[0].ProductID, 0xF6F1);
    for (const char* text :
         {table.Entries[0].Manufacturer, table.Entries[0].Product, table.Entries[0].SerialNumber}) {
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, "");
    }
    EXPECT_EQ(table.Entries[0].InputReportByteLength, 0);
}

TEST(WithSetupApiOfTheLinkedFunctionsOnly, TheLibraryLoadsAndFindsNothing) {
    SimulatedWorld world(kWorld);
    EXPECT_FALSE(Velmar().HID_DeviceTest(0xF6F1, 0x04D8, -1, 0));
    EXPECT_EQ(Velmar().HID_OpenDevice(0xF6F1, 0x04D8, -1, 0), nullptr);
    EXPECT_THAT(world.Journal(), IsEmpty());
}

} // namespace
