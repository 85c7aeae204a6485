// HID_DeviceInfo: the table that describes every present interface, entry by member index.
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

using ::testing::SizeIs;

constexpr unsigned char kOldBytes = 0x5A;

// A table as a caller keeps it, with guard bytes on both sides.
struct GuardedTable {
    unsigned char before[64];
    HidDeviceTable table;
    unsigned char after[64];

    GuardedTable() { std::memset(this, 0, sizeof *this); }
    bool GuardsIntact() const {
        for (size_t i = 0; i < sizeof before; ++i) {
            if (before[i] != 0 || after[i] != 0) {
                return false;
            }
        }
        return true;
    }
};

// Fills the identity and lengths of entries with bytes that a fill must not touch; the
// pointer fields stay 0, so the table remains a valid argument.
void MarkEntriesAsOld(HidDeviceTable& table) {
    for (HidDeviceEntry& entry : table.Entries) {
        std::memset(&entry, kOldBytes, offsetof(HidDeviceEntry, Manufacturer));
    }
}

bool IsOld(const HidDeviceEntry& entry) {
    return entry.VendorID == 0x5A5A && entry.FeatureReportByteLength == 0x5A5A &&
           entry.Manufacturer == nullptr;
}

BOOL DeviceInfo(HidDeviceTable& table) {
    return Velmar().HID_DeviceInfo(&table);
}

TEST(DeviceTable, NoInterfaceGivesZeroAndAnEmptyTable) {
    SimulatedWorld world("");
    auto guarded = std::make_unique<GuardedTable>();
    guarded->table.Count = 77;
    EXPECT_EQ(DeviceInfo(guarded->table), FALSE);
    EXPECT_EQ(guarded->table.Count, 0);
    EXPECT_EQ(Velmar().HID_DeviceInfo(nullptr), FALSE);
}

TEST(DeviceTable, InterfacesThatNoneCanOpenAreSeenButNotCounted) {
    SimulatedWorld world("interface a vid=04D8 open=absent\ninterface b open=absent\n");
    auto guarded = std::make_unique<GuardedTable>();
    MarkEntriesAsOld(guarded->table);
    EXPECT_EQ(DeviceInfo(guarded->table), TRUE);
    EXPECT_EQ(guarded->table.Count, 0);
    EXPECT_TRUE(IsOld(guarded->table.Entries[0]));
}

TEST(DeviceTable, EntriesFollowMemberIndicesAndLeaveHoles) {
    SimulatedWorld world(
        "interface a vid=04D8 pid=F6F1 version=0102 manufacturer=\"Microchip\" product=\"MX31K\" "
        "serial=\"S1\" input=65 output=7 feature=3 buffers=65537\n"
        "interface hole vid=04D8 pid=00DF open=absent\n"
        "interface keyboard vid=045E pid=0750 open=query product=\"Keyboard\"\n"
        "interface gone open=absent\n");
    auto guarded = std::make_unique<GuardedTable>();
    HidDeviceTable& table = guarded->table;
    MarkEntriesAsOld(table);
    EXPECT_EQ(DeviceInfo(table), TRUE);
    EXPECT_EQ(table.Count, 3) << "one more than the last interface that opened";

    const HidDeviceEntry& a = table.Entries[0];
    EXPECT_EQ(a.VendorID, 0x04D8);
    EXPECT_EQ(a.ProductID, 0xF6F1);
    EXPECT_EQ(a.VersionNumber, 0x0102);
    EXPECT_EQ(a.NumInputBuffers, 1) << "the low 16 bits of 65537";
    EXPECT_EQ(a.InputReportByteLength, 65);
    EXPECT_EQ(a.OutputReportByteLength, 7);
    EXPECT_EQ(a.FeatureReportByteLength, 3);
    EXPECT_STREQ(a.Manufacturer, "Microchip");
    EXPECT_STREQ(a.Product, "MX31K");
    EXPECT_STREQ(a.SerialNumber, "S1");

    EXPECT_TRUE(IsOld(table.Entries[1])) << "the hole keeps what it held";
    EXPECT_EQ(table.Entries[2].ProductID, 0x0750) << "keyboards open for query";
    EXPECT_STREQ(table.Entries[2].Product, "Keyboard");
    EXPECT_STREQ(table.Entries[2].Manufacturer, "") << "a missing string is the empty string";
    EXPECT_TRUE(IsOld(table.Entries[3]));
    EXPECT_TRUE(guarded->GuardsIntact());
    EXPECT_THAT(world.JournalOf("HidD_GetAttributes"), SizeIs(2)) << "one query per interface";
}

TEST(DeviceTable, TheLastInterfaceUnopenedEndsTheCountEarlier) {
    SimulatedWorld world("interface a vid=0001\ninterface b vid=0002\ninterface c open=absent\n");
    auto guarded = std::make_unique<GuardedTable>();
    MarkEntriesAsOld(guarded->table);
    EXPECT_EQ(DeviceInfo(guarded->table), TRUE);
    EXPECT_EQ(guarded->table.Count, 2);
    EXPECT_EQ(guarded->table.Entries[1].VendorID, 2);
    EXPECT_TRUE(IsOld(guarded->table.Entries[2]));
}

// An interface whose queries fail gets zeros, never the values of the interface before it.
TEST(DeviceTable, FailedQueriesGiveZerosNotANeighboursValues) {
    SimulatedWorld world(
        "interface a vid=04D8 pid=F6F1 input=65 output=7 feature=3 manufacturer=\"A\"\n"
        "interface b fail=HidD_GetAttributes,HidD_GetPreparsedData,HidD_GetManufacturerString,"
        "HidD_GetNumInputBuffers\n");
    auto guarded = std::make_unique<GuardedTable>();
    EXPECT_EQ(DeviceInfo(guarded->table), TRUE);
    const HidDeviceEntry& b = guarded->table.Entries[1];
    EXPECT_EQ(b.VendorID, 0);
    EXPECT_EQ(b.ProductID, 0);
    EXPECT_EQ(b.InputReportByteLength, 0);
    EXPECT_EQ(b.OutputReportByteLength, 0);
    EXPECT_EQ(b.NumInputBuffers, 0);
    EXPECT_STREQ(b.Manufacturer, "");
}

// A failed query may have written part of its record: none of that reaches the table.
TEST(DeviceTable, WhatAFailedQueryWroteNeverReachesTheTable) {
    SimulatedWorld world("interface a vid=04D8 pid=F6F1 version=0100 input=65 output=7 "
                         "feature=3 buffers=16 scribble=HidD_GetAttributes,HidP_GetCaps,"
                         "HidD_GetNumInputBuffers\n");
    auto guarded = std::make_unique<GuardedTable>();
    MarkEntriesAsOld(guarded->table);
    EXPECT_EQ(DeviceInfo(guarded->table), TRUE);
    ASSERT_EQ(guarded->table.Count, 1);
    const HidDeviceEntry& a = guarded->table.Entries[0];
    EXPECT_EQ(a.VendorID, 0);
    EXPECT_EQ(a.ProductID, 0);
    EXPECT_EQ(a.VersionNumber, 0);
    EXPECT_EQ(a.InputReportByteLength, 0);
    EXPECT_EQ(a.OutputReportByteLength, 0);
    EXPECT_EQ(a.FeatureReportByteLength, 0);
    EXPECT_EQ(a.NumInputBuffers, 0);
    EXPECT_TRUE(guarded->GuardsIntact());
}

TEST(DeviceTable, ARefillReusesTheStringBlocksWithNewContents) {
    auto guarded = std::make_unique<GuardedTable>();
    HidDeviceTable& table = guarded->table;
    const std::string longText(120, 'x');
    {
        SimulatedWorld world("interface a manufacturer=\"short\" product=\"" + longText +
                             "\" serial=\"12345\"\n");
        ASSERT_EQ(DeviceInfo(table), TRUE);
    }
    {
        SimulatedWorld world("interface a manufacturer=\"" + longText +
                             "\" product=\"p\" serial=\"\"\n");
        ASSERT_EQ(DeviceInfo(table), TRUE);
        EXPECT_EQ(std::string(table.Entries[0].Manufacturer), longText);
        EXPECT_STREQ(table.Entries[0].Product, "p");
        EXPECT_STREQ(table.Entries[0].SerialNumber, "");
    }
    for (int round = 0; round < 3; ++round) {
        SimulatedWorld world("interface a manufacturer=\"m" + std::to_string(round) +
                             "\" product=\"" + longText + "\"\n");
        ASSERT_EQ(DeviceInfo(table), TRUE);
        EXPECT_EQ(std::string(table.Entries[0].Manufacturer), "m" + std::to_string(round));
        EXPECT_EQ(std::string(table.Entries[0].Product), longText);
        EXPECT_STREQ(table.Entries[0].SerialNumber, "") << "no serial: the empty string";
    }
    EXPECT_TRUE(guarded->GuardsIntact());
}

TEST(DeviceTable, TableStringsAreNotTheStringExportsResult) {
    SimulatedWorld world(
        "interface a manufacturer=\"First\"\ninterface b manufacturer=\"Second\"\n");
    auto guarded = std::make_unique<GuardedTable>();
    ASSERT_EQ(DeviceInfo(guarded->table), TRUE);
    HANDLE a = Velmar().HID_OpenDevice(0, 0, -1, 0);
    const char* result = Velmar().HID_GetManufacturerString(a);
    EXPECT_STREQ(result, "First");
    EXPECT_NE(result, guarded->table.Entries[0].Manufacturer);
    EXPECT_NE(result, guarded->table.Entries[1].Manufacturer);
    EXPECT_STREQ(guarded->table.Entries[1].Manufacturer, "Second");
    Velmar().HID_CloseDevice(a);
}

} // namespace
