// Velmar.dll's exports against Wine's real setupapi.dll, hid.dll and HID class driver,
// talking to the virtual HID device 04D8:F6F1 (set up by scripts/hid_prefix.sh: version 0100,
// report lengths 8 in, 7 out, 5 feature, with the report ID byte). Wine's own virtual
// devices (vendor 845E) are present too and must not get in the way.
#include "device_log.h"
#include "support/velmar_library.h"

#include <hidusage.h>
#include <hidpi.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kVendor = 0x04D8;
constexpr int kProduct = 0xF6F1;
constexpr int kVersion = 0x0100;
constexpr int kInputLength = 8;
constexpr int kOutputLength = 7;
constexpr int kFeatureLength = 5;

TEST(RealStackDiscovery, FindsTheVirtualDeviceByIdentity) {
    const VelmarLibrary& velmar = Velmar();
    EXPECT_TRUE(velmar.HID_DeviceTest(kProduct, kVendor, VELMAR_ANY_VERSION, 0));
    EXPECT_TRUE(velmar.HID_DeviceTest(kProduct, kVendor, kVersion, 0));
    EXPECT_FALSE(velmar.HID_DeviceTest(kProduct, kVendor, kVersion + 1, 0));
    EXPECT_FALSE(velmar.HID_DeviceTest(kProduct, kVendor, VELMAR_ANY_VERSION, 1));
    EXPECT_FALSE(velmar.HID_DeviceTest(0xF6F0, kVendor, VELMAR_ANY_VERSION, 0))
        << "only F6F1 is present in this scenario";
    EXPECT_TRUE(velmar.HID_DeviceTest(0x0001, 0x845E, VELMAR_ANY_VERSION, 0))
        << "Wine's own virtual device is still found";
}

TEST(RealStackDiscovery, OpensTheVirtualDevice) {
    const VelmarLibrary& velmar = Velmar();
    HANDLE device = velmar.HID_OpenDevice(kProduct, kVendor, VELMAR_ANY_VERSION, 0);
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(velmar.HID_CloseDevice(device));
    EXPECT_EQ(velmar.HID_OpenDevice(kProduct, kVendor, VELMAR_ANY_VERSION, 1), nullptr);
}

class RealStackDevice : public ::testing::Test {
protected:
    void SetUp() override {
        device_ = Velmar().HID_OpenDevice(kProduct, kVendor, VELMAR_ANY_VERSION, 0);
        ASSERT_NE(device_, nullptr);
        logBefore_ = DeviceLogLines();
    }
    void TearDown() override {
        if (device_) {
            Velmar().HID_CloseDevice(device_);
        }
    }

    std::vector<std::string> Logged() const { return LinesAfter(logBefore_); }

    HANDLE device_ = nullptr;
    std::vector<std::string> logBefore_;
};

TEST_F(RealStackDevice, WriteOfAWholeReportReachesTheDevice) {
    const BYTE report[kOutputLength] = {0x00, 0x42, 0x01, 0x02, 0x03, 0x04, 0x05};
    EXPECT_EQ(Velmar().HID_WriteDevice(device_, report, kOutputLength), 7u);
    EXPECT_THAT(Logged(), ElementsAre("write 42 01 02 03 04 05"));
}

TEST_F(RealStackDevice, PlatformRefusesAShortWrite) {
    const BYTE report[3] = {0x00, 0x42, 0x00};
    SetLastError(0);
    EXPECT_EQ(Velmar().HID_WriteDevice(device_, report, 3), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_THAT(Logged(), IsEmpty());
}

struct TimedRead {
    HANDLE device;
    BYTE* report;
    DWORD result;
};

DWORD WINAPI ReadOnce(void* context) {
    TimedRead* read = static_cast<TimedRead*>(context);
    read->result = Velmar().HID_ReadDevice(read->device, read->report, kInputLength);
    return 0;
}

// HID_ReadDevice, given up (its read cancelled) when no report comes within the time.
DWORD ReadWithin(HANDLE device, BYTE (&report)[kInputLength], DWORD milliseconds) {
    TimedRead read = {device, report, 0};
    HANDLE thread = CreateThread(nullptr, 0, ReadOnce, &read, 0, nullptr);
    if (WaitForSingleObject(thread, milliseconds) == WAIT_TIMEOUT) {
        CancelSynchronousIo(thread);
        WaitForSingleObject(thread, INFINITE);
    }
    CloseHandle(thread);
    return read.result;
}

TEST_F(RealStackDevice, ReadReturnsTheLoopedBackReport) {
    const BYTE report[kOutputLength] = {0x00, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16};
    ASSERT_EQ(Velmar().HID_WriteDevice(device_, report, kOutputLength), 7u);
    // Wine's class driver hands each input report to raw input before it queues it for
    // the open handles, which can take a moment right after the session starts: a report
    // written by an earlier test may still arrive in this handle's queue, ahead of ours.
    BYTE input[kInputLength] = {};
    for (int reads = 0; reads < 4 && input[1] != 0x11; ++reads) {
        ASSERT_EQ(ReadWithin(device_, input, 5000), 8u) << "no input report within 5 s";
    }
    EXPECT_THAT(input, ElementsAre(0x00, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x00));
}

TEST_F(RealStackDevice, FeatureReportsReachTheDeviceBothWays) {
    const BYTE feature[kFeatureLength] = {0x00, 0xA1, 0xA2, 0xA3, 0xA4};
    EXPECT_TRUE(Velmar().HID_SetFeature(device_, feature, kFeatureLength));
    BYTE answer[kFeatureLength] = {};
    EXPECT_TRUE(Velmar().HID_GetFeature(device_, answer, kFeatureLength));
    EXPECT_THAT(answer, ElementsAre(0x00, 0xA1, 0xA2, 0xA3, 0xA4));
    EXPECT_THAT(Logged(), ElementsAre("set_feature A1 A2 A3 A4", "get_feature"));
}

TEST_F(RealStackDevice, OutputAndInputReportsGoOverTheControlPipe) {
    const BYTE output[kOutputLength] = {0x00, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56};
    EXPECT_TRUE(Velmar().HID_SetOutputReport(device_, output, kOutputLength));
    BYTE input[kInputLength] = {};
    EXPECT_TRUE(Velmar().HID_GetInputReport(device_, input, kInputLength));
    EXPECT_THAT(input, ElementsAre(0x00, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x00));
    EXPECT_THAT(Logged(), ElementsAre("set_output 51 52 53 54 55 56", "get_input"));
}

TEST_F(RealStackDevice, CapsGiveTheConfiguredReportLengths) {
    HIDP_CAPS caps = {};
    ASSERT_TRUE(Velmar().HID_GetCaps(device_, &caps));
    EXPECT_EQ(caps.UsagePage, 0xFF00);
    EXPECT_EQ(caps.Usage, 0x01);
    EXPECT_EQ(caps.InputReportByteLength, kInputLength);
    EXPECT_EQ(caps.OutputReportByteLength, kOutputLength);
    EXPECT_EQ(caps.FeatureReportByteLength, kFeatureLength);
}

TEST_F(RealStackDevice, HasInputBuffers) {
    EXPECT_GT(Velmar().HID_GetNumInputBuffers(device_), 0u);
}

TEST_F(RealStackDevice, StringsComeFromTheDevice) {
    EXPECT_STREQ(Velmar().HID_GetManufacturerString(device_), "Velmar Test Devices");
    EXPECT_STREQ(Velmar().HID_GetProductString(device_), "Virtual F6F1");
    EXPECT_STREQ(Velmar().HID_GetSerialNumberString(device_), "VF6F1-0001");
}

// Wine's class driver refuses indexed strings (see PlatformStrings), so the library can
// only answer with the empty string here.
TEST_F(RealStackDevice, IndexedStringIsEmptyWhereThePlatformRefusesIt) {
    EXPECT_STREQ(Velmar().HID_GetIndexedString(device_, 4), "");
}

TEST(RealStackDeviceInfo, TableDescribesTheVirtualDevice) {
    static HidDeviceTable table;
    ASSERT_TRUE(Velmar().HID_DeviceInfo(&table));
    const HidDeviceEntry* found = nullptr;
    for (int i = 0; i < table.Count && i < VELMAR_TABLE_ENTRIES; ++i) {
        if (table.Entries[i].VendorID == kVendor && table.Entries[i].ProductID == kProduct) {
            found = &table.Entries[i];
        }
    }
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->VersionNumber, kVersion);
    EXPECT_GT(found->NumInputBuffers, 0);
    EXPECT_EQ(found->InputReportByteLength, kInputLength);
    EXPECT_EQ(found->OutputReportByteLength, kOutputLength);
    EXPECT_EQ(found->FeatureReportByteLength, kFeatureLength);
    ASSERT_NE(found->Manufacturer, nullptr);
    EXPECT_STREQ(found->Manufacturer, "Velmar Test Devices");
    ASSERT_NE(found->Product, nullptr);
    EXPECT_STREQ(found->Product, "Virtual F6F1");
    ASSERT_NE(found->SerialNumber, nullptr);
    EXPECT_STREQ(found->SerialNumber, "VF6F1-0001");
}

} // namespace
