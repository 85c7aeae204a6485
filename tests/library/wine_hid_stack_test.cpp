// Velmar.dll against Wine's own hid.dll, setupapi.dll and HID class driver, with no
// simulator in sight: a platform implementation that nobody here wrote. Wine presents two
// virtual HID devices of its own, vendor 845E, products 0001 and 0002.
#include "support/device_entry_text.h"
#include "support/handle_count.h"
#include "support/velmar_library.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

constexpr int kWineVendor = 0x845E;

TEST(WineHidStack, FindsAndOpensWinesOwnDevices) {
    ASSERT_EQ(GetModuleHandleA("devsim.dll"), nullptr) << "no simulator may be loaded here";
    const VelmarLibrary& velmar = Velmar();
    const int handlesBefore = CountOpenHandles();
    for (int product : {0x0001, 0x0002}) {
        EXPECT_TRUE(velmar.HID_DeviceTest(product, kWineVendor, -1, 0)) << product;
        EXPECT_FALSE(velmar.HID_DeviceTest(product, kWineVendor, -1, 1)) << product;
        HANDLE device = velmar.HID_OpenDevice(product, kWineVendor, -1, 0);
        ASSERT_NE(device, nullptr) << product;
        CloseHandle(device);
    }
    EXPECT_EQ(CountOpenHandles(), handlesBefore);
    EXPECT_FALSE(velmar.HID_DeviceTest(0xF6F1, 0x04D8, -1, 0));
    EXPECT_EQ(velmar.HID_OpenDevice(0xF6F1, 0x04D8, -1, 0), nullptr);
}

TEST(WineHidStack, TheTableDescribesWinesOwnDevices) {
    static HidDeviceTable table;
    ASSERT_TRUE(Velmar().HID_DeviceInfo(&table));
    int wineDevices = 0;
    for (int i = 0; i < table.Count; ++i) {
        const HidDeviceEntry& entry = table.Entries[i];
        std::printf("entry %d: %s\n", i, DescribeEntry(entry).c_str());
        if (entry.VendorID == kWineVendor) {
            ++wineDevices;
            EXPECT_STREQ(entry.Manufacturer, "The Wine Project");
            EXPECT_GT(entry.InputReportByteLength, 0);
            EXPECT_GT(entry.NumInputBuffers, 0);
        }
    }
    EXPECT_EQ(wineDevices, 2);
}

} // namespace
